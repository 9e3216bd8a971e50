// The lines of a DSL file, decoded: UTF-16LE, UTF-16BE or UTF-8 after their byte-order
// mark, else single- or multi-byte text in a code page the caller chooses (the file's
// #SOURCE_CODE_PAGE, or the ANSI code page). Plain and gzip/dictzip files read alike.
#pragma once

#include <zlib.h>

#include <string>
#include <vector>

#include "platform/ansi_code_page.h"

namespace lexora {

class DslLines {
 public:
  // The longest line kept, in bytes of the file; the rest of a longer line is skipped (a
  // card keeps far less than this of its text anyway).
  static constexpr size_t kLongestLine = size_t{1} << 20;

  // `file` stays the caller's and must outlive this.
  DslLines(gzFile_s* file, const AnsiCodePage& codePage);

  // Whether the file carries a byte-order mark, so that no code page applies.
  bool hasMark() const { return unit_ == 2 || utf8_; }
  // The code page for the lines read from now on (files without a mark only).
  void useCodePage(const AnsiCodePage& codePage) { codePage_ = &codePage; }

  // The next line without its line break; false at the end of the file.
  bool next(std::u16string& line);
  // Decodes bytes of the file as its lines are decoded (e.g. a header line kept raw).
  void decode(std::string_view bytes, std::u16string& out) const;
  // The next line's bytes, undecoded; valid until the next call.
  bool nextRaw(std::string_view& bytes);

  // The file could not be read to its end (a read error, a gzip stream cut short or
  // damaged), or a UTF-16 file ended in half a character.
  bool damaged() const { return damaged_ || (unit_ == 2 && oddTail_); }
  // Lines longer than kLongestLine.
  size_t cutLines() const { return cutLines_; }

 private:
  void fill();
  size_t findLineFeed(const char* bytes, size_t size) const;

  gzFile_s* file_;
  const AnsiCodePage* codePage_;
  size_t unit_ = 1;
  bool utf8_ = false;
  bool bigEndian_ = false;
  std::vector<char> buffer_;
  size_t begin_ = 0, end_ = 0;
  bool eof_ = false, damaged_ = false, oddTail_ = false, skipRest_ = false;
  size_t cutLines_ = 0;
};

}  // namespace lexora
