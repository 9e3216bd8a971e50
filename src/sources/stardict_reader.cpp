#include "sources/stardict_reader.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include "base/format_text.h"
#include "base/text_codec.h"
#include "platform/ui_language.h"
#include "sources/gz_file.h"
#include "sources/kept_entry_adder.h"
#include "sources/stardict_data.h"
#include "sources/stardict_fields.h"
#include "sources/stardict_index.h"
#include "sources/stardict_info.h"

namespace lexora {
namespace {

constexpr BilingualText kIndexOpenFailed{u"打开.idx/.idx.gz文件失败！",
                                         u"Open .idx/.idx.gz file failed!"};
constexpr BilingualText kDataOpenFailed{u"打开.dict/.dict.dz文件失败！",
                                        u"Open .dict/.dict.dz file failed!"};
constexpr BilingualText kIndexDamaged{
    u"词典的索引文件已损坏：{declared}个词条中只能读到{read}个。已读到的词条将保留。",
    u"The index file of this dictionary is damaged: only {read} of its {declared} entries could "
    u"be read. The entries read are kept."};
constexpr BilingualText kDataDamaged{
    u"词典的数据文件已损坏：有{blocks}个词条的数据不完整，这些词条只保留了能读到的部分。",
    u"The data file of this dictionary is damaged: the data of {blocks} entries are incomplete. "
    u"Those entries keep only what could be read."};
// The blocks lost because a large compressed data file could not be unpacked into a
// temporary file: not damage in the dictionary, so told apart from it.
constexpr BilingualText kNoTemporarySpace{
    u"词典的数据文件解压后过大，临时文件夹中没有足够的空间：有{blocks}"
    u"个词条的数据无法读取，这些词条只保留了能读到的部分。",
    u"The data file of this dictionary is too large to unpack: the temporary folder has no room "
    u"for it. The data of {blocks} entries could not be read. Those entries keep only what "
    u"could be read."};

// The index or data file beside the info file: the info file's path with its last three
// characters replaced by `suffix`, which keeps its own lower case.
std::filesystem::path siblingFile(const std::filesystem::path& ifoPath, const char* suffix) {
  // The path ends in "ifo" in some letter case, three ASCII characters in every encoding
  // of a path; the suffix replaces them, the dot before them stays.
  auto base = ifoPath.native();
  base.resize(base.size() >= 3 ? base.size() - 3 : 0);
  std::filesystem::path sibling(std::move(base));
  sibling += suffix;
  return sibling;
}

// The file to name when neither of two candidate files opens.
struct FailedCandidate {
  std::filesystem::path path;
  int error = 0;
  // Call right after `candidate` failed to open, while errno is its reason.
  void note(const std::filesystem::path& candidate) {
    const int reason = errno;
    if (path.empty() || (error == ENOENT && reason != ENOENT)) {
      path = candidate;
      error = reason;
    }
  }
};

// How much of a data block is read first: with twice what an entry keeps, plain text
// decides the entry even where every pair of bytes becomes one.
constexpr uint32_t kFirstRead = 2 * kKeptEntryBytes;

// The explanation of one record's data block; false when the block is damaged. A block is
// read from its start, and further only while what was read leaves unsettled what the
// entry keeps (kKeptEntryBytes), so that records claiming huge or overlapping blocks
// cost what their entries keep, not what they claim.
bool convertBlock(StarDictData& data, const IndexRecord& record,
                  std::u16string_view sametypesequence, bool markupAsText,
                  PowerWordWalkState& powerWordWalkState, std::string& block,
                  std::string& explanation) {
  for (uint32_t want = kFirstRead;;
       want = record.dataSize / 4 < want ? record.dataSize : 4 * want) {
    const bool whole = data.readBlockStart(record.dataOffset, record.dataSize, want, block);
    if (want >= record.dataSize || block.size() < want) {
      // All of the block that there is.
      return convertStarDictFields(block, sametypesequence, powerWordWalkState, explanation,
                                   markupAsText) &&
             whole;
    }
    const BlockStartConversion start = convertStarDictFieldsStart(
        block, kKeptEntryBytes, sametypesequence, powerWordWalkState, explanation, markupAsText);
    if (start.outcome != BlockStartConversion::needMore) return start.sound && whole;
  }
}

int readStarDictEntries(LoadedDictionary& dictionary, const std::filesystem::path& ifoPath,
                        UserInterface& ui, const SourceOptions& options) {
  StarDictInfo info;
  if (readStarDictInfo(ifoPath, info, ui, options.markupAsText) != 0) return -1;
  dictionary.name = info.bookname;

  // Of two candidates that both fail, the one named to the user is the one that exists (its
  // failure says most), else the plain name.
  FailedCandidate failed;
  GzFilePtr indexFile = openGzFile(siblingFile(ifoPath, "idx"));
  if (!indexFile) failed.note(siblingFile(ifoPath, "idx"));
  if (!indexFile) indexFile = openGzFile(siblingFile(ifoPath, "idx.gz"));
  if (!indexFile) {
    failed.note(siblingFile(ifoPath, "idx.gz"));
    ui.showFileWarning(pick(kIndexOpenFailed), failed.path, failed.error);
    return -1;
  }
  failed = {};
  std::unique_ptr<StarDictData> data = StarDictData::open(siblingFile(ifoPath, "dict"));
  if (!data) failed.note(siblingFile(ifoPath, "dict"));
  if (!data) data = StarDictData::open(siblingFile(ifoPath, "dict.dz"));
  if (!data) {
    failed.note(siblingFile(ifoPath, "dict.dz"));
    indexFile.reset();
    ui.showFileWarning(pick(kDataOpenFailed), failed.path, failed.error);
    return -1;
  }
  gzbuffer(indexFile.get(), 128 * 1024);
  StarDictIndexReader index(
      [file = indexFile.get()](char* buffer, size_t size) -> int64_t {
        return gzread(file, buffer, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
      },
      info.offsetBits);

  // Decision on damaged files: an index record that cannot be read whole (the index ends
  // early, or a headword has no NUL within 256 bytes) ends the load there, since nothing
  // after it can be located; a data block that is short or holds fewer fields than the
  // type letters keeps the fields read and leaves the rest empty. In both cases the
  // entries read soundly are kept and the user is told, once, that the dictionary is
  // damaged; whether to send what was read is then the user's choice.
  // One record is read ahead, so that the data of the next block can be on their way into
  // the cache while this one is converted (blocks stored out of index order lie anywhere).
  PowerWordWalkState powerWordWalkState;
  IndexRecord records[2];
  std::string block;
  std::string explanation;
  std::string entry;
  std::string key;
  KeptEntryAdder adder(dictionary.entries);
  int32_t read = 0;
  int64_t damagedBlocks = 0;
  bool have = info.wordcount > 0 && index.readIndexRecord(records[0]);
  while (have) {
    IndexRecord& record = records[read & 1];
    IndexRecord& upcoming = records[(read + 1) & 1];
    have = int64_t{read} + 1 < info.wordcount && index.readIndexRecord(upcoming);
    if (have) data->prefetch(upcoming.dataOffset);

    if (!convertBlock(*data, record, info.sametypesequence, options.markupAsText,
                      powerWordWalkState, block, explanation)) {
      ++damagedBlocks;
    }

    for (char& c : explanation) {
      if (c == '\t') c = ' ';
    }
    // The key is the headword exactly as the entry text starts with it.
    joinBackslashN(record.headword);
    joinBackslashN(explanation);
    entry.assign(record.headword);
    entry.push_back('\t');
    entry.append(explanation);
    key.assign(record.headword);
    asciiLowerInPlace(key);
    adder.add(key, entry);
    ++read;
  }
  if (read < info.wordcount) {
    showWarning(ui, formatText(kIndexDamaged, {{u"read", read}, {u"declared", info.wordcount}}));
  }
  if (damagedBlocks > 0) {
    const bool noSpace = data->problem() == StarDictData::Problem::noTemporarySpace;
    showWarning(
        ui, formatText(noSpace ? kNoTemporarySpace : kDataDamaged, {{u"blocks", damagedBlocks}}));
  }
  return 0;
}

}  // namespace

int readStarDictDictionary(LoadedDictionary& dictionary, const std::filesystem::path& ifoPath,
                           UserInterface& ui, const SourceOptions& options) {
  const int result = readStarDictEntries(dictionary, ifoPath, ui, options);
  // Loading ends here, whether the file was read whole or not: what was read stays as it is.
  dictionary.entries.freeze();
  return result;
}

}  // namespace lexora
