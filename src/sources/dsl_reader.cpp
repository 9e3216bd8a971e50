#include "sources/dsl_reader.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "base/format_text.h"
#include "base/text_codec.h"
#include "base/white_space.h"
#include "dictionary/key_order.h"
#include "platform/ansi_code_page.h"
#include "platform/path_text.h"
#include "platform/ui_language.h"
#include "sources/dsl_headword.h"
#include "sources/dsl_lines.h"
#include "sources/dsl_markup.h"
#include "sources/gz_file.h"
#include "sources/load_dictionary_file.h"

namespace lexora {
namespace {

constexpr BilingualText kOpenFailed{u"打开词典文件失败！", u"Open dictionary file failed!"};
// The file is named in the text: the abbreviation file beside a dictionary is read too.
constexpr BilingualText kDamaged{
    u"DSL词典文件{file}已损坏或不完整，无法读到结尾。已读到的词条将保留。",
    u"The DSL dictionary file {file} is damaged or incomplete: it could not be read to its "
    u"end. The entries read are kept."};
constexpr BilingualText kLinesCut{
    u"DSL词典文件{file}中有过长的行或过多共用一个释义的词头，超出部分未读取。",
    u"The DSL dictionary file {file} has lines too long or too many headwords sharing one "
    u"body; what goes beyond was not read."};

// More headwords than this sharing one body are not real cards: each would copy the body.
constexpr size_t kMostHeadwordsPerCard = 1024;
// A headword line is kept up to this many characters, so that a card's pending headwords
// cost little however long their lines are; no handheld shows a headword this long.
constexpr size_t kLongestHeadword = 4096;

// #SOURCE_CODE_PAGE's values and the code pages they stand for.
std::optional<AnsiCodePage> sourceCodePage(std::u16string_view value) {
  struct Page {
    std::u16string_view name;
    const char* codePage;
  };
  static constexpr Page kPages[] = {
      {u"latin", "CP1252"},  {u"cyrillic", "CP1251"},         {u"easterneuropean", "CP1250"},
      {u"greek", "CP1253"},  {u"turkish", "CP1254"},          {u"hebrew", "CP1255"},
      {u"arabic", "CP1256"}, {u"baltic", "CP1257"},           {u"vietnamese", "CP1258"},
      {u"thai", "CP874"},    {u"japanese", "CP932"},          {u"chinese", "CP936"},
      {u"korean", "CP949"},  {u"chinesetraditional", "CP950"}};
  const std::u16string lower = asciiLower(value);
  for (const Page& page : kPages) {
    if (lower == page.name) return AnsiCodePage::open(page.codePage);
  }
  return std::nullopt;
}

// Printable ASCII, what most lines start and end with, is never white space.
bool isSpaceAt(char16_t c) {
  return (c <= u' ' || c >= 0x7F) && isWhiteSpace(c);
}

std::u16string_view trimmed(std::u16string_view text) {
  while (!text.empty() && isSpaceAt(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpaceAt(text.back())) text.remove_suffix(1);
  return text;
}

// A header line's value: its quoted text, or all after the directive when unquoted.
std::u16string_view headerValue(std::u16string_view line, size_t directiveSize) {
  std::u16string_view value = trimmed(line.substr(directiveSize));
  if (value.size() >= 2 && value.front() == u'"') {
    const size_t close = value.find(u'"', 1);
    return close == std::u16string_view::npos ? value.substr(1) : value.substr(1, close - 1);
  }
  return value;
}

bool startsWithDirective(std::u16string_view line, std::u16string_view directive) {
  return line.size() >= directive.size() &&
         asciiLower(line.substr(0, directive.size())) == directive &&
         (line.size() == directive.size() || isWhiteSpace(line[directive.size()]));
}

// Gathers a card's headwords and body and adds its entries.
class CardBuilder {
 public:
  explicit CardBuilder(EntryMap& entries) : entries_(entries) {}

  // A headword line (comments stripped). Starts a new card after a body.
  void headword(std::u16string_view line) {
    if (inBody_) flush();
    if (headwords_.size() >= kMostHeadwordsPerCard) {
      ++dropped_;
      return;
    }
    headwords_.emplace_back(line.substr(0, kLongestHeadword));
    if (headwords_.size() == 1) {
      parseDslHeadword(headwords_.back(), parsed_);
      tilde_ = parsed_.fullKey;
    }
  }

  // A body line (comments stripped, leading white space still there).
  void body(std::u16string_view line) {
    if (headwords_.empty()) return;  // a body with no headword belongs to nothing
    inBody_ = true;
    if (explanation_.size() > static_cast<size_t>(kKeptEntryBytes)) return;
    const size_t room = static_cast<size_t>(kKeptEntryBytes) - explanation_.size();
    const size_t before = explanation_.size();
    if (!explanation_.empty()) explanation_.push_back(u'\n');
    const size_t lineStart = explanation_.size();
    std::u16string_view text = trimmed(line);
    if (!text.empty() && text.front() == u'@') {
      // A sub-entry: its headword is a line of its own; a lone '@' only ends it.
      appendDslBodyText(trimmed(text.substr(1)), tilde_, room, explanation_);
    } else {
      appendDslBodyText(text, tilde_, room, explanation_);
    }
    if (explanation_.size() == lineStart) explanation_.resize(before);
  }

  void flush() {
    for (size_t i = 0; i < headwords_.size(); ++i) {
      if (i > 0) parseDslHeadword(headwords_[i], parsed_);
      add(parsed_.fullShown, parsed_.fullKey);
      if (parsed_.hasOptional) add(parsed_.shortShown, parsed_.shortKey);
    }
    headwords_.clear();
    explanation_.clear();
    explanationUtf8_.clear();
    inBody_ = false;
  }

  size_t dropped() const { return dropped_; }

 private:
  void add(std::u16string_view shown, std::u16string_view key) {
    if (key.empty()) return;
    if (explanationUtf8_.empty() && !explanation_.empty())
      appendUtf8(explanationUtf8_, explanation_);
    key_.clear();
    appendKeyBytes(key_, key);
    asciiLowerInPlace(key_);
    // The packer takes the headword it packs from the entry's start, a key's length of it,
    // so the entry starts with the key as written; a headword with text in {...} shows all
    // of it on the explanation's first line instead.
    entry_.clear();
    appendUtf8(entry_, key);
    entry_.push_back('\t');
    if (shown != key) {
      appendUtf8(entry_, shown);
      if (!explanationUtf8_.empty()) entry_.push_back('\n');
    }
    entry_.append(explanationUtf8_);
    entry_.resize(std::min<size_t>(entry_.size(), kKeptEntryBytes));
    entries_.addUtf8Key(key_, entry_);
  }

  EntryMap& entries_;
  std::vector<std::u16string> headwords_;
  DslHeadword parsed_;
  std::u16string tilde_;
  std::u16string explanation_;
  std::string explanationUtf8_, key_, entry_;
  bool inBody_ = false;
  size_t dropped_ = 0;
};

// The name a DSL file gives when it has no #NAME: its file name without ".dsl" or ".dsl.dz".
std::u16string nameFromPath(std::u16string_view pathText) {
  std::u16string name = dictionaryNameFromPath(pathText);
  if (isCompressedDslPath(pathText)) name.resize(name.size() - 4);  // ".dsl"
  return name;
}

int readDslEntries(LoadedDictionary& dictionary, const std::filesystem::path& path,
                   UserInterface& ui) {
  GzFilePtr file = openGzFile(path);
  if (!file) {
    ui.showFileWarning(pick(kOpenFailed), path, errno);
    return -1;
  }
  dictionary.name = nameFromPath(pathText(path));
  DslLines lines(file.get(), ansiCodePage());
  std::optional<AnsiCodePage> declaredPage;
  std::string rawName;  // #NAME's line, decoded once the code page is known
  bool haveName = false;
  bool inHeader = true;
  bool inComment = false;
  CardBuilder cards(dictionary.entries);
  std::u16string line, stripped, text;
  std::string_view raw;
  while (lines.nextRaw(raw)) {
    lines.decode(raw, line);
    if (inHeader) {
      if (!line.empty() && line.front() == u'#') {
        if (startsWithDirective(line, u"#name")) {
          rawName.assign(raw);
          haveName = true;
        } else if (startsWithDirective(line, u"#source_code_page") && !lines.hasMark()) {
          // An unknown page leaves the one chosen before (which `lines` still points at).
          if (std::optional<AnsiCodePage> page = sourceCodePage(headerValue(line, 17))) {
            declaredPage.emplace(std::move(*page));
            lines.useCodePage(*declaredPage);
          }
        }
        continue;
      }
      if (trimmed(line).empty()) continue;
      inHeader = false;
      if (haveName) {
        lines.decode(rawName, text);
        const std::u16string_view name = headerValue(text, 5);
        if (!name.empty()) dictionary.name.assign(name);
      }
      // The first line after the header was decoded before the code page was chosen.
      lines.decode(raw, line);
    }
    // A line that starts inside a comment is still a body line when it is indented.
    const char16_t first = line.empty() ? u'\n' : line.front();
    const std::u16string_view content = stripDslComments(line, inComment, stripped);
    if (trimmed(content).empty()) continue;
    if (first == u'\t' || first == u' ') {
      cards.body(content);
    } else {
      cards.headword(content);
    }
  }
  cards.flush();
  const std::u16string fileName = pathText(path);
  if (lines.damaged()) ui.showFileWarning(formatText(kDamaged, {{u"file", fileName}}), path, 0);
  if (lines.cutLines() > 0 || cards.dropped() > 0)
    ui.showFileWarning(formatText(kLinesCut, {{u"file", fileName}}), path, 0);
  return 0;
}

// NAME_abrv.dsl or NAME_abrv.dsl.dz beside NAME.dsl or NAME.dsl.dz, the one compressed
// alike first.
std::optional<std::filesystem::path> abbreviationFile(const std::filesystem::path& path) {
  const std::u16string text = pathText(path);
  const bool compressed = isCompressedDslPath(text);
  const size_t suffix = compressed ? 7 : 4;
  if (text.size() < suffix) return std::nullopt;
  const std::u16string base = text.substr(0, text.size() - suffix);
  if (asciiLower(base).ends_with(u"_abrv")) return std::nullopt;  // it is one itself
  for (const std::u16string_view extension :
       {compressed ? u".dsl.dz" : u".dsl", compressed ? u".dsl" : u".dsl.dz"}) {
    std::filesystem::path candidate = pathFromText(base + u"_abrv" + std::u16string(extension));
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) return candidate;
  }
  return std::nullopt;
}

}  // namespace

bool isCompressedDslPath(std::u16string_view path) {
  return path.size() >= 7 && asciiLower(path.substr(path.size() - 7)) == u".dsl.dz";
}

int readDslDictionary(LoadedDictionary& dictionary, const std::filesystem::path& path,
                      UserInterface& ui) {
  const int result = readDslEntries(dictionary, path, ui);
  // Loading ends here, whether the file was read whole or not: what was read stays as it is.
  dictionary.entries.freeze();
  if (result == 0) {
    // Abbreviations explain the labels of the cards (e.g. "n." for noun); they are read so
    // that a damaged one is reported, but nothing on the handheld looks them up.
    if (const std::optional<std::filesystem::path> abbreviations = abbreviationFile(path)) {
      LoadedDictionary ignored;
      readDslEntries(ignored, *abbreviations, ui);
    }
  }
  return result;
}

}  // namespace lexora
