#include "sources/mdict_block.h"

#include <zlib.h>

#include <limits>
#include <optional>

#include "sources/lzo_block.h"

namespace lexora {
namespace {

uint32_t bigEndian32(std::string_view bytes) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | static_cast<uint8_t>(bytes[i]);
  return value;
}

// Inflates a zlib stream into exactly `out.size()` bytes; on success `sum` is the Adler-32
// of those bytes, which zlib has computed on the way to check its own trailer.
MdictBlockOutcome inflateExactly(std::string_view packed, std::string& out, uLong& sum) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return MdictBlockOutcome::damaged;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  stream.avail_in = static_cast<uInt>(packed.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = inflate(&stream, Z_FINISH);
  sum = stream.adler;
  // A whole stream shorter than the room, or one still going when the room is full, is of
  // another size than declared; a stream that breaks off or fails its own check is damaged.
  const bool ended = result == Z_STREAM_END;
  const bool full = stream.avail_out == 0;
  const bool more = full && !ended && stream.avail_in > 0;
  inflateEnd(&stream);
  if (ended && full) return MdictBlockOutcome::ok;
  return ended || more ? MdictBlockOutcome::wrongSize : MdictBlockOutcome::damaged;
}

}  // namespace

bool isPlausibleMdictBlock(uint64_t packedSize, uint64_t size) {
  return size <= kMostMdictBlockBytes && size <= packedSize * 1032 + 4096;
}

MdictBlockOutcome decodeMdictBlock(std::string_view block, uint64_t size, std::string& out) {
  out.clear();
  if (block.size() < 8 || block.size() > std::numeric_limits<uInt>::max()) {
    return MdictBlockOutcome::damaged;
  }
  // A size out of proportion to the block says the table is wrong (or hostile).
  if (!isPlausibleMdictBlock(block.size(), size)) return MdictBlockOutcome::wrongSize;
  const uint32_t type = static_cast<uint8_t>(block[0]) | static_cast<uint8_t>(block[1]) << 8 |
                        static_cast<uint8_t>(block[2]) << 16 |
                        static_cast<uint32_t>(static_cast<uint8_t>(block[3])) << 24;
  const uint32_t checksum = bigEndian32(block.substr(4, 4));
  const std::string_view data = block.substr(8);
  std::optional<uLong> sum;  // when the unpacking already gave it
  switch (type) {
    case 0:
      if (data.size() != size) return MdictBlockOutcome::wrongSize;
      out.assign(data);
      break;
    case 1:
      switch (decompressLzo1x(data, static_cast<size_t>(size), out)) {
        case LzoOutcome::ok:
          break;
        case LzoOutcome::damaged:
          return MdictBlockOutcome::damaged;
        case LzoOutcome::wrongSize:
          return MdictBlockOutcome::wrongSize;
        case LzoOutcome::unavailable:
          return MdictBlockOutcome::lzoUnavailable;
      }
      break;
    case 2: {
      out.resize(static_cast<size_t>(size));
      uLong inflated = 0;
      if (const MdictBlockOutcome outcome = inflateExactly(data, out, inflated);
          outcome != MdictBlockOutcome::ok) {
        out.clear();
        return outcome;
      }
      sum = inflated;
      break;
    }
    default:
      return MdictBlockOutcome::damaged;
  }
  if (!sum) {
    sum = adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(out.data()),
                  static_cast<uInt>(out.size()));
  }
  if (*sum != checksum) {
    out.clear();
    return MdictBlockOutcome::badChecksum;
  }
  return MdictBlockOutcome::ok;
}

}  // namespace lexora
