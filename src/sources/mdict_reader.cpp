#include "sources/mdict_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/format_text.h"
#include "base/text_codec.h"
#include "platform/path_text.h"
#include "platform/random_access_file.h"
#include "platform/ui_language.h"
#include "sources/dictd_text.h"
#include "sources/kept_entry_adder.h"
#include "sources/load_dictionary_file.h"
#include "sources/mdict_block.h"
#include "sources/mdict_cipher.h"
#include "sources/mdict_header.h"
#include "sources/mdict_text.h"

namespace lexora {
namespace {

constexpr BilingualText kOpenFailed{u"打开词典文件失败！", u"Open dictionary file failed!"};
constexpr BilingualText kNotMdict{u"{file}不是MDict词典文件，或其文件头已损坏。",
                                  u"{file} is not an MDict dictionary, or its header is damaged."};
constexpr BilingualText kVersionUnsupported{
    u"{file}是{version}版的MDict词典；只能读取1.x和2.x版。",
    u"{file} is an MDict dictionary of version {version}; only versions 1.x and 2.x can be "
    u"read."};
constexpr BilingualText kRegistrationKey{
    u"{file}的词条用注册码加密，没有该注册码无法读取。未载入任何词条。",
    u"The entries of {file} are encrypted with a registration key and cannot be read without "
    u"it. Nothing was loaded."};
constexpr BilingualText kUnknownEncoding{
    u"{file}使用的编码“{encoding}”无法识别。未载入任何词条。",
    u"{file} uses the encoding \"{encoding}\", which is not known here. Nothing was loaded."};
constexpr BilingualText kKeysDamaged{
    u"{file}的词头部分已损坏，无法读取。未载入任何词条。",
    u"The key section of {file} is damaged and cannot be read. Nothing was loaded."};
constexpr BilingualText kBlocksSkipped{
    u"{file}中有{count}个数据块已损坏（校验和不符或无法解压）。词头块：{keys}；释义块：{records}。"
    u"这些块中的词条已跳过，其余词条已读取。",
    u"Damaged blocks in {file}, {count} in all (a wrong checksum, or they cannot be unpacked): "
    u"key blocks {keys}; record blocks {records}. Their entries were skipped; the rest were read."};
constexpr BilingualText kLzoUnsupported{
    u"{file}中有{count}个LZO压缩的数据块，此版本不支持LZO压缩，这些块中的词条已跳过。",
    u"LZO-compressed blocks in {file}, {count} in all: LZO blocks are not supported in this "
    u"build. Their entries were skipped."};
constexpr BilingualText kRecordsMissing{
    u"{file}不完整：有{entries}个词条的释义超出了数据的末尾，已跳过。",
    u"{file} is incomplete: the records of {entries} entries lie beyond the end of its data. "
    u"They were skipped."};
constexpr BilingualText kRecordsUnplaced{
    u"{file}的第{block}个释义块解压后的大小与其目录不符，其后各条释义的位置无法确定：{entries}"
    u"个词条已跳过。",
    u"Record block {block} of {file} does not unpack to the size its table gives, so where the "
    u"records after it begin is unknown: {entries} entries from there on were skipped."};
constexpr BilingualText kCountsDisagree{
    u"{file}的结构自相矛盾（数量或大小与数据块不符），可能已损坏；已读到的词条将保留。",
    u"The layout of {file} contradicts itself (counts or sizes disagree with its blocks); it "
    u"may be damaged. The entries read are kept."};
constexpr BilingualText kLinksRefused{
    u"{file}中有{entries}个词条链接（@@@LINK）到不存在的词或另一个链接，已跳过。",
    u"{entries} entries of {file} link (@@@LINK) to a word that is not in the dictionary or is "
    u"itself a link. They were skipped."};
constexpr BilingualText kCopiesDropped{
    u"{file}中有{entries}个词条与过多其他词条共用同一释义（文件可能已损坏），已跳过。",
    u"{entries} entries of {file} share their text with too many others (the file may be "
    u"damaged). They were skipped."};
constexpr BilingualText kTooManyKeys{
    u"{file}的词头部分解压后大得与文件不成比例（可能是恶意构造的文件），只读取了前{keys}个词头。",
    u"The key section of {file} unpacks out of all proportion to the file (it may have been "
    u"built to do harm): only its first {keys} keys were read."};
constexpr BilingualText kMediaFile{
    u"{file}是MDict的媒体文件（.mdd），只含图片和声音，没有可以发送的词条。请选择它旁边的."
    u"mdx文件。",
    u"{file} is an MDict media file (.mdd): it holds pictures and sounds, no entries to send. "
    u"Choose the .mdx file beside it."};

// A header is a few kilobytes; its length field is trusted no further than this.
constexpr uint64_t kLongestHeader = uint64_t{16} << 20;
// The bytes that entries repeating another's text (links, keys sharing a record) may add:
// this many times what the texts themselves took, and this much besides. Real dictionaries
// link a few inflected forms to each headword.
constexpr uint64_t kCopiesPerText = 16;
constexpr uint64_t kCopiesAlways = uint64_t{64} << 20;
// The keys a file may hold: this many, and this many for each byte of the file besides. A
// key costs some forty bytes until its record is read, and no honest key section packs a
// key and its record into less than a few bytes of the file; a key block of one key
// repeated, though, unpacks a thousandfold and would take gigabytes.
constexpr uint64_t kKeysAlways = uint64_t{1} << 20;
constexpr uint64_t kKeysPerFileByte = 2;
// Damaged blocks are named by number, this many at most.
constexpr size_t kBlocksNamed = 10;

uint32_t adler(std::string_view bytes) {
  return static_cast<uint32_t>(adler32(adler32(0, nullptr, 0),
                                       reinterpret_cast<const Bytef*>(bytes.data()),
                                       static_cast<uInt>(bytes.size())));
}

// Big-endian numbers and byte runs from a buffer; past its end, zeros and `failed`.
class Cursor {
 public:
  explicit Cursor(std::string_view bytes) : bytes_(bytes) {}

