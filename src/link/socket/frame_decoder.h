// Frames from the bytes a peer sends (device_protocol.h), in pieces of any size: a type byte,
// a 32-bit big-endian payload length and the payload. No I/O: FrameSocket feeds it what it
// receives, and the fuzzer feeds it anything.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "link/socket/device_protocol.h"

namespace lexora::device_protocol {

// Why a frame was not read or written. Decisions go by `kind`; `detail` is for logs.
struct FrameError {
  enum class Kind {
    Closed,          // the peer ended the stream between frames
    ClosedMidFrame,  // the peer ended the stream inside a frame
    TimedOut,        // nothing arrived within the time allowed
    Io,              // the system reported a failure
    Malformed,       // a type the peer may not send, or longer than its type allows
  };
  Kind kind = Kind::Io;
  std::string detail;
};

class FrameDecoder {
 public:
  enum class Step { More, Frame, Malformed };

  // `peer` is the side at the other end: it decides which frames are accepted.
  explicit FrameDecoder(Side peer) : peer_(peer) {}

  // Takes bytes from the front of `data`, never past the end of the current frame, and says
  // how many in `used`. Frame: `frame` holds it and the next frame starts. Malformed: the
  // header is refused (`error` says why) and every later feed is refused the same way.
  Step feed(std::span<const uint8_t> data, size_t& used, Frame& frame, FrameError& error);
  // Bytes the current part (header or payload) still lacks; more never complete it sooner.
  size_t wanted() const;
  // Some of a frame has come; an end of stream now is ClosedMidFrame, not Closed.
  bool midFrame() const { return headerSize_ > 0; }

 private:
  const Side peer_;
  std::array<uint8_t, 5> header_{};
  size_t headerSize_ = 0;
  bool refused_ = false;
  FrameError refusal_;
  Frame frame_;
  size_t payloadSize_ = 0;  // of frame_.payload, which is sized once the header is whole
};

}  // namespace lexora::device_protocol
