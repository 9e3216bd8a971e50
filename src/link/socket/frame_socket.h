// One end of a connection between the socket connectivity service and lexora-handheld,
// reading and writing whole frames (device_protocol.h): a type byte, a 32-bit big-endian
// payload length and the payload.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "link/socket/device_protocol.h"
#include "link/socket/unique_fd.h"

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

// Reading is for one thread; writing may come from several (it is serialised).
class FrameSocket {
 public:
  // `peer` is the side at the other end: it decides which frames are accepted.
  FrameSocket(UniqueFd fd, Side peer);
  FrameSocket(const FrameSocket&) = delete;
  FrameSocket& operator=(const FrameSocket&) = delete;

  // Reads the next frame from the peer, waiting at most `timeout` for each part of it
  // (for ever without one). False with `error` when no whole, valid frame came.
  bool read(Frame& frame, FrameError& error,
            std::optional<std::chrono::milliseconds> timeout = std::nullopt);
  // Sends one frame whole. False with `error` (Io) when the connection failed.
  bool write(uint8_t type, std::span<const uint8_t> payload, FrameError& error);
  // Ends both directions, waking a reader blocked in read.
  void shutdown();
  int fd() const { return fd_.get(); }

 private:
  bool readExact(uint8_t* data, size_t size, FrameError& error,
                 std::optional<std::chrono::milliseconds> timeout);

  UniqueFd fd_;
  const Side peer_;
  std::mutex writeMutex_;
};

}  // namespace lexora::device_protocol