  uint64_t number(size_t width) {
    if (bytes_.size() - at_ < width) {
      fail();
      return 0;
    }
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) value = value << 8 | static_cast<uint8_t>(bytes_[at_ + i]);
    at_ += width;
    return value;
  }

  std::string_view take(uint64_t size) {
    if (bytes_.size() - at_ < size) {
      fail();
      return {};
    }
    const std::string_view run = bytes_.substr(at_, static_cast<size_t>(size));
    at_ += static_cast<size_t>(size);
    return run;
  }

  std::string_view rest() const { return bytes_.substr(at_); }
  bool atEnd() const { return at_ >= bytes_.size(); }
  bool failed() const { return failed_; }

 private:
  void fail() {
    failed_ = true;
    at_ = bytes_.size();
  }

  std::string_view bytes_;
  size_t at_ = 0;
  bool failed_ = false;
};

struct KeyBlock {
  uint64_t entries;
  uint64_t packed;
  uint64_t size;
};

struct RecordBlock {
  uint64_t fileOffset;
  uint64_t packed;
  uint64_t start;  // where its bytes begin in the records' address space
  uint64_t size;
};

// A key read from the key blocks: its UTF-8 text lies in the reading's key arena.
struct Key {
  uint64_t offset;  // its record's start in the records' address space
  uint32_t at;
  uint32_t size;
};

// A link record: the key it stands under and the word it points to.
struct Link {
  uint32_t key;  // index into the keys (sorted by record offset)
  std::string target;
};

std::u16string numberList(const std::vector<size_t>& numbers, size_t total) {
  if (total == 0) return u"-";
  std::string text;
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) text += ", ";
    text += std::to_string(numbers[i]);
  }
  if (total > numbers.size()) text += ", ...";
  return utf8ToUtf16(text);
}

class MdictReading {
 public:
  MdictReading(LoadedDictionary& dictionary, const std::filesystem::path& path, UserInterface& ui,
               RandomAccessInput& file)
      : dictionary_(dictionary),
        path_(path),
        ui_(ui),
        file_(file),
        fileName_(pathText(path)),
        adder_(dictionary.entries) {}

