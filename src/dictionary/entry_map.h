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
// search tree with per-add merging would give.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "dictionary/key_order.h"
#include "platform/anonymous_memory.h"

namespace lexora {

class EntryMap {
 public:
  // Sixteen bytes, since a dictionary may hold millions: the key's bytes and the data lie
  // one after the other in the map's arena, so one pointer finds both. Where the data
  // begins with the key itself (a headword written in lower case, the usual case), the key
  // is not stored again: it is the data's first bytes.
  struct Entry {
    const char* bytes;  // the key (UTF-8 form of the headword key), then the data
    uint32_t keyField;  // bytes of the key, and kKeyInData when `bytes` starts the data
    int32_t length;     // bytes of the data

    static constexpr uint32_t kKeyInData = 0x80000000u;
    size_t keySize() const { return keyField & ~kKeyInData; }
    std::string_view key() const { return {bytes, keySize()}; }
    const char* data() const { return (keyField & kKeyInData) ? bytes : bytes + keySize(); }
  };

  EntryMap();
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
  // The data of an entry added before, as added. REQUIRES: not frozen. The view lasts for
  // the map's life; `scratch` is for maps that keep data elsewhere.
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

 private:
  struct Arena;
  bool acceptsWrites() const;
  Entry store(std::string_view key, std::string_view data);

  std::unique_ptr<Arena> arena_;
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
