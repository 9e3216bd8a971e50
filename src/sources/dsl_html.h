// HTML that a DSL card's body embeds (`<b>`, `<br>`, `<a href=…>`, `&amp;`), told apart
// from the '<' and '&' of plain text, and turned into text by the markup converter.
#pragma once

#include <string>
#include <string_view>

namespace lexora {

// Whether `rest`, what follows a '<' in a body line, opens or closes an HTML element of a
// known name, or opens an HTML comment. REQUIRES: a '>' follows in the line (which the
// caller finds once per line: looking for it here would cost a line of many '<' its square). A
// tag-like word of no HTML element ("<noun>"), a bare '<' ("a < b") and DSL's `<<word>>` (whose
// second '<' the caller has taken) do not.
bool startsHtmlTag(std::u16string_view rest);

// Whether `rest`, what follows a '&', is a character reference ended by ';' ("&amp;",
// "&#8212;"). A bare '&' ("R&D") does not count, nor a legacy name without ';' ("&copy").
bool startsCharacterReference(std::u16string_view rest);

// Appends `text` with '&' and '<' written as references, so that HTML reads it as it is.
void appendHtmlEscaped(std::u16string_view text, std::u16string& out);

// Replaces `out` from `start` on, HTML, with its text: tags dropped, references decoded,
// white space collapsed, block elements giving lines of their own (no empty first line).
void convertDslHtml(std::u16string& out, size_t start);

}  // namespace lexora