  int read() {
    if (!readHeader() || !readKeySection()) return -1;
    readRecords();
    report();
    return 0;
  }

 private:
  // Every notice names the file: a user may load many dictionaries at once.
  void warn(const BilingualText& text) {
    ui_.showFileWarning(formatText(text, {{u"file", fileName_}}), path_, 0);
  }
  void warn(const BilingualText& text, const TextField& field) {
    ui_.showFileWarning(formatText(text, {{u"file", fileName_}, field}), path_, 0);
  }

  // `size` bytes at `offset` into `out`; false when they lie beyond the file or a read fails.
  bool readAt(uint64_t offset, uint64_t size, std::string& out) {
    if (offset > file_.size() || size > file_.size() - offset) return false;
    out.resize(static_cast<size_t>(size));
    return file_.readAt(offset, out.data(), out.size());
  }

  bool readHeader() {
    std::string bytes;
    if (!readAt(0, 4, bytes)) return notMdict();
    const uint64_t length = Cursor(bytes).number(4);
    std::string text;
    if (length > kLongestHeader || !readAt(4, length, text) || !readAt(4 + length, 4, bytes))
      return notMdict();
    const uint32_t stored = static_cast<uint8_t>(bytes[0]) | static_cast<uint8_t>(bytes[1]) << 8 |
                            static_cast<uint8_t>(bytes[2]) << 16 |
                            static_cast<uint32_t>(static_cast<uint8_t>(bytes[3])) << 24;
    if (stored != adler(text)) return notMdict();
    std::optional<MdictHeader> header = parseMdictHeader(headerText(text));
    if (!header) return notMdict();
    header_ = std::move(*header);
    if (header_.majorVersion < 1 || header_.majorVersion >= 3) {
      warn(kVersionUnsupported, {u"version", utf8ToUtf16(header_.version)});
      return false;
    }
    if (header_.encrypted & 1) {
      warn(kRegistrationKey);
      return false;
    }
    decoder_ = MdictTextDecoder::forEncoding(header_.encoding);
    if (!decoder_) {
      warn(kUnknownEncoding, {u"encoding", utf8ToUtf16(header_.encoding)});
      return false;
    }
    const std::string_view title = meaningfulMdictTitle(header_.title);
    dictionary_.name = title.empty() ? dictionaryNameFromPath(fileName_) : utf8ToUtf16(title);
    v2_ = header_.majorVersion >= 2;
    width_ = v2_ ? 8 : 4;
    position_ = 8 + length;
    return true;
  }

  // The header's text in UTF-8. Writers use UTF-16LE; some early ones wrote it in UTF-8,
  // which shows in a first character ('<') that is not followed by a zero byte.
  static std::string headerText(std::string_view bytes) {
    const bool utf16 = bytes.size() >= 2 && bytes[1] == 0;
    std::string text;
    MdictTextDecoder::forEncoding(utf16 ? "UTF-16" : "UTF-8")->append(text, bytes);
    return text;
  }

  bool notMdict() {
    warn(kNotMdict);
    return false;
  }

  bool keysDamaged() {
    warn(kKeysDamaged);
    return false;
  }

