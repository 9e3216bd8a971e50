// The index of a dictd database (NAME.index): one line per entry, "headword TAB offset TAB
// length", optionally followed by more TAB-separated fields that say nothing the entry
// needs. Offset and length are written in dictd's base-64 digits (A-Z a-z 0-9 + /, worth
// 0 to 63, most significant first) and locate the entry's text in the uncompressed data.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lexora {

struct DictdIndexLine {
  std::string_view headword;  // the line's bytes before the first TAB, as they are
  uint64_t offset = 0;
  uint32_t length = 0;
};

// The value of a dictd base-64 number; nullopt when it is empty, holds a byte that is not
// a digit, or does not fit in 64 bits.
std::optional<uint64_t> parseDictdNumber(std::string_view digits);

// One line without its line break (a CR before the break is the caller's to remove);
// nullopt when it lacks a field, a number is not one, or the length exceeds 32 bits.
std::optional<DictdIndexLine> parseDictdIndexLine(std::string_view line);

}  // namespace lexora
