// Frames as either side sends them (device_protocol.h): a type byte, a 32-bit big-endian
// payload length and the payload. The counterpart of frame_decoder.h; no I/O, so that a
// frame can be built where no FrameSocket is at hand.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lexora::device_protocol {

inline constexpr size_t kFrameHeaderSize = 5;

// The header of a frame of `type` carrying `payloadSize` bytes (at most 0xFFFFFFFF).
std::array<uint8_t, kFrameHeaderSize> encodeFrameHeader(uint8_t type, size_t payloadSize);

// Appends the whole frame, header and payload, to `out`.
void appendFrame(std::vector<uint8_t>& out, uint8_t type, std::span<const uint8_t> payload);

}  // namespace lexora::device_protocol
