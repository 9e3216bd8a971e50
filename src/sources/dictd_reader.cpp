#include "sources/dictd_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>

#include "base/format_text.h"
#include "base/text_codec.h"
#include "platform/ansi_code_page.h"
#include "platform/file.h"
#include "platform/path_text.h"
#include "platform/ui_language.h"
#include "sources/dictd_index.h"
#include "sources/dictd_text.h"
#include "sources/kept_entry_adder.h"
#include "sources/load_dictionary_file.h"
#include "sources/stardict_data.h"

namespace lexora {
namespace {

constexpr BilingualText kIndexOpenFailed{u"打开.index文件失败！", u"Open .index file failed!"};
constexpr BilingualText kIndexReadFailed{u"读取.index文件失败！", u"Read .index file failed!"};
constexpr BilingualText kDataOpenFailed{u"打开.dict.dz/.dict文件失败！",
                                        u"Open .dict.dz/.dict file failed!"};
constexpr BilingualText kMalformedLines{
    u"词典的索引文件中有{lines}行无法识别，已跳过。",
    u"{lines} lines of the dictionary's index file could not be read and were skipped."};
constexpr BilingualText kDataIncomplete{
    u"词典的数据文件不完整：有{entries}个词条的数据超出了文件末尾或无法读取，"
    u"这些词条只保留了能读到的部分。",
    u"The data file of this dictionary is incomplete: the data of {entries} entries lie "
    u"beyond its end or could not be read. Those entries keep only what could be read."};

// How much of an entry's text is read first: twice what an entry keeps, so that the
// explanation decides the entry even where decoding or removing characters shrinks it.
constexpr uint32_t kFirstRead = 2 * kKeptEntryBytes;

// Calls `use` with each line of `text` that is not empty, without its line break (LF or
// CRLF).
template <typename Use>
void forEachLine(std::string_view text, Use use) {
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!line.empty()) use(line);
  }
}

// What the index says of the database besides its entries.
struct DatabaseFacts {
  bool utf8 = false;
  std::optional<DictdIndexLine> shortName;
};

// Entries whose headword starts "00database" or "00-database" are facts about the database,
// not entries: the fact's name ("short", "utf8", ... with a dash before it or not), or
// nullopt for an entry.
std::optional<std::string_view> databaseFact(std::string_view headword) {
  for (std::string_view prefix : {"00-database", "00database"}) {
    if (!headword.starts_with(prefix)) continue;
    headword.remove_prefix(prefix.size());
    if (headword.starts_with('-')) headword.remove_prefix(1);
    return headword;
  }
  return std::nullopt;
}

// The whole of `file`, which is expected to hold `expected` bytes: read in one go when it
// does, so that the index costs its size in memory once.
bool readWholeFile(std::FILE* file, uintmax_t expected, std::string& bytes) {
  size_t step = static_cast<size_t>(std::clamp<uintmax_t>(expected + 1, 1 << 16, 1 << 30));
  size_t size = 0;
  for (;;) {
    bytes.resize(size + step);
    const size_t n = std::fread(bytes.data() + size, 1, step, file);
    size += n;
    if (n < step) break;
    step = std::max<size_t>(step, 1 << 20);
  }
  bytes.resize(size);
  return std::ferror(file) == 0;
}

// The data file beside the index: the index's name with `extension` for its own.
std::filesystem::path dataFile(const std::filesystem::path& indexPath, const char* extension) {
  std::filesystem::path path = indexPath;
  path.replace_extension(extension);
  return path;
}

class TextDecoder {
 public:
  explicit TextDecoder(bool utf8) : utf8_(utf8), codePage_(ansiCodePage()) {}

  void append(std::string& out, std::string_view bytes) {
    if (utf8_) {
      appendValidUtf8(out, bytes);
      return;
    }
    wide_.clear();
    codePage_.decode(bytes, wide_);
    appendUtf8(out, wide_);
  }

 private:
  bool utf8_;
  const AnsiCodePage& codePage_;
  std::u16string wide_;
};

// The most of an entry's text that is ever read. Only white space at its start and empty
// brace pairs shrink a text by more than half, so a real entry is settled well within it;
// a hostile one costs no more than this, however much of that it holds.
constexpr uint32_t kMostRead = 4 * kFirstRead;

