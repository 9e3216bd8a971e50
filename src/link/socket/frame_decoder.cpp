#include "link/socket/frame_decoder.h"

#include <algorithm>

#include "base/bytes.h"

namespace lexora::device_protocol {
namespace {

std::string hexByte(uint8_t value) {
  static const char digits[] = "0123456789ABCDEF";
  return {'0', 'x', digits[value >> 4], digits[value & 15]};
}

}  // namespace

size_t FrameDecoder::wanted() const {
  if (headerSize_ < header_.size()) return header_.size() - headerSize_;
  return frame_.payload.size() - payloadSize_;
}

FrameDecoder::Step FrameDecoder::feed(std::span<const uint8_t> data, size_t& used, Frame& frame,
                                      FrameError& error) {
  used = 0;
  if (refused_) {
    error = refusal_;
    return Step::Malformed;
  }
  if (headerSize_ < header_.size()) {
    const size_t n = std::min(data.size(), header_.size() - headerSize_);
    std::copy_n(data.begin(), n, header_.begin() + static_cast<ptrdiff_t>(headerSize_));
    headerSize_ += n;
    used += n;
    if (headerSize_ < header_.size()) return Step::More;
    const uint8_t type = header_[0];
    const uint32_t length = readBigEndian32(header_.data() + 1);
    const std::optional<uint32_t> limit = maxPayload(type, peer_);
    // Checked before any payload is taken: a hostile length never sizes a buffer.
    if (!limit || length > *limit) {
      refusal_ = {FrameError::Kind::Malformed,
                  !limit ? "malformed frame: unknown type " + hexByte(type)
                         : "malformed frame: type " + hexByte(type) + " announces " +
                               std::to_string(length) + " bytes, at most " +
                               std::to_string(*limit) + " allowed"};
      refused_ = true;
      error = refusal_;
      return Step::Malformed;
    }
    frame_.type = type;
    frame_.payload.resize(length);
    payloadSize_ = 0;
    data = data.subspan(n);
  }
  const size_t n = std::min(data.size(), frame_.payload.size() - payloadSize_);
  std::copy_n(data.begin(), n, frame_.payload.begin() + static_cast<ptrdiff_t>(payloadSize_));
  payloadSize_ += n;
  used += n;
  if (payloadSize_ < frame_.payload.size()) return Step::More;
  frame = std::move(frame_);
  frame_ = {};
  headerSize_ = 0;
  payloadSize_ = 0;
  return Step::Frame;
}

}  // namespace lexora::device_protocol