  bool readKeySection() {
    // Version 2: block count, entry count, unpacked and packed size of the key-block info,
    // size of the key blocks, then their Adler-32. Version 1 has no unpacked size or sum.
    const size_t fields = v2_ ? 5 : 4;
    std::string bytes;
    if (!readAt(position_, fields * width_ + (v2_ ? 4 : 0), bytes)) return keysDamaged();
    Cursor numbers(bytes);
    const uint64_t blockCount = numbers.number(width_);
    const uint64_t entryCount = numbers.number(width_);
    const uint64_t infoSize = v2_ ? numbers.number(width_) : 0;
    const uint64_t infoPacked = numbers.number(width_);
    const uint64_t blocksSize = numbers.number(width_);
    if (v2_ && numbers.number(4) != adler(std::string_view(bytes).substr(0, fields * width_)))
      return keysDamaged();
    position_ += bytes.size();
    // Sizes past the file's end: nothing to find there, and sums of them could overflow.
    if (infoPacked > file_.size() || blocksSize > file_.size()) return keysDamaged();

    std::string info;
    if (!readAt(position_, infoPacked, info)) return keysDamaged();
    position_ += infoPacked;
    if (v2_) {
      if (header_.encrypted & 2) decipherMdictKeyInfo(info);
      std::string unpacked;
      if (decodeMdictBlock(info, infoSize, unpacked) != MdictBlockOutcome::ok) return keysDamaged();
      info = std::move(unpacked);
    }
    std::vector<KeyBlock> blocks = keyBlocks(info, blockCount);
    if (blocks.size() != blockCount) disagree_ = true;

    const uint64_t blocksStart = position_;
    uint64_t offset = blocksStart;
    std::string packed, data;
    for (size_t i = 0; i < blocks.size() && !tooManyKeys_; ++i) {
      if (blocks[i].packed > blocksSize - std::min(blocksSize, offset - blocksStart) ||
          !readAt(offset, blocks[i].packed, packed)) {
        disagree_ = true;
        break;
      }
      offset += blocks[i].packed;
      if (decoded(decodeMdictBlock(packed, blocks[i].size, data), damagedKeyBlocks_, i) &&
          readKeys(data) != blocks[i].entries) {
        disagree_ = true;
      }
    }
    if (offset != blocksStart + blocksSize) disagree_ = true;
    if (keys_.size() + keysLeftOut_ != entryCount && damagedKeyBlocks_.total == 0) disagree_ = true;
    position_ = blocksStart + blocksSize;
    return true;
  }

  // The key blocks the key-block info describes; as many as it holds, up to `count`.
  std::vector<KeyBlock> keyBlocks(std::string_view info, uint64_t count) const {
    // Version 2 sizes the first and last key in 2 bytes and ends them with a NUL; version 1
    // in one byte, no NUL.
    const size_t sizeWidth = v2_ ? 2 : 1;
    const uint64_t terminator = v2_ ? 1 : 0;
    std::vector<KeyBlock> blocks;
    Cursor cursor(info);
    while (blocks.size() < count) {
      const uint64_t entries = cursor.number(width_);
      // The block's first and last key: the block itself has them.
      for (int key = 0; key < 2; ++key)
        cursor.take((cursor.number(sizeWidth) + terminator) * decoder_->unitSize());
      const uint64_t packed = cursor.number(width_);
      const uint64_t size = cursor.number(width_);
      if (cursor.failed()) break;
      blocks.push_back({entries, packed, size});
    }
    return blocks;
  }

  struct DamagedBlocks {
    std::vector<size_t> named;  // 1-based, the first kBlocksNamed
    size_t total = 0;
  };
  // Counts a block that did not unpack; true when it did.
  bool decoded(MdictBlockOutcome outcome, DamagedBlocks& damaged, size_t index) {
    if (outcome == MdictBlockOutcome::ok) return true;
    if (outcome == MdictBlockOutcome::lzoUnavailable) {
      ++lzoBlocks_;
      return false;
    }
    if (damaged.named.size() < kBlocksNamed) damaged.named.push_back(index + 1);
    ++damaged.total;
    return false;
  }

  // The keys of one unpacked key block: each a record offset and a NUL-ended text. Returns
  // how many the block holds, empty ones included.
  uint64_t readKeys(std::string_view block) {
    uint64_t count = 0;
    Cursor cursor(block);
    std::string text;
    while (!cursor.atEnd()) {
      const uint64_t offset = cursor.number(width_);
      const std::string_view rest = cursor.rest();
      const std::string_view raw = decoder_->untilTerminator(rest);
      cursor.take(std::min(rest.size(), raw.size() + decoder_->unitSize()));
      if (cursor.failed() && raw.empty()) break;
      ++count;
      text.clear();
      decoder_->append(text, raw);
      // The key as written, white space at its ends aside. KeyCaseSensitive and StripKey
      // order the file's own index only: the entries are ordered and looked up by the
      // handheld's rule (ASCII case aside), so a case-sensitive file's POLISH and Polish
      // merge as repeated headwords do, and a key is never stripped of its punctuation.
      const std::string_view key = trimDictdText(text);
      if (key.empty() || keyText_.size() + key.size() > UINT32_MAX) {
        ++keysLeftOut_;  // no headword: nothing to send, and no contradiction in the file
        continue;
      }
      if (keys_.size() >=
          std::min<uint64_t>(kKeysAlways + kKeysPerFileByte * file_.size(), UINT32_MAX)) {
        tooManyKeys_ = true;
        break;
      }
      keys_.push_back(
          {offset, static_cast<uint32_t>(keyText_.size()), static_cast<uint32_t>(key.size())});
      keyText_.append(key);
    }
    return count;
  }

