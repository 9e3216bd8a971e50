// The order of dictionary keys: keys are held in a UTF-8 form and ordered as their UTF-16
// forms would be, code unit by code unit (a plain ordinal comparison), which is the order
// the handheld searches in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lexora {

// Appends the map's form of a key: its UTF-8, except that a lone surrogate keeps a
// three-byte form of its own (ED A0..BF xx) where UTF-8 has U+FFFD, so that such keys stay
// apart and in order. As long as the UTF-8 the packer sends, which keeps U+FFFD.
void appendKeyBytes(std::string& out, std::u16string_view key);

// Orders keys in the map's form as their UTF-16 forms would be ordered (code unit by code
// unit). Negative, zero or positive like memcmp. Any bytes are safe to compare.
int compareKeys(std::string_view a, std::string_view b);

// The first eight bytes of a key in the map's form, remapped so that plain integer order
// agrees with compareKeys: a smaller prefix means a smaller key, and only keys with equal
// prefixes need compareKeys. Sorting millions of keys by this first touches few of them.
uint64_t keySortPrefix(std::string_view key);

}  // namespace lexora
