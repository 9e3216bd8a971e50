// One end of a connection between the socket connectivity service and lexora-handheld,
// reading and writing whole frames (device_protocol.h): a type byte, a 32-bit big-endian
// payload length and the payload.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/mutex.h"
#include "link/socket/device_protocol.h"
#include "link/socket/frame_decoder.h"
#include "link/socket/unique_fd.h"

namespace lexora::device_protocol {

// Reading is for one thread; writing may come from several (it is serialised). Reads are
// buffered: one receive takes whatever the peer has sent, so frames that arrive together
// cost one system call between them, and nothing else may read the descriptor.
class FrameSocket {
 public:
  // `peer` is the side at the other end: it decides which frames are accepted.
  FrameSocket(UniqueFd fd, Side peer);
  FrameSocket(const FrameSocket&) = delete;
  FrameSocket& operator=(const FrameSocket&) = delete;

  // Reads the next frame from the peer, waiting at most `timeout` in all (for ever without
  // one), however the frame's bytes are spread over that time. False with `error` when no
  // whole, valid frame came; after a time-out the next read goes on with the frame where
  // this one stopped, with a time-out of its own.
  bool read(Frame& frame, FrameError& error,
            std::optional<std::chrono::milliseconds> timeout = std::nullopt);
  // Whether the next read has to wait for the peer: no whole frame is buffered.
  bool readWouldWait() const;
  // Waits at most `timeout` for bytes to read (true when some are buffered or have come).
  bool awaitReadable(std::chrono::milliseconds timeout);

  // Sends what was queued, then this frame whole. False with `error` (Io) when the
  // connection failed.
  bool write(uint8_t type, std::span<const uint8_t> payload, FrameError& error);
  // Keeps a frame to be sent with the next flush or write, in order; returns how many
  // bytes are queued now.
  size_t queue(uint8_t type, std::span<const uint8_t> payload);
  // Sends the queued frames in one go. False with `error` (Io) when the connection failed.
  bool flush(FrameError& error);

  // Ends both directions, waking a reader blocked in read.
  void shutdown();
  int fd() const { return fd_.get(); }

 private:
  // Appends whatever the peer has sent (at least one byte, or 0 at the end of the
  // stream) after the buffered bytes, waiting at most `timeout` for it. `rest` marks what
  // is left of a read's time after a first receive, which the socket need not keep.
  bool receive(size_t& received, FrameError& error,
               std::optional<std::chrono::milliseconds> timeout, bool rest);
  bool sendLocked(std::span<const uint8_t> head, std::span<const uint8_t> payload,
                  FrameError& error) REQUIRES(writeMutex_);

  UniqueFd fd_;
  FrameDecoder decoder_;  // the peer's frames; keeps one that a read left unfinished
  Mutex writeMutex_;
  std::vector<uint8_t> queued_ GUARDED_BY(writeMutex_);
  std::vector<uint8_t> readBuffer_;
  // The receive time-out the socket holds (SO_RCVTIMEO); none at first.
  std::optional<std::chrono::milliseconds> receiveTimeout_;
  size_t readBegin_ = 0;  // buffered bytes not yet taken: [readBegin_, readEnd_)
  size_t readEnd_ = 0;
};

}  // namespace lexora::device_protocol
