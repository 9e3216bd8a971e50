#include "sources/ripemd128.h"

#include <bit>
#include <cstring>

namespace lexora {
namespace {

// The message words each step of the left and the right line takes, and their rotations.
constexpr uint8_t kLeftWord[64] = {0, 1,  2,  3,  4,  5,  6,  7, 8,  9, 10, 11, 12, 13, 14, 15,
                                   7, 4,  13, 1,  10, 6,  15, 3, 12, 0, 9,  5,  2,  14, 11, 8,
                                   3, 10, 14, 4,  9,  15, 8,  1, 2,  7, 0,  6,  13, 11, 5,  12,
                                   1, 9,  11, 10, 0,  8,  12, 4, 13, 3, 7,  15, 14, 5,  6,  2};
constexpr uint8_t kRightWord[64] = {5,  14, 7, 0, 9, 2,  11, 4,  13, 6,  15, 8,  1,  10, 3,  12,
                                    6,  11, 3, 7, 0, 13, 5,  10, 14, 15, 8,  12, 4,  9,  1,  2,
                                    15, 5,  1, 3, 7, 14, 6,  9,  11, 8,  12, 2,  10, 0,  4,  13,
                                    8,  6,  4, 1, 3, 11, 15, 0,  5,  12, 2,  13, 9,  7,  10, 14};
constexpr uint8_t kLeftShift[64] = {11, 14, 15, 12, 5,  8,  7,  9,  11, 13, 14, 15, 6,  7,  9,  8,
                                    7,  6,  8,  13, 11, 9,  7,  15, 7,  12, 15, 9,  11, 7,  13, 12,
                                    11, 13, 6,  7,  14, 9,  13, 15, 14, 8,  13, 6,  5,  12, 7,  5,
                                    11, 12, 14, 15, 14, 15, 9,  8,  9,  14, 5,  6,  8,  6,  5,  12};
constexpr uint8_t kRightShift[64] = {8,  9,  9,  11, 13, 15, 15, 5,  7,  7,  8,  11, 14, 14, 12, 6,
                                     9,  13, 15, 7,  12, 8,  9,  11, 7,  7,  12, 7,  6,  15, 13, 11,
                                     9,  7,  15, 11, 8,  6,  6,  14, 12, 13, 5,  14, 13, 13, 7,  5,
                                     15, 5,  8,  11, 14, 14, 6,  14, 6,  9,  12, 9,  12, 5,  15, 8};
constexpr uint32_t kLeftConstant[4] = {0x00000000, 0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC};
constexpr uint32_t kRightConstant[4] = {0x50A28BE6, 0x5C4DD124, 0x6D703EF3, 0x00000000};

uint32_t mix(int round, uint32_t x, uint32_t y, uint32_t z) {
  switch (round) {
    case 0:
      return x ^ y ^ z;
    case 1:
      return (x & y) | (~x & z);
    case 2:
      return (x | ~y) ^ z;
    default:
      return (x & z) | (y & ~z);
  }
}

void compress(std::array<uint32_t, 4>& state, const unsigned char* block) {
  uint32_t words[16];
  for (int i = 0; i < 16; ++i) {
    const unsigned char* b = block + 4 * i;
    words[i] = uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
  }
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  uint32_t ar = a, br = b, cr = c, dr = d;
  for (int step = 0; step < 64; ++step) {
    const int round = step / 16;
    uint32_t t = std::rotl(a + mix(round, b, c, d) + words[kLeftWord[step]] + kLeftConstant[round],
                           kLeftShift[step]);
    a = d;
    d = c;
    c = b;
    b = t;
    // The right line runs the mixing functions in the opposite order.
    t = std::rotl(ar + mix(3 - round, br, cr, dr) + words[kRightWord[step]] + kRightConstant[round],
                  kRightShift[step]);
    ar = dr;
    dr = cr;
    cr = br;
    br = t;
  }
  const uint32_t t = state[1] + c + dr;
  state[1] = state[2] + d + ar;
  state[2] = state[3] + a + br;
  state[3] = state[0] + b + cr;
  state[0] = t;
}

}  // namespace

Ripemd128Digest ripemd128(std::string_view bytes) {
  std::array<uint32_t, 4> state = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t whole = bytes.size() / 64 * 64;
  for (size_t at = 0; at < whole; at += 64) compress(state, data + at);

  // The padding: a 1 bit, zeros, then the length in bits, little-endian, ending a block.
  unsigned char tail[128] = {};
  const size_t rest = bytes.size() - whole;
  std::memcpy(tail, data + whole, rest);
  tail[rest] = 0x80;
  const size_t tailSize = rest < 56 ? 64 : 128;
  const uint64_t bits = static_cast<uint64_t>(bytes.size()) * 8;
  for (int i = 0; i < 8; ++i) tail[tailSize - 8 + i] = static_cast<unsigned char>(bits >> (8 * i));
  for (size_t at = 0; at < tailSize; at += 64) compress(state, tail + at);

  Ripemd128Digest digest;
  for (int i = 0; i < 16; ++i) digest[i] = static_cast<uint8_t>(state[i / 4] >> (8 * (i % 4)));
  return digest;
}

}  // namespace lexora
