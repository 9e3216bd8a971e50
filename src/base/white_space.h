// The wide-character white-space test used to trim headwords and fields.
#pragma once

namespace lexora {

// True for U+0009..U+000D, U+0020, U+00A0 and, above U+00FF, the Unicode
// White_Space characters (U+1680, U+2000..U+200A, U+2028, U+2029, U+202F,
// U+205F, U+3000). A fixed table, so the result does not depend on the locale.
bool isWhiteSpace(char16_t c);

}  // namespace lexora
