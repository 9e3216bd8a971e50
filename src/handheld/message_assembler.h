// Cuts the bytes of the PC's channel writes into messages (type byte, 16-bit big-endian
// length, payload), whatever the sizes of the writes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace lexora::handheld {

struct ChannelMessage {
  uint8_t type = 0;
  std::vector<uint8_t> payload;
};

class MessageAssembler {
 public:
  // Takes the bytes of one write; every message they complete is appended to `out`.
  void feed(std::span<const uint8_t> bytes, std::vector<ChannelMessage>& out);
  // True when bytes of an unfinished message are held.
  bool midMessage() const { return buffer_.size() > start_; }

 private:
  std::vector<uint8_t> buffer_;
  size_t start_ = 0;
};

}  // namespace lexora::handheld
