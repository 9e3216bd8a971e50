#include <lzo/lzo1x.h>

#include "sources/lzo_block.h"

namespace lexora {

LzoOutcome decompressLzo1x(std::string_view packed, size_t expectedSize, std::string& out) {
  static const bool initialised = lzo_init() == LZO_E_OK;
  if (!initialised) return LzoOutcome::unavailable;
  out.resize(expectedSize);
  lzo_uint produced = expectedSize;
  const int result =
      lzo1x_decompress_safe(reinterpret_cast<const unsigned char*>(packed.data()), packed.size(),
                            reinterpret_cast<unsigned char*>(out.data()), &produced, nullptr);
  // Bytes left after the stream's end change nothing unpacked; the checksum still decides.
  const bool unpacked = result == LZO_E_OK || result == LZO_E_INPUT_NOT_CONSUMED;
  if (unpacked && produced == expectedSize) return LzoOutcome::ok;
  out.clear();
  // A stream that ends early or runs on past the room it was given is whole but of another
  // size; anything else is damaged data.
  return unpacked || result == LZO_E_OUTPUT_OVERRUN ? LzoOutcome::wrongSize : LzoOutcome::damaged;
}

}  // namespace lexora
