#include "link/socket/frame_socket.h"

#include <algorithm>

#include "base/bytes.h"
#include "link/socket/frame_encoder.h"
#include "link/socket/frame_socket_internal.h"

namespace lexora::device_protocol {

using frame_socket_detail::failWith;
using frame_socket_detail::kHeaderSize;
using Kind = FrameError::Kind;

bool FrameSocket::read(Frame& frame, FrameError& error,
                       std::optional<std::chrono::milliseconds> timeout) {
  using Clock = std::chrono::steady_clock;
  // One deadline for the whole frame, counted from the first wait: a peer that trickles
  // its bytes gets no more time than a silent one.
  std::optional<Clock::time_point> deadline;
  for (;;) {
    if (readBegin_ < readEnd_) {
      // The decoder takes nothing past the end of its frame: the rest stays buffered.
      size_t used = 0;
      const auto step = decoder_.feed(
          std::span(readBuffer_).subspan(readBegin_, readEnd_ - readBegin_), used, frame, error);
      readBegin_ += used;
      if (step == FrameDecoder::Step::Frame) return true;
      if (step == FrameDecoder::Step::Malformed) return false;
    }
    // Everything buffered is in the decoder now.
    readBegin_ = readEnd_ = 0;
    std::optional<std::chrono::milliseconds> wait = timeout;
    bool rest = false;
    if (timeout) {
      const Clock::time_point now = Clock::now();
      if (deadline) {
        wait = std::max(std::chrono::milliseconds(0),
                        std::chrono::ceil<std::chrono::milliseconds>(*deadline - now));
        rest = true;
      } else {
        deadline = now + *timeout;
      }
    }
    size_t received = 0;
    if (!receive(received, error, wait, rest)) return false;
    if (received == 0) {
      return decoder_.midFrame()
                 ? failWith(error, Kind::ClosedMidFrame, "connection closed inside a frame")
                 : failWith(error, Kind::Closed, "connection closed");
    }
  }
}

bool FrameSocket::readWouldWait() const {
  if (decoder_.midFrame()) return true;  // a read timed out inside a frame
  const size_t buffered = readEnd_ - readBegin_;
  if (buffered < kHeaderSize) return true;
  return buffered - kHeaderSize < readBigEndian32(readBuffer_.data() + readBegin_ + 1);
}

bool FrameSocket::write(uint8_t type, std::span<const uint8_t> payload, FrameError& error) {
  if (payload.size() > 0xFFFFFFFFu) return failWith(error, Kind::Malformed, "frame too long");
  const auto header = encodeFrameHeader(type, payload.size());
  MutexLock lock(writeMutex_);
  return sendLocked(header, payload, error);
}

size_t FrameSocket::queue(uint8_t type, std::span<const uint8_t> payload) {
  MutexLock lock(writeMutex_);
  appendFrame(queued_, type, payload);
  return queued_.size();
}

bool FrameSocket::flush(FrameError& error) {
  MutexLock lock(writeMutex_);
  if (queued_.empty()) return true;
  return sendLocked({}, {}, error);
}

}  // namespace lexora::device_protocol
