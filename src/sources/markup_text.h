// `markup as text`: HTML (and the XDXF markup StarDict fields carry) turned into the plain
// text a handheld shows.
#pragma once

#include <string>
#include <string_view>

namespace lexora {

enum class MarkupKind {
  html,
  // XDXF article markup: as HTML, except that <tr> is a transcription, shown in brackets,
  // and <def> and <k> start lines of their own.
  xdxf,
};

// Appends the text of `markup` (UTF-8) to `out`, as a browser lays it out without styles:
// tags removed, their words kept; p, div, br, li, tr, h1-h6 and the other block elements
// start new lines; a list item starts with "• " or, in an ordered list, its number; script,
// style and comments dropped with their content; character references and every HTML named
// entity decoded; runs of white space collapsed to one space and removed at line ends.
// Lines are separated by LF; no LF ends the text. Work and memory are linear in the input,
// whatever its nesting, and a tag or comment left open drops the rest of the input, as a
// browser does.
void appendMarkupAsText(std::string_view markup, MarkupKind kind, std::string& out);

// Decodes the character reference that starts `text` just after its '&'. Returns how many
// bytes of `text` it takes (0 when none starts there, and the '&' stands for itself) and
// appends its UTF-8 text.
size_t decodeCharacterReference(std::string_view text, std::string& out);

}  // namespace lexora
