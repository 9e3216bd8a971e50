// FrameSocket's Winsock calls; the frame handling is in ../frame_socket.cpp.
#include <algorithm>

#include "link/socket/frame_socket.h"
#include "link/socket/frame_socket_internal.h"
#include "link/socket/winsock/winsock.h"

namespace lexora::device_protocol {

using frame_socket_detail::failWith;
using frame_socket_detail::kReadBufferSize;
using Kind = FrameError::Kind;

FrameSocket::FrameSocket(UniqueFd fd, Side peer) : fd_(std::move(fd)), decoder_(peer) {
  BOOL on = TRUE;
  setsockopt(winsock::handle(fd_.get()), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&on),
             sizeof on);
}

bool FrameSocket::receive(size_t& received, FrameError& error,
                          std::optional<std::chrono::milliseconds> timeout, bool /*rest*/) {
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

void FrameSocket::shutdown() {
  ::shutdown(winsock::handle(fd_.get()), SD_BOTH);
}

}  // namespace lexora::device_protocol