  std::string_view keyAt(size_t index) const {
    return std::string_view(keyText_).substr(keys_[index].at, keys_[index].size);
  }

  // The end of the group of keys that share the record of key `first`.
  // The end of the group of keys that share the record of key `first` (a group's first).
  size_t groupEnd(size_t first) const { return groupEnds_[first]; }

  void readRecords() {
    // Record offsets point into the records' address space; a key's record runs to the
    // next key's record, so the keys are taken in the order of their records. Where keys
    // are missing (an empty key, a damaged key block), the record before them runs on over
    // theirs, but its text still ends at its own NUL.
    std::stable_sort(keys_.begin(), keys_.end(),
                     [](const Key& a, const Key& b) { return a.offset < b.offset; });
    groupEnds_.resize(keys_.size());
    for (size_t end = keys_.size(); end > 0; --end) {
      const size_t i = end - 1;
      const bool last = end == keys_.size() || keys_[end].offset != keys_[i].offset;
      groupEnds_[i] = static_cast<uint32_t>(last ? end : groupEnds_[end]);
    }
    if (!readRecordBlockList()) {
      missing_ = keys_.size();
      return;
    }
    linkRecord_.assign(keys_.size(), false);
    walkRecords([](size_t) { return true; },
                [&](size_t first, size_t end, std::string_view raw) { addRecord(first, end, raw); },
                true);
    if (!links_.empty()) addLinks();
  }

  bool readRecordBlockList() {
    std::string bytes;
    if (!readAt(position_, 4 * width_, bytes)) return false;
    Cursor numbers(bytes);
    const uint64_t blockCount = numbers.number(width_);
    const uint64_t entryCount = numbers.number(width_);
    const uint64_t infoSize = numbers.number(width_);
    const uint64_t blocksSize = numbers.number(width_);
    position_ += bytes.size();
    if (entryCount != keys_.size() + keysLeftOut_ || infoSize != blockCount * 2 * width_)
      disagree_ = true;
    if (infoSize > file_.size() || blocksSize > file_.size()) return false;
    std::string info;
    if (!readAt(position_, std::min(infoSize, file_.size() - std::min(file_.size(), position_)),
                info))
      return false;
    uint64_t fileOffset = position_ + infoSize;
    uint64_t start = 0;
    Cursor cursor(info);
    while (recordBlocks_.size() < blockCount) {
      const uint64_t packed = cursor.number(width_);
      const uint64_t size = cursor.number(width_);
      if (cursor.failed()) break;
      // No honest block is anywhere near this; sums of such sizes could overflow.
      if (packed > file_.size() || size > kMostMdictBlockBytes * 1024) {
        disagree_ = true;
        break;
      }
      recordBlocks_.push_back({fileOffset, packed, start, size});
      fileOffset += packed;
      start += size;
    }
    if (recordBlocks_.size() != blockCount || fileOffset != position_ + infoSize + blocksSize)
      disagree_ = true;
    recordsEnd_ = start;
    usableBlocks_ = recordBlocks_.size();
    return true;
  }

