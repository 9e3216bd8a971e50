#include "sources/text_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "base/text_codec.h"
#include "base/white_space.h"
#include "platform/ansi_code_page.h"
#include "platform/file.h"
#include "platform/path_text.h"
#include "platform/ui_language.h"
#include "sources/line_piece.h"
#include "sources/load_dictionary_file.h"

namespace lexora {
namespace {

constexpr BilingualText kOpenFailed{u"打开词典文件失败！", u"Open dictionary file failed!"};
// Reading can fail after the file opened (a disk or network error); the dictionary would
// then be incomplete, so the file is refused rather than sent half-read.
constexpr BilingualText kReadFailed{u"读取词典文件失败！", u"Read dictionary file failed!"};
// A big-endian mark is read as ANSI text like any file without the little-endian mark, which
// yields nothing useful; the user learns why instead of only that nothing was found.
constexpr BilingualText kBigEndian{
    u"此文件以UTF-16大端字节顺序标记（FE FF）开头；只能读取UTF-16小端（FF FE）文本。",
    u"This file starts with a UTF-16 big-endian byte-order mark (FE FF); only UTF-16 "
    u"little-endian (FF FE) text can be read."};

// Control characters that stand for phonetic letters in old dictionaries.
char16_t phonetic(char16_t c) {
  switch (c) {
    case 0x03:
      return 0x00E6;  // æ
    case 0x0F:
      return 0x039B;  // Λ
    case 0x10:
      return 0x01DD;  // ǝ
    case 0x06:
      return 0x0254;  // ɔ
    case 0x19:
      return 0x014B;  // ŋ
    case 0x1E:
      return 0x01B7;  // Ʒ
    case 0x1D:
      return 0x0283;  // ʃ
    case 0x1C:
      return 0x00F0;  // ð
    case 0x0B:
      return 0x03B8;  // θ
    default:
      return c;
  }
}

// Reads the file in large slices and hands out pieces the way a line-at-a-time read would:
// up to and including the next line feed, or kLinePieceChars characters, whichever comes
// first.
class PieceReader {
 public:
  PieceReader(std::FILE* file, size_t unitSize) : file_(file), unit_(unitSize) {}

  // The next piece, or false at the end of the file (or on a read error: see failed()).
  bool next(std::string_view& piece) {
    const size_t maxBytes = kLinePieceChars * unit_;
    if (end_ - begin_ < maxBytes && !eof_) fill(maxBytes);
    const size_t available = end_ - begin_;
    if (available < unit_) return false;
    const size_t limit = std::min(available, maxBytes) / unit_ * unit_;
    const char* base = buffer_.data() + begin_;
    size_t length = limit;
    if (unit_ == 1) {
      if (const void* lf = std::memchr(base, '\n', limit)) {
        length = static_cast<size_t>(static_cast<const char*>(lf) - base) + 1;
      }
    } else {
      for (size_t i = 0; i < limit; i += 2) {
        if (base[i] == '\n' && base[i + 1] == 0) {
          length = i + 2;
          break;
        }
      }
    }
    piece = std::string_view(base, length);
    begin_ += length;
    return true;
  }

  bool failed() const { return failed_; }

 private:
  void fill(size_t wanted) {
    // Keep the unread tail and top up to at least `wanted` bytes (or the end of the file).
    if (begin_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
    }
    const size_t capacity = std::max<size_t>(wanted * 2, 1 << 20);
    if (buffer_.size() < capacity) buffer_.resize(capacity);
    while (end_ < wanted && !eof_) {
      const size_t n = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
      end_ += n;
      if (n == 0) {
        eof_ = true;
        failed_ = std::ferror(file_) != 0;
      }
    }
  }

  std::FILE* file_;
  const size_t unit_;
  std::vector<char> buffer_;
  size_t begin_ = 0, end_ = 0;
  bool eof_ = false, failed_ = false;
};

// Turns one piece (already decoded, cut at its first NUL) into an entry, if it holds one.
class LineConverter {
 public:
  explicit LineConverter(EntryMap& entries) : entries_(entries) {}

