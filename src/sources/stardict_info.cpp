#include "sources/stardict_info.h"

#include <cerrno>
#include <cstdio>
#include <limits>

#include "base/format_text.h"
#include "base/text_codec.h"
#include "base/white_space.h"
#include "platform/file.h"
#include "platform/ui_language.h"
#include "sources/line_piece.h"

namespace lexora {
namespace {

constexpr BilingualText kOpenFailed{u"打开.ifo文件失败！", u"Open .ifo file failed!"};
constexpr BilingualText kNoBookname{
    u".ifo文件格式不正确，读取不到bookname（词典名）信息！",
    u".ifo file format is incorrect. Cannot read bookname (dictionary name)!"};
constexpr BilingualText kNoWordcount{
    u".ifo文件格式不正确，读取不到wordcount（词条数）信息！",
    u".ifo file format is incorrect. Cannot read wordcount (word number)!"};
constexpr BilingualText kNoSametypesequence{
    u".ifo文件格式不正确，读取不到sametypesequence（数据类型顺序）信息！",
    u".ifo file format is incorrect. Cannot read sametypesequence (data type sequence)!"};

struct TypeDescription {
  char16_t letter;
  std::u16string_view text;
};

// Searched in this order; the first row with the letter wins. The descriptions are the
// format's own English names in both interface languages.
constexpr TypeDescription kTypeDescriptions[] = {
    {u'm', u"Word's pure text meaning"},
    {u'l', u"Word's pure text meaning"},
    {u'g', u"A utf-8 string which is marked up with the Pango text markup language"},
    {u't', u"English phonetic string"},
    {u'x', u"A utf-8 string which is marked up with the xdxf language"},
    {u'y', u"Chinese YinBiao or Japanese KANA"},
    {u'k', u"KingSoft PowerWord's data"},
    {u'w', u"MediaWiki markup language"},
    {u'W', u"wav file"},
    {u'P', u"png file"},
    {u'X', u"reserved for experimental extensions"},
};

std::u16string_view typeDescription(char16_t letter) {
  for (const auto& row : kTypeDescriptions) {
    if (row.letter == letter) return row.text;
  }
  return {};
}

std::u16string_view trim(std::u16string_view text) {
  while (!text.empty() && isWhiteSpace(text.back())) text.remove_suffix(1);
  while (!text.empty() && isWhiteSpace(text.front())) text.remove_prefix(1);
  return text;
}

// The value's leading decimal integer, as the C library's wcstol reads it with a 32-bit
// long: white space, a sign, digits; no digits gives 0, and a value out of range gives
// the nearest limit.
int32_t leadingInteger(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && isWhiteSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > int64_t{1} << 32) value = int64_t{1} << 32;  // saturated, no overflow
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

// Splits bytes into the pieces a line-by-line read gives and applies each piece.
class InfoParser {
 public:
  void feed(std::string_view bytes) {
    for (char c : bytes) {
      piece_.push_back(c);
      if (c == '\n' || piece_.size() == kLinePieceChars) flush();
    }
  }
  StarDictInfo finish() {
    flush();
    return std::move(info_);
  }

 private:
  void flush() {
    if (!piece_.empty()) applyLine(piece_);
    piece_.clear();
  }

  void applyLine(std::string_view bytes) {
    // The line is a C string: a NUL ends its text.
    if (const size_t nul = bytes.find('\0'); nul != std::string_view::npos) {
      bytes = bytes.substr(0, nul);
    }
    const std::u16string line = utf8ToUtf16(bytes);
    const size_t equals = line.find(u'=');
    if (equals == std::u16string::npos || equals == 0) return;
    const std::u16string_view key = trim(std::u16string_view(line).substr(0, equals));
    const std::u16string_view value = trim(std::u16string_view(line).substr(equals + 1));
    if (key == u"bookname") {
      info_.bookname = value;
    } else if (key == u"wordcount") {
      info_.wordcount = leadingInteger(value);
    } else if (key == u"sametypesequence") {
      info_.sametypesequence = value;
    } else if (key == u"idxoffsetbits") {
      // Index files of 4 GiB data files carry 64-bit offsets and say so here; read as
      // 32-bit, every record after the first would be garbage.
      info_.offsetBits = leadingInteger(value) == 64 ? 64 : 32;
    }
  }

  std::string piece_;
  StarDictInfo info_;
};

constexpr BilingualText kUnsupportedType{
    u"单词解释中包含类型{letter}({description})的数据！\n本版本不能处理这种数据，将把它丢弃！\n"
    u"其他类型的数据将会保留！",
    u"Word explain include data of type {letter} ({description})!\nThis verion cannot handle this "
    u"type, and will discard it!\nThe others will be kept!"};

// Markup fields can be kept: the notice about them says how.
constexpr BilingualText kHowToKeepMarkup{
    u"\n要把这种数据转为文本保留，请使用 lexora-cli 的 --markup-as-text 选项，或在设置的 [Sources] "
    u"中写入 markup=text。",
    u"\nTo keep such data as text, use lexora-cli's --markup-as-text option, or markup=text in "
    u"the [Sources] section of the settings."};

std::u16string unsupportedTypeMessage(char16_t letter) {
  std::u16string message = formatText(
      kUnsupportedType, {{u"letter", letter}, {u"description", typeDescription(letter)}});
  if (letter == u'h' || letter == u'x') message += pick(kHowToKeepMarkup);
  return message;
}

}  // namespace

bool isUnderstoodStarDictType(char16_t letter, bool markupAsText) {
  if (markupAsText && (letter == u'h' || letter == u'x')) return true;
  return letter == u'g' || letter == u'k' || letter == u'l' || letter == u'm' || letter == u't' ||
         letter == u'y';
}

StarDictInfo parseStarDictInfo(std::string_view text) {
  InfoParser parser;
  parser.feed(text);
  return parser.finish();
}

int readStarDictInfo(const std::filesystem::path& path, StarDictInfo& info, UserInterface& ui,
                     bool markupAsText) {
  FilePtr file = openForReading(path);
  if (!file) {
    ui.showFileWarning(pick(kOpenFailed), path, errno);
    return -1;
  }
  InfoParser parser;
  char buffer[16384];
  size_t n;
  // A read error ends the reading like the end of the file.
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    parser.feed(std::string_view(buffer, n));
  }
  file.reset();
  info = parser.finish();

  if (info.bookname.empty()) {
    showWarning(ui, pick(kNoBookname));
    return -1;
  }
  if (info.wordcount == 0) {
    showWarning(ui, pick(kNoWordcount));
    return -1;
  }
  if (info.sametypesequence.empty()) {
    showWarning(ui, pick(kNoSametypesequence));
    return -1;
  }
  for (char16_t letter : info.sametypesequence) {
    if (isUnderstoodStarDictType(letter, markupAsText)) continue;
    ui.showMessage(unsupportedTypeMessage(letter), MessageIcon::Information, MessageButtons::Ok);
  }
  return 0;
}

}  // namespace lexora
