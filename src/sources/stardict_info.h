// The StarDict info file (.ifo): the keys Lexora needs from it, checked, with a notice for
// every field type that will be dropped.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/user_interface.h"

namespace lexora {

struct StarDictInfo {
  std::u16string bookname;
  int32_t wordcount = 0;
  std::u16string sametypesequence;
  // The width of the index file's data offsets: 64 when the file says "idxoffsetbits=64",
  // otherwise 32 (the only other width the format knows).
  int offsetBits = 32;
};

// The key/value lines of an info file's bytes, unchecked and without messages. Lines end
// after LF; a line longer than kLinePieceChars bytes is taken in pieces, each a line of
// its own.
StarDictInfo parseStarDictInfo(std::string_view text);

// `read StarDict info`: reads the file, checks bookname, wordcount and sametypesequence (in
// that order, stopping at the first missing one) and tells the user of each type letter in
// sametypesequence that is dropped. Returns 0 and fills `info`, or -1 after telling the
// user why (`info` is then unspecified; it is left untouched when the file does not open).
// With `markupAsText`, h and x fields are kept (as text) and not told of.
int readStarDictInfo(const std::filesystem::path& path, StarDictInfo& info, UserInterface& ui,
                     bool markupAsText = false);

// True for the type letters the field conversion turns into text: g, k, l, m, t, y, and with
// `markupAsText` h and x.
bool isUnderstoodStarDictType(char16_t letter, bool markupAsText = false);

}  // namespace lexora
