// The markup of a DSL card's body turned into the plain text a handheld shows.
#pragma once

#include <string>
#include <string_view>

namespace lexora {

// `line` without its `{{comments}}` (escaped braces are not comment marks): `line` itself
// when it has none, else the text left in `out`. `inComment` says whether the line starts
// inside one and, on return, whether it ends inside one.
std::u16string_view stripDslComments(std::u16string_view line, bool& inComment,
                                     std::u16string& out);

// Appends the text of one body line, without its leading white space or line break and with
// comments already stripped: `[mN]` indents it by N spaces, the formatting tags are dropped
// with their words kept, `[s]…[/s]` is dropped whole (a media reference left open ends with
// its line), `<<word>>` gives the word, `~` the headword, and the escapes their character.
// A line that embeds HTML (a known element's tag, a comment, a reference such as "&amp;")
// then goes through the markup converter, its block elements indented like the line; the
// '<' and '&' of plain text stay as they are. Appends nothing when no text is left. Stops once it
// has appended more than `room` units (the rest could not be kept anyway).
void appendDslBodyText(std::u16string_view line, std::u16string_view headword, size_t room,
                       std::u16string& out);

}  // namespace lexora
