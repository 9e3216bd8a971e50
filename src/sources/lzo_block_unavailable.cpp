#include "sources/lzo_block.h"

namespace lexora {

LzoOutcome decompressLzo1x(std::string_view, size_t, std::string& out) {
  out.clear();
  return LzoOutcome::unavailable;
}

}  // namespace lexora
