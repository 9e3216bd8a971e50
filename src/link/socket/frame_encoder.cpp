#include "link/socket/frame_encoder.h"

#include "base/bytes.h"

namespace lexora::device_protocol {

std::array<uint8_t, kFrameHeaderSize> encodeFrameHeader(uint8_t type, size_t payloadSize) {
  std::array<uint8_t, kFrameHeaderSize> header{type};
  writeBigEndian32(header.data() + 1, static_cast<uint32_t>(payloadSize));
  return header;
}

void appendFrame(std::vector<uint8_t>& out, uint8_t type, std::span<const uint8_t> payload) {
  const auto header = encodeFrameHeader(type, payload.size());
  out.insert(out.end(), header.begin(), header.end());
  out.insert(out.end(), payload.begin(), payload.end());
}

}  // namespace lexora::device_protocol
