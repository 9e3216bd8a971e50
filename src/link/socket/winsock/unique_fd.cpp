#include "link/socket/unique_fd.h"

#include "link/socket/winsock/winsock.h"

namespace lexora {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) reset(other.release());
  return *this;
}

int UniqueFd::release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void UniqueFd::reset(int fd) {
  if (fd_ >= 0) closesocket(winsock::handle(fd_));
  fd_ = fd;
}

}  // namespace lexora
