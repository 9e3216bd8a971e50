// How a reader of indexed files (StarDict, dictd) adds its entries: keeping of each only what
// the packer keeps (kKeptEntryBytes), so that records claiming huge data cost what they keep.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dictionary/entry_map.h"

namespace lexora {

class KeptEntryAdder {
 public:
  explicit KeptEntryAdder(EntryMap& entries) : entries_(entries) {}

  // Adds `entry` under `key` (in the map's form), cut at kKeptEntryBytes. Once a headword's
  // record holds that much, later entries of it in a row change nothing that is packed, so
  // they are not added: an index repeating one huge record then costs no memory. Returns
  // what the map added (EntryMap::addUtf8Key), nothing when the entry was not added.
  EntryMap::Added add(std::string_view key, std::string& entry);

 private:
  EntryMap& entries_;
  std::string runKey_;    // the key of the entry before
  int64_t runBytes_ = 0;  // bytes of it in the entries of that key in a row
};

}  // namespace lexora
