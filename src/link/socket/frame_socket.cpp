#include "link/socket/frame_socket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/bytes.h"

namespace lexora::device_protocol {
namespace {

using Kind = FrameError::Kind;

std::string hexByte(uint8_t value) {
  static const char digits[] = "0123456789ABCDEF";
  return {'0', 'x', digits[value >> 4], digits[value & 15]};
}

bool failWith(FrameError& error, Kind kind, std::string detail) {
  error = {kind, std::move(detail)};
  return false;
}

}  // namespace

FrameSocket::FrameSocket(UniqueFd fd, Side peer) : fd_(std::move(fd)), peer_(peer) {
  int on = 1;
  // Fails harmlessly on a Unix socket.
  setsockopt(fd_.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// An end of stream before the first byte is Closed; the caller turns it into
// ClosedMidFrame when a frame's header has already come.
bool FrameSocket::readExact(uint8_t* data, size_t size, FrameError& error,
                            std::optional<std::chrono::milliseconds> timeout) {
  size_t done = 0;
  while (done < size) {
    if (timeout) {
      pollfd p{fd_.get(), POLLIN, 0};
      const int ready = poll(&p, 1, static_cast<int>(timeout->count()));
      if (ready == 0) return failWith(error, Kind::TimedOut, "no answer in time");
      if (ready < 0 && errno != EINTR) {
        return failWith(error, Kind::Io, std::string("poll: ") + std::strerror(errno));
      }
      if (ready < 0) continue;
    }
    const ssize_t n = recv(fd_.get(), data + done, size - done, 0);
    if (n == 0) {
      return done == 0 ? failWith(error, Kind::Closed, "connection closed")
                       : failWith(error, Kind::ClosedMidFrame, "connection closed inside a frame");
    }
    if (n < 0) {
      if (errno == EINTR) continue;
      return failWith(error, Kind::Io, std::string("read: ") + std::strerror(errno));
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool FrameSocket::read(Frame& frame, FrameError& error,
                       std::optional<std::chrono::milliseconds> timeout) {
  uint8_t header[5];
  if (!readExact(header, sizeof header, error, timeout)) return false;
  const uint32_t length = readBigEndian32(header + 1);
  const std::optional<uint32_t> limit = maxPayload(header[0], peer_);
  if (!limit) {
    return failWith(error, Kind::Malformed, "malformed frame: unknown type " + hexByte(header[0]));
  }
  if (length > *limit) {
    return failWith(error, Kind::Malformed,
                    "malformed frame: type " + hexByte(header[0]) + " announces " +
                        std::to_string(length) + " bytes, at most " + std::to_string(*limit) +
                        " allowed");
  }
  frame.type = header[0];
  frame.payload.resize(length);
  if (length > 0 && !readExact(frame.payload.data(), length, error, timeout)) {
    if (error.kind == Kind::Closed)
      error = {Kind::ClosedMidFrame, "connection closed inside a frame"};
    return false;
  }
  return true;
}

bool FrameSocket::write(uint8_t type, std::span<const uint8_t> payload, FrameError& error) {
  if (payload.size() > 0xFFFFFFFFu) return failWith(error, Kind::Malformed, "frame too long");
  uint8_t header[5] = {type};
  writeBigEndian32(header + 1, static_cast<uint32_t>(payload.size()));
  std::lock_guard lock(writeMutex_);
  iovec parts[2] = {{header, sizeof header},
                    {const_cast<uint8_t*>(payload.data()), payload.size()}};
  msghdr message{};
  message.msg_iov = parts;
  message.msg_iovlen = payload.empty() ? 1 : 2;
  size_t left = sizeof header + payload.size();
  while (left > 0) {
    const ssize_t n = sendmsg(fd_.get(), &message, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
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
  return true;
}

void FrameSocket::shutdown() {
  ::shutdown(fd_.get(), SHUT_RDWR);
}

}  // namespace lexora::device_protocol
