// One compressed block of an MDict file: a 4-byte little-endian type (0 stored, 1 LZO1X,
// 2 zlib), the Adler-32 of the unpacked bytes (big-endian), then the data.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lexora {

enum class MdictBlockOutcome {
  ok,
  badChecksum,     // unpacked to the declared size, but the Adler-32 differs
  damaged,         // too short, an unknown type, or data that do not unpack (a damaged block)
  wrongSize,       // data that unpack, but to another size than declared (a wrong table)
  lzoUnavailable,  // an LZO block in a build without LZO
};

// The most bytes one block may unpack to. Writers make blocks of tens or hundreds of
// kilobytes; a declared size beyond this is a damaged or hostile file, refused before
// any memory is taken for it.
inline constexpr uint64_t kMostMdictBlockBytes = uint64_t{64} << 20;

// Whether `packedSize` bytes of block can honestly unpack to `size`: within
// kMostMdictBlockBytes and within what the densest compression (zlib's, about 1:1032)
// gives, so that a small file cannot make a reader take much memory.
bool isPlausibleMdictBlock(uint64_t packedSize, uint64_t size);

// Unpacks `block` into `out` (replaced), which must come to exactly `size` bytes, and
// checks its checksum. Memory is bounded by `size`, whatever the data say; an
// implausible size (isPlausibleMdictBlock) is `damaged`.
MdictBlockOutcome decodeMdictBlock(std::string_view block, uint64_t size, std::string& out);

}  // namespace lexora