  // Calls use(first, end, raw) with the raw bytes of each record whose group of keys
  // [first, end) is `wanted(first)`, reading only the blocks that hold such records, one
  // block at a time. A record that runs across blocks is gathered from each.
  template <typename Wanted, typename Use>
  void walkRecords(Wanted wanted, Use use, bool firstWalk) {
    size_t k = 0;
    std::string packed, data, pending;
    bool broken = false;  // a block of the pending record did not unpack
    const size_t n = keys_.size();
    for (size_t b = 0; b < usableBlocks_ && k < n; ++b) {
      const RecordBlock& block = recordBlocks_[b];
      const uint64_t start = block.start;
      const uint64_t end = block.start + block.size;
      bool needed = false;
      for (size_t g = k; g < n && keys_[g].offset < end && !needed; g = groupEnd(g))
        needed = wanted(g);
      bool ok = false;
      if (needed) {
        // A block cut off by the file's end: its records and all after it are missing.
        if (!readAt(block.fileOffset, block.packed, packed)) break;
        const MdictBlockOutcome outcome = decodeMdictBlock(packed, block.size, data);
        if (firstWalk && outcome == MdictBlockOutcome::wrongSize) {
          // Its size was not what the table says, so neither is where any later record
          // starts: reading on would give records pieces of others. (Damaged data say
          // nothing against the table: that block alone is lost.)
          unplacedBlock_ = b + 1;
          unplaced_ = n - k;
          usableBlocks_ = b;
          return;
        }
        ok = firstWalk ? decoded(outcome, damagedRecordBlocks_, b)
                       : outcome == MdictBlockOutcome::ok;
      }
      while (k < n && keys_[k].offset < end) {
        const size_t groupStop = groupEnd(k);
        const uint64_t recordEnd =
            std::min(groupStop < n ? keys_[groupStop].offset : recordsEnd_, recordsEnd_);
        const bool want = wanted(k);
        const uint64_t from = std::max(keys_[k].offset, start);
        const uint64_t to = std::min(recordEnd, end);
        const std::string_view piece =
            ok && from < to ? std::string_view(data).substr(static_cast<size_t>(from - start),
                                                            static_cast<size_t>(to - from))
                            : std::string_view();
        if (want && !ok) broken = true;
        if (recordEnd > end) {
          // The record goes on in the next block.
          if (want && !broken && pending.size() + piece.size() <= kMostMdictBlockBytes)
            pending.append(piece);
          break;
        }
        if (want && !broken) {
          if (pending.empty()) {
            use(k, groupStop, piece);
          } else {
            pending.append(piece);
            use(k, groupStop, pending);
          }
        }
        pending.clear();
        broken = false;
        k = groupStop;
      }
    }
    if (firstWalk) missing_ += n - k;
  }

  void addRecord(size_t first, size_t end, std::string_view raw) {
    const std::string_view record = decoder_->utf8(decoder_->untilTerminator(raw), record_);
    if (const std::optional<std::string_view> target = mdictLinkTarget(record)) {
      for (size_t i = first; i < end; ++i) {
        linkRecord_[i] = true;
        links_.push_back({static_cast<uint32_t>(i), std::string(*target)});
      }
      return;
    }
    explanation_.clear();
    appendMdictExplanation(record, header_.html, explanation_);
    const EntryMap::Added entry = add(keyAt(first), explanation_, false);
    if (entry && entry.size < static_cast<size_t>(kKeptEntryBytes))
      stored_.push_back({static_cast<uint32_t>(first), entry});
    for (size_t i = first + 1; i < end; ++i) add(keyAt(i), explanation_, true);
  }

  // The records the map keeps whole, by their group's first key: links take their text
  // from the map.
  struct StoredEntry {
    uint32_t group;
    EntryMap::Added entry;
  };

  // The entry the map keeps whole for the record of group `first`, or nullptr.
  const StoredEntry* storedEntry(size_t first) const {
    // The walk goes in record order, so the groups come sorted.
    const auto found =
        std::lower_bound(stored_.begin(), stored_.end(), first,
                         [](const StoredEntry& item, size_t value) { return item.group < value; });
    return found == stored_.end() || found->group != first ? nullptr : &*found;
  }

  // The explanation of the record of group `first` as the map keeps it, when the map
  // keeps all of it.
  std::optional<std::string_view> storedExplanation(size_t first, std::string& scratch) const {
    const StoredEntry* stored = storedEntry(first);
    if (stored == nullptr) return std::nullopt;
    return dictionary_.entries.addedData(stored->entry, scratch).substr(keyAt(first).size() + 1);
  }

