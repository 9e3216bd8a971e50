#include "link/socket/unique_fd.h"

#include "link/socket/winsock/winsock.h"

namespace lexora {

void UniqueFd::reset(int fd) {
  if (fd_ >= 0) closesocket(winsock::handle(fd_));
  fd_ = fd;
}

}  // namespace lexora
