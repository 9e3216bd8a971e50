#include "handheld/message_assembler.h"

namespace lexora::handheld {

void MessageAssembler::feed(std::span<const uint8_t> bytes, std::vector<ChannelMessage>& out) {
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  for (;;) {
    const size_t available = buffer_.size() - start_;
    if (available < 3) break;
    const uint8_t* head = buffer_.data() + start_;
    const size_t length = static_cast<size_t>(head[1]) << 8 | head[2];
    if (available < 3 + length) break;
    out.push_back({head[0], std::vector<uint8_t>(head + 3, head + 3 + length)});
    start_ += 3 + length;
  }
  // A message is at most 65,538 bytes, so what is kept stays small.
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  } else if (start_ > 65536) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
}

}  // namespace lexora::handheld