  // Adds one entry. A `copy` repeats a text that another entry has already added (a key
  // sharing a record, a link); copies may together take only so much more than the texts
  // themselves, so that a small file of many keys or links to one long record cannot take
  // memory out of all proportion. Returns what the map added (nothing when not added).
  EntryMap::Added add(std::string_view headword, std::string_view explanation, bool copy) {
    const uint64_t bytes =
        std::min<uint64_t>(headword.size() + 1 + explanation.size(), kKeptEntryBytes);
    if (copy) {
      if (copiedBytes_ + bytes > kCopiesPerText * ownBytes_ + kCopiesAlways) {
        ++copiesDropped_;
        return {};
      }
      copiedBytes_ += bytes;
    } else {
      ownBytes_ += bytes;
    }
    entry_.assign(headword);
    entry_.push_back('\t');
    entry_.append(explanation);
    key_.assign(headword);
    asciiLowerInPlace(key_);
    return adder_.add(key_, entry_);
  }

  // A link takes the explanations of its word's records, one level deep: a word whose
  // records are all links (a loop among them) leaves the link refused. The map already
  // holds the text of almost every record a link takes; only those it keeps cut short (or
  // not at all) are read again, in a second walk over the blocks that hold them. Reading
  // every target again would cost a third of the whole load.
  void addLinks() {
    // The links by their word, as the handheld looks words up: ASCII case aside.
    std::unordered_map<std::string, std::vector<uint32_t>> byWord;
    for (size_t l = 0; l < links_.size(); ++l) {
      asciiLowerInPlace(links_[l].target);
      byWord[links_[l].target].push_back(static_cast<uint32_t>(l));
    }
    std::vector<bool> wanted(keys_.size(), false);
    std::vector<std::vector<uint32_t>> targets(links_.size());
    std::string lowered;
    size_t record = 0;
    for (size_t i = 0; i < keys_.size(); ++i) {
      if (i == 0 || keys_[i].offset != keys_[i - 1].offset) record = i;
      if (linkRecord_[i]) continue;
      lowered.assign(keyAt(i));
      asciiLowerInPlace(lowered);
      const auto found = byWord.find(lowered);
      if (found == byWord.end()) continue;
      wanted[record] = true;
      // Keys come in record order, so one record's keys are next to each other: each
      // record is taken once, in the order the word's own entry merges them.
      for (uint32_t l : found->second) {
        if (targets[l].empty() || targets[l].back() != record)
          targets[l].push_back(static_cast<uint32_t>(record));
      }
    }
    for (const std::vector<uint32_t>& records : targets) {
      if (records.empty()) ++refusedLinks_;
    }
    bool readAgain = false;
    for (size_t group = 0; group < keys_.size(); ++group) {
      if (wanted[group] && storedEntry(group)) wanted[group] = false;
      readAgain = readAgain || wanted[group];
    }
    std::vector<std::pair<uint32_t, std::string>> explanations;
    if (readAgain)
      walkRecords([&](size_t group) { return static_cast<bool>(wanted[group]); },
                  [&](size_t first, size_t, std::string_view raw) {
                    std::string explanation;
                    appendMdictExplanation(decoder_->utf8(decoder_->untilTerminator(raw), record_),
                                           header_.html, explanation);
                    explanation.resize(std::min<size_t>(explanation.size(), kKeptEntryBytes));
                    explanations.emplace_back(static_cast<uint32_t>(first), std::move(explanation));
                  },
                  false);
    // The walk goes in record order, so the groups come sorted.
    std::string stored;
    for (size_t l = 0; l < links_.size(); ++l) {
      for (uint32_t group : targets[l]) {
        if (const std::optional<std::string_view> explanation = storedExplanation(group, stored)) {
          add(keyAt(links_[l].key), *explanation, true);
          continue;
        }
        const auto found =
            std::lower_bound(explanations.begin(), explanations.end(), group,
                             [](const auto& item, uint32_t value) { return item.first < value; });
        // A target in a damaged block was counted there.
        if (found != explanations.end() && found->first == group)
          add(keyAt(links_[l].key), found->second, true);
      }
    }
  }

