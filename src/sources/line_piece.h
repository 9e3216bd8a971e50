// How the line-oriented readers (text dictionaries, StarDict info files) cut their input:
// as a line-at-a-time read into a 131,070-character buffer (with its terminator) would.
#pragma once

#include <cstddef>

namespace lexora {

// One read takes at most this many characters (bytes, or UTF-16 units) of a line; a
// longer line is read in pieces, each handled as a line of its own.
constexpr size_t kLinePieceChars = 131069;

}  // namespace lexora
