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
  if ((result != LZO_E_OK && result != LZO_E_INPUT_NOT_CONSUMED) || produced != expectedSize) {
    out.clear();
    return LzoOutcome::damaged;
  }
  return LzoOutcome::ok;
}

}  // namespace lexora
