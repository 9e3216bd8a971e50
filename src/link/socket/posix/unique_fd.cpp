#include "link/socket/unique_fd.h"

#include <unistd.h>

namespace lexora {

void UniqueFd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

}  // namespace lexora
