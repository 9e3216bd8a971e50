#include "link/socket/frame_socket.h"

#include <algorithm>
#include <array>

#include "link/socket/winsock/winsock.h"
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
  BOOL on = TRUE;
  setsockopt(winsock::handle(fd_.get()), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&on),
             sizeof on);
}

bool FrameSocket::receive(size_t& received, FrameError& error,
                          std::optional<std::chrono::milliseconds> timeout) {
  if (readBuffer_.empty()) readBuffer_.resize(kReadBufferSize);
  const SOCKET s = winsock::handle(fd_.get());
  // Winsock leaves a socket in an undefined state after SO_RCVTIMEO fires, so a time-out is
  // a poll before the receive here (the POSIX side keeps it on the socket instead).
  if (timeout) {
    WSAPOLLFD p{s, POLLRDNORM, 0};
    const int ready = WSAPoll(&p, 1, static_cast<INT>(std::max<int64_t>(timeout->count(), 0)));
    if (ready == 0) return failWith(error, Kind::TimedOut, "no answer in time");
    if (ready < 0) return failWith(error, Kind::Io, winsock::lastError("poll"));
  }
  const int n = recv(s, reinterpret_cast<char*>(readBuffer_.data() + readEnd_),
                     static_cast<int>(readBuffer_.size() - readEnd_), 0);
  if (n < 0) return failWith(error, Kind::Io, winsock::lastError("read"));
  received = static_cast<size_t>(n);
  readEnd_ += received;
  return true;
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
  WSAPOLLFD p{winsock::handle(fd_.get()), POLLRDNORM, 0};
  return WSAPoll(&p, 1, static_cast<INT>(timeout.count())) > 0;
}

bool FrameSocket::sendLocked(std::span<const uint8_t> head, std::span<const uint8_t> payload,
                             FrameError& error) {
  // What was queued goes first, in the same call.
  WSABUF parts[3];
  DWORD count = 0;
  for (std::span<const uint8_t> part : {std::span<const uint8_t>(queued_), head, payload}) {
    if (!part.empty()) {
      parts[count++] = {static_cast<ULONG>(part.size()),
                        reinterpret_cast<char*>(const_cast<uint8_t*>(part.data()))};
    }
  }
  WSABUF* next = parts;
  while (count > 0) {
    DWORD sent = 0;
    if (WSASend(winsock::handle(fd_.get()), next, count, &sent, 0, nullptr, nullptr) != 0) {
      queued_.clear();
      return failWith(error, Kind::Io, winsock::lastError("write"));
    }
    // Skip what was sent and go on with the rest.
    while (count > 0 && sent >= next->len) {
      sent -= next->len;
      ++next;
      --count;
    }
    if (count > 0) {
      next->buf += sent;
      next->len -= sent;
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
  ::shutdown(winsock::handle(fd_.get()), SD_BOTH);
}

}  // namespace lexora::device_protocol
