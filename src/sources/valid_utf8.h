// Making untrusted bytes into valid UTF-8 without a round trip through UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace lexora {

// Appends `bytes` to `out` as utf16ToUtf8(utf8ToUtf16(bytes)) would: valid sequences are
// copied, every maximal invalid subsequence becomes U+FFFD. The StarDict reader builds
// its entries in UTF-8 and uses this to keep them byte for byte what the UTF-16 route
// gives, at a fraction of the cost.
void appendValidUtf8(std::string& out, std::string_view bytes);

}  // namespace lexora
