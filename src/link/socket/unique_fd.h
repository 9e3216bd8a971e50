// An owned file descriptor, closed when its owner goes.
#pragma once

namespace lexora {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueFd() { reset(); }
  int get() const { return fd_; }
  // Gives up ownership without closing; the descriptor is the caller's.
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes the held descriptor (if any) and takes `fd`: close() here, closesocket() on
  // Windows (posix/ and winsock/unique_fd.cpp).
  void reset(int fd = -1);
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace lexora
