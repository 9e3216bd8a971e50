// The text in an MDict file: keys and records in the header's Encoding, each ending in a
// NUL (two in UTF-16), and what a record gives an entry: a link, or an explanation.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/ansi_code_page.h"

namespace lexora {

class MdictTextDecoder {
 public:
  // The decoder for an Encoding value: empty or UTF-8; UTF-16 (little-endian); GBK, GB2312
  // and GB18030 all as GB18030, their superset; BIG5; or any code page the system knows.
  // nullopt for one it does not.
  static std::optional<MdictTextDecoder> forEncoding(std::string_view encoding);

  // Bytes per code unit: 2 for UTF-16, else 1.
  size_t unitSize() const { return utf16_ ? 2 : 1; }

  // `bytes` up to the NUL (a whole zero unit) that ends a text, or all of them.
  std::string_view untilTerminator(std::string_view bytes) const;

  // Appends the UTF-8 form of `bytes`: invalid sequences and lone surrogates become U+FFFD.
  void append(std::string& out, std::string_view bytes) const;

  // The UTF-8 form of `bytes`, as `append` gives it: `bytes` themselves when they are valid
  // UTF-8 already (no copy), else the text decoded into `scratch`.
  std::string_view utf8(std::string_view bytes, std::string& scratch) const;

 private:
  bool utf16_ = false;
  std::optional<AnsiCodePage> codePage_;  // for neither UTF-8 nor UTF-16
  mutable std::u16string wide_;
};

// The word of a link record ("@@@LINK=word", white space around the word ignored, and any
// line after the first), or nullopt for a record that is no link.
std::optional<std::string_view> mdictLinkTarget(std::string_view record);

// Appends the explanation a record (UTF-8) gives: an HTML record's text as
// appendMarkupAsText lays it out; a text record as it is, except that CRLF and lone CRs
// become LF and TABs spaces (the TAB ends the headword in an entry); the white space at
// both ends removed either way.
void appendMdictExplanation(std::string_view record, bool html, std::string& out);

}  // namespace lexora