  // True when the piece gave an entry (its key is then key()).
  bool convert(std::u16string_view raw) {
    // CR and LF go; backslash-n becomes LF; the phonetic controls become their letters.
    // One pass does all three: a backslash left in `line_` is always one from the file.
    line_.resize(raw.size());
    char16_t* const begin = line_.data();
    char16_t* out = begin;
    for (char16_t c : raw) {
      if (c >= 0x20 && c != u'n') {  // the common case: nothing to remove or replace
        *out++ = c;
        continue;
      }
      if (c == u'\r' || c == u'\n') continue;
      if (c == u'n' && out != begin && out[-1] == u'\\') {
        out[-1] = u'\n';
        continue;
      }
      *out++ = phonetic(c);
    }
    line_.resize(static_cast<size_t>(out - begin));

    const size_t tab = line_.find(u'\t');
    if (tab == std::u16string::npos) return false;  // no TAB: the headword is empty
    size_t end = tab;
    while (end > 0 && isWhiteSpace(line_[end - 1])) --end;
    size_t start = 0;
    while (start < end && isWhiteSpace(line_[start])) ++start;
    if (start == end) return false;

    text_.clear();
    appendUtf8(text_, std::u16string_view(line_).substr(start, end - start));
    const size_t headwordBytes = text_.size();
    text_.push_back('\t');
    const size_t explanationAt = text_.size();
    appendUtf8(text_, std::u16string_view(line_).substr(tab + 1));
    // Further TABs belong to the explanation and become spaces.
    for (size_t i = explanationAt; i < text_.size(); ++i) {
      if (text_[i] == '\t') text_[i] = ' ';
    }

    // The key is the headword lower-cased by the ASCII rule, built from the same text.
    // Only UTF-16 files can hold lone surrogates, which the key keeps apart from U+FFFD.
    const std::u16string_view headword = std::u16string_view(line_).substr(start, end - start);
    if (std::any_of(headword.begin(), headword.end(),
                    [](char16_t c) { return (c & 0xF800) == 0xD800; })) {
      key_.clear();
      appendKeyBytes(key_, headword);
    } else {
      key_.assign(text_, 0, headwordBytes);
    }
    asciiLowerInPlace(key_);
    entries_.addUtf8Key(key_, text_);
    return true;
  }

  const std::string& key() const { return key_; }

 private:
  EntryMap& entries_;
  std::u16string line_;
  std::string text_, key_;
};

int readTextEntries(LoadedDictionary& dictionary, const std::filesystem::path& path,
                    UserInterface& ui) {
  FilePtr file = openForReading(path);
  if (!file) {
    ui.showFileWarning(pick(kOpenFailed), path, errno);
    return -1;
  }
  dictionary.name = dictionaryNameFromPath(pathText(path));

  unsigned char mark[2] = {0, 0};
  const bool utf16 = std::fread(mark, 1, 2, file.get()) == 2 && mark[0] == 0xFF && mark[1] == 0xFE;
  if (!utf16) std::rewind(file.get());
  const bool bigEndian = !utf16 && mark[0] == 0xFE && mark[1] == 0xFF;

  const AnsiCodePage& codePage = ansiCodePage();
  const size_t unitSize = utf16 ? 2 : 1;
  PieceReader reader(file.get(), unitSize);
  LineConverter converter(dictionary.entries);
  std::u16string decoded;
  std::string_view piece;
  // A line longer than one piece goes on in the next, which is read as a line of its own:
  // the entry of the first piece lacks the rest of its line, and the user is told (through
  // the packer's count of shortened entries) unless the rest is only the line break.
  std::string cutKey;  // the entry whose line goes on in the next piece
  bool continuation = false;
  while (reader.next(piece)) {
    const bool lineGoesOn = !(piece.size() >= unitSize && piece[piece.size() - unitSize] == '\n' &&
                              (unitSize == 1 || piece[piece.size() - 1] == 0));
    decoded.clear();
    if (utf16) {
      // A NUL unit ends the line's text.
      decoded.resize(piece.size() / 2);
      size_t units = 0;
      for (size_t i = 0; i + 1 < piece.size(); i += 2) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(piece[i]) |
                                                (static_cast<unsigned char>(piece[i + 1]) << 8));
        if (unit == 0) break;
        decoded[units++] = unit;
      }
      decoded.resize(units);
    } else {
      codePage.decode(piece.substr(0, piece.find('\0')), decoded);
    }
    if (continuation && !cutKey.empty() &&
        std::any_of(decoded.begin(), decoded.end(),
                    [](char16_t c) { return c != u'\r' && c != u'\n'; })) {
      dictionary.shortenedKeys.push_back(cutKey);
      cutKey.clear();
    }
    const bool added = converter.convert(decoded);
    if (!lineGoesOn) {
      cutKey.clear();
    } else if (added) {
      cutKey = converter.key();
    }
    continuation = lineGoesOn;
  }
  if (reader.failed()) {
    showWarning(ui, pick(kReadFailed));
    return -1;
  }
  if (bigEndian) showWarning(ui, pick(kBigEndian));
  return 0;
}

}  // namespace

int readTextDictionary(LoadedDictionary& dictionary, const std::filesystem::path& path,
                       UserInterface& ui) {
  const int result = readTextEntries(dictionary, path, ui);
  // Loading ends here, whether the file was read whole or not: what was read stays as it is.
  dictionary.entries.freeze();
  return result;
}

}  // namespace lexora
