// LZO1X decompression, the one thing MDict's type-1 blocks need from liblzo2. A build
// without liblzo2 (a Windows build made without its source) links
// lzo_block_unavailable.cpp instead of lzo_block_liblzo.cpp, and its readers report such
// blocks as unsupported.
#pragma once

#include <string>
#include <string_view>

namespace lexora {

enum class LzoOutcome {
  ok,           // `out` holds exactly the expected bytes
  damaged,      // the data do not unpack
  wrongSize,    // they unpack, but to another size than expected
  unavailable,  // this build has no LZO
};

// Unpacks the LZO1X stream `packed` into `out` (replaced), which is to hold exactly
// `expectedSize` bytes; never writes more than that, whatever the stream says.
LzoOutcome decompressLzo1x(std::string_view packed, size_t expectedSize, std::string& out);

}  // namespace lexora
