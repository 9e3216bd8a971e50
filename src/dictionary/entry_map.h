// The entry map: every entry of one dictionary, keyed by the lower-cased headword and
// iterated in key order (key_order.h).
//
// An entry's data is "headword TAB explanation" in UTF-8, where the headword's bytes,
// ASCII letters lower-cased, are the key: the packer packs the headword as written, taking
// a key's length of bytes from the data's start. Adding a key that is already present
// appends TAB and the new data to the record (in the order of adding).
//
// A map has two phases. While loading, a reader adds entries; `freeze` then ends loading,
// and from there on the map is read-only: its records are what every later step (the
// packer, the info command) sees, through the const interface only.
//
// Storage is built for million-entry dictionaries: data live in one arena, additions are
// logged and sorted/merged once, when the map is frozen, which gives exactly the records a
// search tree with per-add merging would give. Once a map's data pass `residentBytes`, the
// data of later entries go to a scratch file, their keys and the index staying in memory:
// a dictionary of gigabytes then costs its index, not its size. Such data are read back a
// run of records at a time (TextWindow), in the order the packer needs them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "dictionary/key_order.h"
#include "platform/anonymous_memory.h"

namespace lexora {
class ScratchFile;
}

namespace lexora {

class EntryMap {
 public:
  // Sixteen bytes, since a dictionary may hold millions: the key's bytes and the data lie
  // one after the other in the map's arena, so one pointer finds both. Where the data
  // begins with the key itself (a headword written in lower case, the usual case), the key
  // is not stored again: it is the data's first bytes.
  //
  // An entry whose data went to the scratch file (`away`) keeps only its key in memory,
  // after the eight bytes of the data's place in the file.
  struct Entry {
    const char* bytes;  // the key (UTF-8 form of the headword key), then the data
    uint32_t keyField;  // bytes of the key, and kKeyInData when `bytes` starts the data
    int32_t length;     // bytes of the data

    static constexpr uint32_t kKeyInData = 0x80000000u;
    static constexpr uint32_t kDataAway = 0x40000000u;
    size_t keySize() const { return keyField & ~(kKeyInData | kDataAway); }
    std::string_view key() const { return {bytes, keySize()}; }
    bool away() const { return (keyField & kDataAway) != 0; }
    // REQUIRES: !away(); a map's data are read through a TextWindow otherwise.
    const char* data() const { return (keyField & kKeyInData) ? bytes : bytes + keySize(); }
  };

  // The data a map keeps in memory before it sends the rest to a scratch file. Small
  // dictionaries (most, and every test's) never touch the disk.
  static constexpr uint64_t kResidentBytes = uint64_t{32} << 20;

  EntryMap() : EntryMap(kResidentBytes) {}
  explicit EntryMap(uint64_t residentBytes);
  ~EntryMap();
  EntryMap(EntryMap&&) noexcept;
  EntryMap& operator=(EntryMap&&) noexcept;

  // Adds an entry; an empty key adds nothing. The bytes are copied. REQUIRES: not frozen
  // (a debug build stops here; otherwise the entry is dropped, so the records read so far
  // stay what they were).
  void add(std::u16string_view key, std::string_view entryBytes);
  // What addUtf8Key added: the entry's place among those added, and its bytes of data.
  struct Added {
    static constexpr size_t kNone = SIZE_MAX;
    size_t index = kNone;
    size_t size = 0;
    explicit operator bool() const { return index != kNone; }
  };
  // The same with the key already in the map's form (appendKeyBytes). REQUIRES: valid
  // UTF-8, lone surrogates aside; not frozen. A reader may fetch the data again while
  // loading (addedData) rather than keep a copy of its own.
  Added addUtf8Key(std::string_view key, std::string_view entryBytes);
  // The data of an entry added before, as added. REQUIRES: not frozen. The view lasts
  // until the next call with the same `scratch`, or for the map's life when it points
  // into the map.
  std::string_view addedData(const Added& added, std::string& scratch) const;

  // Ends loading: sorts and merges what was added, in place. Freezing again does nothing.
  void freeze();

  // The reads below REQUIRE a frozen map.
  // All records in ascending key order, repeated keys merged.
  std::span<const Entry> entries() const;
  size_t size() const { return entries().size(); }
  // The record with exactly this key, or nullptr.
  const Entry* find(std::u16string_view key) const;

  // Whether nothing was added; any time.
  bool empty() const { return log_.empty(); }

  // The data of records [first, last) of entries(), each at most kKeptEntryBytes of it
  // (all the packer reads), those away read in one sweep over the scratch file in the
  // order they lie there. Memory: the away records' bytes, and eight bytes a record.
  class TextWindow {
   public:
    // The data of record `record`. REQUIRES: within the records last read.
    std::string_view text(size_t record) const;

   private:
    friend class EntryMap;
    const EntryMap* map_ = nullptr;
    size_t first_ = 0;
    LargeVector<uint64_t> places_;  // by record from first_: where its data lie in bytes_
    LargeVector<char> bytes_;
  };
  // Fills `window` with records [first, last). False when the scratch file cannot be read
  // back (the disk failed under it). REQUIRES: frozen.
  bool readTexts(size_t first, size_t last, TextWindow& window) const;
  // Bytes of data of the records [first, last) that lie away, as readTexts would hold them.
  uint64_t awayBytes(size_t first, size_t last) const;

 private:
  struct Arena;
  struct Away;
  bool acceptsWrites() const;
  Entry store(std::string_view key, std::string_view data);
  Entry storeAway(std::string_view key, std::string_view data);
  std::string_view readData(const Entry& e, size_t size, std::string& scratch) const;

  std::unique_ptr<Arena> arena_;
  std::unique_ptr<Away> away_;  // null until the resident data pass their limit
  uint64_t residentLeft_;
  bool mayGoAway_ = true;  // false once a scratch file could not be made
  LargeVector<Entry> log_;
  bool frozen_ = false;
};

// The most of a record that matters to the packer: one byte more than a block can carry
// (65,535), so that a record cut here still shows it was longer than that. The packer
// depends only on a record's first 65,535 bytes and on its length up to 65,536: it cuts at
// 65,535 and counts a cut when the length is above it, and its closing rule lets a next
// entry join only while its length plus at least two record bytes stays within 65,537,
// which no length from 65,536 up does. A reader may therefore keep just this much of an
// entry, and of a headword's merged record, and pack exactly what keeping all would.
inline constexpr int32_t kKeptEntryBytes = 65536;

// `add entry`: adds one entry to the map (see EntryMap::add).
void addEntry(EntryMap& entries, std::u16string_view key, std::string_view entryBytes);

}  // namespace lexora
