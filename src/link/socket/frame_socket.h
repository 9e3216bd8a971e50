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
#include <vector>

#include "link/socket/device_protocol.h"
#include "link/socket/frame_decoder.h"
#include "link/socket/unique_fd.h"

namespace lexora::device_protocol {

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
  // At most `size` bytes into `data`, waiting at most `timeout`; 0 at the end of the stream.
  bool receive(uint8_t* data, size_t size, size_t& received, FrameError& error,
               std::optional<std::chrono::milliseconds> timeout);

  UniqueFd fd_;
  const Side peer_;
  std::mutex writeMutex_;
  std::vector<uint8_t> readBuffer_;
};

}  // namespace lexora::device_protocol