// The explanation of one entry; false when its text lies partly beyond the data's end or
// cannot be read. The text is read from its start, and further only while what was read
// leaves unsettled what the entry keeps, so an entry claiming a huge length costs what it
// keeps.
bool readExplanation(StarDictData& data, const DictdIndexLine& record, TextDecoder& decoder,
                     std::string& block, std::string& decoded, std::string& explanation) {
  for (uint32_t want = kFirstRead;; want = std::min(record.length, kMostRead)) {
    const bool whole = data.readBlockStart(record.offset, record.length, want, block);
    decoded.clear();
    decoder.append(decoded, block);
    explanation.clear();
    appendDictdExplanation(explanation, decoded);
    // The margin covers a character cut at the end of what was read.
    if (want >= record.length || want >= kMostRead || block.size() < want ||
        explanation.size() >= size_t{kKeptEntryBytes} + 4) {
      return whole;
    }
  }
}

int readDictdEntries(LoadedDictionary& dictionary, const std::filesystem::path& indexPath,
                     UserInterface& ui) {
  std::string index;
  {
    FilePtr file = openForReading(indexPath);
    if (!file) {
      ui.showFileWarning(pick(kIndexOpenFailed), indexPath, errno);
      return -1;
    }
    std::error_code sizeError;
    const uintmax_t expected = std::filesystem::file_size(indexPath, sizeError);
    if (!readWholeFile(file.get(), sizeError ? 0 : expected, index)) {
      ui.showFileWarning(pick(kIndexReadFailed), indexPath, errno);
      return -1;
    }
  }

  // The data file that is named when none opens: the compressed one, unless only the plain
  // one exists.
  const std::filesystem::path compressedPath = dataFile(indexPath, ".dict.dz");
  const std::filesystem::path plainPath = dataFile(indexPath, ".dict");
  std::filesystem::path dataPath = compressedPath;
  std::unique_ptr<StarDictData> data = StarDictData::open(compressedPath);
  if (!data) {
    const int compressedError = errno;
    dataPath = plainPath;
    data = StarDictData::open(plainPath);
    if (!data) {
      const int plainError = errno;
      const bool namePlain = compressedError == ENOENT && plainError != ENOENT;
      ui.showFileWarning(pick(kDataOpenFailed), namePlain ? plainPath : compressedPath,
                         namePlain ? plainError : compressedError);
      return -1;
    }
  }

  // Whether the data are UTF-8 is known only once the 00-database-utf8 entry is seen,
  // wherever the index sorts it: a first pass over the index notes the facts, a second
  // reads the entries.
  DatabaseFacts facts;
  forEachLine(index, [&](std::string_view line) {
    if (!line.starts_with("00")) return;
    const std::optional<DictdIndexLine> parsed = parseDictdIndexLine(line);
    const std::optional<std::string_view> fact =
        parsed ? databaseFact(parsed->headword) : std::nullopt;
    if (fact == "utf8") facts.utf8 = true;
    if (fact == "short") facts.shortName = parsed;
  });

  TextDecoder decoder(facts.utf8);
  std::string block, decoded, explanation;
  dictionary.name.clear();
  if (facts.shortName) {
    // A name is short: its first kFirstRead bytes are plenty.
    data->readBlockStart(facts.shortName->offset, facts.shortName->length, kFirstRead, block);
    decoder.append(decoded, block);
    dictionary.name = dictdDatabaseName(decoded, facts.shortName->headword);
  }
  if (dictionary.name.empty()) dictionary.name = dictionaryNameFromPath(pathText(indexPath));

  std::string headword, entry, key;
  KeptEntryAdder adder(dictionary.entries);
  int64_t malformed = 0;
  int64_t incomplete = 0;
  forEachLine(index, [&](std::string_view line) {
    const std::optional<DictdIndexLine> record = parseDictdIndexLine(line);
    if (!record) {
      ++malformed;
      return;
    }
    if (databaseFact(record->headword)) return;
    headword.clear();
    decoder.append(headword, record->headword);
    const std::string_view trimmed = trimDictdText(headword);
    if (trimmed.empty()) {
      ++malformed;
      return;
    }
    if (!readExplanation(*data, *record, decoder, block, decoded, explanation)) ++incomplete;
    entry.assign(trimmed);
    entry.push_back('\t');
    entry.append(explanation);
    key.assign(trimmed);
    asciiLowerInPlace(key);
    adder.add(key, entry);
  });
  // The notices name the file at fault, for a user holding many databases.
  if (malformed > 0) {
    ui.showFileWarning(formatText(kMalformedLines, {{u"lines", malformed}}), indexPath, 0);
  }
  if (incomplete > 0) {
    ui.showFileWarning(formatText(kDataIncomplete, {{u"entries", incomplete}}), dataPath, 0);
  }
  return 0;
}

}  // namespace

int readDictdDictionary(LoadedDictionary& dictionary, const std::filesystem::path& indexPath,
                        UserInterface& ui) {
  const int result = readDictdEntries(dictionary, indexPath, ui);
  // Loading ends here, whether the files were read whole or not: what was read stays.
  dictionary.entries.freeze();
  return result;
}

}  // namespace lexora
