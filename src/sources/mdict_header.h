// The header of an MDict file: after a 4-byte big-endian length, that many bytes of
// UTF-16LE XML, one element (<Dictionary .../> in .mdx files, <Library_Data .../> in .mdd
// files) whose attributes describe the file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lexora {

struct MdictHeader {
  // GeneratedByEngineVersion as written ("2.0"), and its whole part (2; 0 when it does not
  // start with a number). Files of 1.x lay out their numbers in 4 bytes, files of 2.x in 8
  // bytes with checksums.
  std::string version;
  int majorVersion = 0;
  std::string encoding;  // as written; empty means UTF-8
  // Encrypted: bit 1 = the key section is enciphered with a registration key, bit 2 = the
  // key-block info is scrambled (mdict_cipher.h). "Yes" is 1, "No" and absent 0.
  int encrypted = 0;
  std::string title;  // UTF-8, character references decoded
  bool html = true;   // Format: Html (the default) or Text
  // How the file's own key index is ordered; nothing Lexora builds is ordered by them.
  bool keyCaseSensitive = false;
  bool stripKey = false;
};

// The header's attributes from its UTF-8 text (a NUL and what follows it ignored). Real
// headers are not always well-formed XML (an unescaped '&' or '<' in a Description), so
// the first element's attributes are scanned rather than the text parsed as a document.
// Returns nullopt when there is no element with GeneratedByEngineVersion.
std::optional<MdictHeader> parseMdictHeader(std::string_view text);

// The title worth showing: empty for an empty title and for the placeholder the format's
// writer leaves, "Title (No HTML code allowed)"; else the title without white space at its
// ends.
std::string_view meaningfulMdictTitle(std::string_view title);

}  // namespace lexora
