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

bool FrameSocket::receive(uint8_t* data, size_t size, size_t& received, FrameError& error,
                          std::optional<std::chrono::milliseconds> timeout) {
  for (;;) {
    if (timeout) {
      pollfd p{fd_.get(), POLLIN, 0};
      const int ready = poll(&p, 1, static_cast<int>(timeout->count()));
      if (ready == 0) return failWith(error, Kind::TimedOut, "no answer in time");
      if (ready < 0 && errno != EINTR) {
        return failWith(error, Kind::Io, std::string("poll: ") + std::strerror(errno));
      }
      if (ready < 0) continue;
    }
    const ssize_t n = recv(fd_.get(), data, size, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return failWith(error, Kind::Io, std::string("read: ") + std::strerror(errno));
    }
    received = static_cast<size_t>(n);
    return true;
  }
}

bool FrameSocket::read(Frame& frame, FrameError& error,
                       std::optional<std::chrono::milliseconds> timeout) {
  // Asks for no more than the frame lacks, so nothing of the next frame is taken from the
  // socket and a fresh decoder per frame loses nothing.
  FrameDecoder decoder(peer_);
  // The largest payload any type allows, so that a frame usually takes one receive.
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
