// Big-endian integers in byte buffers: every length and number in packed images, on the
// channel and in StarDict files is stored most significant byte first.
// REQUIRES: the reader's pointer has the integer's width in bytes behind it.
#pragma once

#include <cstdint>
#include <vector>

namespace lexora {

inline uint16_t readBigEndian16(const uint8_t* p) {
  return static_cast<uint16_t>(uint16_t{p[0]} << 8 | p[1]);
}

inline uint32_t readBigEndian32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

inline uint64_t readBigEndian64(const uint8_t* p) {
  return uint64_t{readBigEndian32(p)} << 32 | readBigEndian32(p + 4);
}

inline void writeBigEndian16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value >> 8);
  p[1] = static_cast<uint8_t>(value);
}

inline void writeBigEndian32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value >> 24);
  p[1] = static_cast<uint8_t>(value >> 16);
  p[2] = static_cast<uint8_t>(value >> 8);
  p[3] = static_cast<uint8_t>(value);
}

inline void appendBigEndian16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

inline void appendBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value >> 24));
  out.push_back(static_cast<uint8_t>(value >> 16));
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

}  // namespace lexora
