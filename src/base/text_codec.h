// UTF-8 <-> UTF-16 conversion, the way the rest of Lexora expects it:
// invalid UTF-8 becomes U+FFFD (one per maximal invalid subsequence), and a lone
// surrogate in UTF-16 becomes U+FFFD in UTF-8. Neither direction ever fails.
#pragma once

#include <string>
#include <string_view>

namespace lexora {

std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

// Appends the UTF-8 form of `utf16` to `out` (no reallocation when `out` has room).
void appendUtf8(std::string& out, std::u16string_view utf16);
void appendUtf16(std::u16string& out, std::string_view utf8);

// Appends untrusted bytes as valid UTF-8, exactly as utf16ToUtf8(utf8ToUtf16(bytes)) would
// give them (valid sequences copied, each maximal invalid subsequence U+FFFD), without the
// round trip through UTF-16.
void appendValidUtf8(std::string& out, std::string_view bytes);

// The offset of the first byte that is not part of well-formed UTF-8 (no overlong forms,
// surrogates or values past U+10FFFF), or npos: bytes pass exactly when they survive a round
// trip through UTF-16 unchanged.
size_t firstInvalidUtf8(std::string_view bytes);

// ASCII-only lower-casing: 'A'..'Z' become 'a'..'z', everything else stays.
// This is the one rule for headword keys, file extensions and look-ups.
std::u16string asciiLower(std::u16string_view text);
std::string asciiLower(std::string_view text);
// The same rule on a buffer the caller reuses (no allocation, for readers' hot loops).
void asciiLowerInPlace(std::string& text);

}  // namespace lexora
