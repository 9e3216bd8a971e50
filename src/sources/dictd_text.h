// What the text of a dictd entry gives: the explanation of an entry, and the database's
// name from the text of its 00-database-short entry. Both take valid UTF-8 (the reader has
// decoded the data by then).
#pragma once

#include <string>
#include <string_view>

namespace lexora {

// Appends the explanation that an entry's text gives: CRLF as LF (every CR that ends up
// before an LF goes), each TAB as a space, the braces that mark a cross-reference ("{word}": a '{'
// whose next brace is a '}') dropped with their word kept, and the white space at both ends
// (isWhiteSpace) removed. Other braces stay as they are.
void appendDictdExplanation(std::string& out, std::string_view text);

// `text` without the white space (isWhiteSpace) at its ends.
std::string_view trimDictdText(std::string_view text);

// Trims (as trimDictdText) what `out` holds from `start` on.
void trimAppendedText(std::string& out, size_t start);

// The name that the text of the 00-database-short entry gives: its first line dropped when
// it repeats the entry's headword (dashes and ASCII case aside, as dictd's tools write and
// index it), every run of white space one space, none at the ends. Empty when nothing is
// left.
std::u16string dictdDatabaseName(std::string_view text, std::string_view headword);

}  // namespace lexora
