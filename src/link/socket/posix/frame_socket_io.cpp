// FrameSocket's system calls on POSIX; the frame handling is in frame_socket.cpp.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "link/socket/frame_socket.h"
#include "link/socket/frame_socket_internal.h"

namespace lexora::device_protocol {

using frame_socket_detail::failWith;
using frame_socket_detail::kReadBufferSize;
using Kind = FrameError::Kind;

FrameSocket::FrameSocket(UniqueFd fd, Side peer) : fd_(std::move(fd)), decoder_(peer) {
  int on = 1;
  // Fails harmlessly on a Unix socket.
  setsockopt(fd_.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool FrameSocket::receive(size_t& received, FrameError& error,
                          std::optional<std::chrono::milliseconds> timeout, bool rest) {
  if (readBuffer_.empty()) readBuffer_.resize(kReadBufferSize);
  // A zero time-out only looks.
  bool look = timeout && timeout->count() <= 0;
  if (rest && !look) {
    // The rest of a read's time changes with every receive: waited for here, it leaves the
    // socket the time-out that whole reads ask for.
    pollfd p{fd_.get(), POLLIN, 0};
    int ready;
    do {
      ready = poll(&p, 1, static_cast<int>(timeout->count()));
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) return failWith(error, Kind::TimedOut, "no answer in time");
    if (ready < 0) return failWith(error, Kind::Io, std::string("poll: ") + std::strerror(errno));
    look = true;
  }
  // The socket keeps the time-out, so a receive that has to wait is still one call; it is
  // set again only when a read asks for another.
  if (!look && timeout != receiveTimeout_) {
    timeval limit{};
    if (timeout) {
      limit.tv_sec = static_cast<time_t>(timeout->count() / 1000);
      limit.tv_usec = static_cast<suseconds_t>(timeout->count() % 1000 * 1000);
    }
    if (setsockopt(fd_.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
      return failWith(error, Kind::Io, std::string("setsockopt: ") + std::strerror(errno));
    }
    receiveTimeout_ = timeout;
  }
  for (;;) {
    const ssize_t n = recv(fd_.get(), readBuffer_.data() + readEnd_, readBuffer_.size() - readEnd_,
                           look ? MSG_DONTWAIT : 0);
    if (n >= 0) {
      received = static_cast<size_t>(n);
      readEnd_ += received;
      return true;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      return failWith(error, Kind::TimedOut, "no answer in time");
    }
    return failWith(error, Kind::Io, std::string("read: ") + std::strerror(errno));
  }
}

bool FrameSocket::awaitReadable(std::chrono::milliseconds timeout) {
  if (readBegin_ < readEnd_) return true;
  pollfd p{fd_.get(), POLLIN, 0};
  return poll(&p, 1, static_cast<int>(timeout.count())) > 0;
}

bool FrameSocket::sendLocked(std::span<const uint8_t> head, std::span<const uint8_t> payload,
                             FrameError& error) {
  // What was queued goes first, in the same call.
  iovec parts[3];
  size_t count = 0;
  for (std::span<const uint8_t> part : {std::span<const uint8_t>(queued_), head, payload}) {
    if (!part.empty()) parts[count++] = {const_cast<uint8_t*>(part.data()), part.size()};
  }
  size_t left = queued_.size() + head.size() + payload.size();
  msghdr message{};
  message.msg_iov = parts;
  message.msg_iovlen = count;
  while (left > 0) {
    const ssize_t n = sendmsg(fd_.get(), &message, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      queued_.clear();
      return failWith(error, Kind::Io, std::string("write: ") + std::strerror(errno));
    }
    left -= static_cast<size_t>(n);
    // Skip what was sent and go on with the rest.
    size_t sent = static_cast<size_t>(n);
    while (sent > 0 && message.msg_iovlen > 0) {
      iovec& first = message.msg_iov[0];
      const size_t step = std::min(sent, first.iov_len);
      first.iov_base = static_cast<uint8_t*>(first.iov_base) + step;
      first.iov_len -= step;
      sent -= step;
      if (first.iov_len == 0) {
        ++message.msg_iov;
        --message.msg_iovlen;
      }
    }
  }
  queued_.clear();
  return true;
}

void FrameSocket::shutdown() {
  ::shutdown(fd_.get(), SHUT_RDWR);
}

}  // namespace lexora::device_protocol
