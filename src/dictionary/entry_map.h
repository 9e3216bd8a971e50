// The entry map: every entry of one dictionary, keyed by the lower-cased headword and
// iterated in the order of the keys' UTF-16 code units (a plain ordinal comparison).
//
// An entry's data is "headword TAB explanation" in UTF-8; adding a key that is already
// present appends TAB and the new data to the record (in the order of adding).
//
// Storage is built for million-entry dictionaries: data live in one arena, additions are
// logged and sorted/merged once when the entries are first read, which gives exactly the
// records a search tree with per-add merging would give.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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
    int32_t length;     // bytes of the data; the packer may lower it in place

    static constexpr uint32_t kKeyInData = 0x80000000u;
    size_t keySize() const { return keyField & ~kKeyInData; }
    std::string_view key() const { return {bytes, keySize()}; }
    const char* data() const { return (keyField & kKeyInData) ? bytes : bytes + keySize(); }
  };

  EntryMap();
  ~EntryMap();
  EntryMap(EntryMap&&) noexcept;
  EntryMap& operator=(EntryMap&&) noexcept;

  // Adds an entry; an empty key adds nothing. The bytes are copied.
  void add(std::u16string_view key, std::string_view entryBytes);
  // The same with the key already in the map's form (appendKeyBytes). REQUIRES: valid
  // UTF-8, lone surrogates aside.
  void addUtf8Key(std::string_view key, std::string_view entryBytes);

  // All records in ascending key order, repeated keys merged.
  std::span<Entry> entries();
  size_t size() { return entries().size(); }
  bool empty() const { return log_.empty(); }

  // The record with exactly this key, or nullptr.
  const Entry* find(std::u16string_view key);

 private:
  struct Arena;
  void normalize();
  Entry store(std::string_view key, std::string_view data);

  std::unique_ptr<Arena> arena_;
  LargeVector<Entry> log_;
  bool normalized_ = true;
};

// Appends the map's form of a key: its UTF-8, except that a lone surrogate keeps a
// three-byte form of its own (ED A0..BF xx) where UTF-8 has U+FFFD, so that such keys stay
// apart and in order. As long as the UTF-8 the packer sends, which keeps U+FFFD.
void appendKeyBytes(std::string& out, std::u16string_view key);

// Orders keys in the map's form as their UTF-16 forms would be ordered (code unit by code
// unit). Negative, zero or positive like memcmp. Any bytes are safe to compare.
int compareKeys(std::string_view a, std::string_view b);

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
