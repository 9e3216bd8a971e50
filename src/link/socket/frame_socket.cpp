#include "link/socket/frame_socket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "platform/bytes.h"

namespace lexora::device_protocol {
namespace {

using Kind = FrameError::Kind;

constexpr size_t kHeaderSize = 5;
// The largest frame any type allows, so that such a frame can come in one receive.
constexpr size_t kReadBufferSize = kHeaderSize + 0xFFFF;

bool failWith(FrameError& error, Kind kind, std::string detail) {
  error = {kind, std::move(detail)};
  return false;
}

std::array<uint8_t, kHeaderSize> frameHeader(uint8_t type, size_t payloadSize) {
  std::array<uint8_t, kHeaderSize> header{type};
  writeBigEndian32(header.data() + 1, static_cast<uint32_t>(payloadSize));
  return header;
}

}  // namespace

FrameSocket::FrameSocket(UniqueFd fd, Side peer) : fd_(std::move(fd)), peer_(peer) {
  int on = 1;
  // Fails harmlessly on a Unix socket.
  setsockopt(fd_.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool FrameSocket::receive(size_t& received, FrameError& error,
                          std::optional<std::chrono::milliseconds> timeout) {
  if (readBuffer_.empty()) readBuffer_.resize(kReadBufferSize);
  // A zero time-out only looks.
  const bool look = timeout && timeout->count() <= 0;
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

bool FrameSocket::read(Frame& frame, FrameError& error,
                       std::optional<std::chrono::milliseconds> timeout) {
  FrameDecoder decoder(peer_);
  for (;;) {
    if (readBegin_ < readEnd_) {
      // The decoder takes nothing past the end of its frame: the rest stays buffered.
      size_t used = 0;
      const auto step = decoder.feed(
          std::span(readBuffer_).subspan(readBegin_, readEnd_ - readBegin_), used, frame, error);
      readBegin_ += used;
      if (step == FrameDecoder::Step::Frame) return true;
      if (step == FrameDecoder::Step::Malformed) return false;
    }
    // Everything buffered is in the decoder now.
    readBegin_ = readEnd_ = 0;
    size_t received = 0;
    if (!receive(received, error, timeout)) return false;
    if (received == 0) {
      return decoder.midFrame()
                 ? failWith(error, Kind::ClosedMidFrame, "connection closed inside a frame")
                 : failWith(error, Kind::Closed, "connection closed");
    }
  }
}

bool FrameSocket::readWouldWait() const {
  const size_t buffered = readEnd_ - readBegin_;
  if (buffered < kHeaderSize) return true;
  return buffered - kHeaderSize < readBigEndian32(readBuffer_.data() + readBegin_ + 1);
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

bool FrameSocket::write(uint8_t type, std::span<const uint8_t> payload, FrameError& error) {
  if (payload.size() > 0xFFFFFFFFu) return failWith(error, Kind::Malformed, "frame too long");
  const auto header = frameHeader(type, payload.size());
  std::lock_guard lock(writeMutex_);
  return sendLocked(header, payload, error);
}

void FrameSocket::queue(uint8_t type, std::span<const uint8_t> payload) {
  const auto header = frameHeader(type, payload.size());
  std::lock_guard lock(writeMutex_);
  queued_.insert(queued_.end(), header.begin(), header.end());
  queued_.insert(queued_.end(), payload.begin(), payload.end());
}

bool FrameSocket::flush(FrameError& error) {
  std::lock_guard lock(writeMutex_);
  if (queued_.empty()) return true;
  return sendLocked({}, {}, error);
}

void FrameSocket::shutdown() {
  ::shutdown(fd_.get(), SHUT_RDWR);
}

}  // namespace lexora::device_protocol
