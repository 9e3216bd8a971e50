#include "link/socket/frame_socket.h"

#include <algorithm>

#include "link/socket/winsock/winsock.h"
#include "platform/bytes.h"

namespace lexora::device_protocol {
namespace {

using Kind = FrameError::Kind;

bool failWith(FrameError& error, Kind kind, std::string detail) {
  error = {kind, std::move(detail)};
  return false;
}

}  // namespace

FrameSocket::FrameSocket(UniqueFd fd, Side peer) : fd_(std::move(fd)), peer_(peer) {
  BOOL on = TRUE;
  setsockopt(winsock::handle(fd_.get()), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&on),
             sizeof on);
}

bool FrameSocket::receive(uint8_t* data, size_t size, size_t& received, FrameError& error,
                          std::optional<std::chrono::milliseconds> timeout) {
  const SOCKET s = winsock::handle(fd_.get());
  if (timeout) {
    WSAPOLLFD p{s, POLLRDNORM, 0};
    const int ready = WSAPoll(&p, 1, static_cast<INT>(timeout->count()));
    if (ready == 0) return failWith(error, Kind::TimedOut, "no answer in time");
    if (ready < 0) return failWith(error, Kind::Io, winsock::lastError("poll"));
  }
  const int n =
      recv(s, reinterpret_cast<char*>(data), static_cast<int>(std::min<size_t>(size, 1 << 30)), 0);
  if (n < 0) return failWith(error, Kind::Io, winsock::lastError("read"));
  received = static_cast<size_t>(n);
  return true;
}

bool FrameSocket::read(Frame& frame, FrameError& error,
                       std::optional<std::chrono::milliseconds> timeout) {
  // As on POSIX: no more than the frame lacks is taken, so a fresh decoder loses nothing.
  FrameDecoder decoder(peer_);
  readBuffer_.resize(0x10000);
  for (;;) {
    size_t received = 0;
    if (!receive(readBuffer_.data(), std::min(readBuffer_.size(), decoder.wanted()), received,
                 error, timeout)) {
      return false;
    }
    if (received == 0) {
      return decoder.midFrame()
                 ? failWith(error, Kind::ClosedMidFrame, "connection closed inside a frame")
                 : failWith(error, Kind::Closed, "connection closed");
    }
    size_t used = 0;
    const auto step = decoder.feed(std::span(readBuffer_).first(received), used, frame, error);
    if (step == FrameDecoder::Step::Frame) return true;
    if (step == FrameDecoder::Step::Malformed) return false;
  }
}

bool FrameSocket::write(uint8_t type, std::span<const uint8_t> payload, FrameError& error) {
  if (payload.size() > 0xFFFFFFFFu) return failWith(error, Kind::Malformed, "frame too long");
  uint8_t header[5] = {type};
  writeBigEndian32(header + 1, static_cast<uint32_t>(payload.size()));
  std::lock_guard lock(writeMutex_);
  WSABUF parts[2] = {{sizeof header, reinterpret_cast<char*>(header)},
                     {static_cast<ULONG>(payload.size()),
                      reinterpret_cast<char*>(const_cast<uint8_t*>(payload.data()))}};
  DWORD count = payload.empty() ? 1 : 2;
  WSABUF* next = parts;
  while (count > 0) {
    DWORD sent = 0;
    if (WSASend(winsock::handle(fd_.get()), next, count, &sent, 0, nullptr, nullptr) != 0) {
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
  return true;
}

void FrameSocket::shutdown() {
  ::shutdown(winsock::handle(fd_.get()), SD_BOTH);
}

}  // namespace lexora::device_protocol