  void report() {
    const size_t damaged = damagedKeyBlocks_.total + damagedRecordBlocks_.total;
    if (damaged > 0) {
      ui_.showFileWarning(
          formatText(
              kBlocksSkipped,
              {{u"file", fileName_},
               {u"count", damaged},
               {u"keys", numberList(damagedKeyBlocks_.named, damagedKeyBlocks_.total)},
               {u"records", numberList(damagedRecordBlocks_.named, damagedRecordBlocks_.total)}}),
          path_, 0);
    }
    if (lzoBlocks_ > 0) warn(kLzoUnsupported, {u"count", lzoBlocks_});
    if (missing_ > 0) warn(kRecordsMissing, {u"entries", missing_});
    if (unplaced_ > 0) {
      ui_.showFileWarning(
          formatText(kRecordsUnplaced,
                     {{u"file", fileName_}, {u"block", unplacedBlock_}, {u"entries", unplaced_}}),
          path_, 0);
    }
    if (tooManyKeys_) warn(kTooManyKeys, {u"keys", keys_.size()});
    if (refusedLinks_ > 0) warn(kLinksRefused, {u"entries", refusedLinks_});
    if (copiesDropped_ > 0) warn(kCopiesDropped, {u"entries", copiesDropped_});
    if (disagree_ && damaged == 0 && missing_ == 0 && unplaced_ == 0 && !tooManyKeys_)
      warn(kCountsDisagree);
  }

  LoadedDictionary& dictionary_;
  const std::filesystem::path& path_;
  UserInterface& ui_;
  RandomAccessInput& file_;
  const std::u16string fileName_;
  KeptEntryAdder adder_;

  MdictHeader header_;
  std::optional<MdictTextDecoder> decoder_;
  bool v2_ = true;
  size_t width_ = 8;
  uint64_t position_ = 0;  // where the next section starts in the file

  std::vector<Key> keys_;
  std::vector<uint32_t> groupEnds_;  // for each key, the end of its record's group
  std::string keyText_;
  std::vector<RecordBlock> recordBlocks_;
  uint64_t recordsEnd_ = 0;
  size_t usableBlocks_ = 0;  // the blocks before one whose size proved wrong
  std::vector<bool> linkRecord_;
  std::vector<StoredEntry> stored_;  // in record order
  std::vector<Link> links_;

  DamagedBlocks damagedKeyBlocks_, damagedRecordBlocks_;
  size_t lzoBlocks_ = 0;
  size_t missing_ = 0;
  size_t unplacedBlock_ = 0;  // 1-based; 0 when none
  size_t unplaced_ = 0;
  size_t refusedLinks_ = 0;
  uint64_t ownBytes_ = 0, copiedBytes_ = 0;
  size_t copiesDropped_ = 0;
  bool disagree_ = false;
  bool tooManyKeys_ = false;
  uint64_t keysLeftOut_ = 0;  // blank once trimmed

  std::string record_, explanation_, entry_, key_;
};

}  // namespace

int readMdictDictionary(LoadedDictionary& dictionary, const std::filesystem::path& path,
                        UserInterface& ui) {
  int result = -1;
  if (std::unique_ptr<RandomAccessInput> file = openRandomAccess(path)) {
    MdictReading reading(dictionary, path, ui, *file);
    result = reading.read();
    // Refused files load nothing, not even what was read before the refusal.
    if (result != 0) dictionary.entries = EntryMap();
  } else {
    ui.showFileWarning(pick(kOpenFailed), path, errno);
  }
  dictionary.entries.freeze();
  return result;
}

int refuseMdictMediaFile(LoadedDictionary& dictionary, const std::filesystem::path& path,
                         UserInterface& ui) {
  showWarning(ui, formatText(kMediaFile, {{u"file", pathText(path)}}));
  dictionary.entries.freeze();
  return -1;
}

}  // namespace lexora
