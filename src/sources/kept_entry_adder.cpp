#include "sources/kept_entry_adder.h"

#include <algorithm>

namespace lexora {

EntryMap::Added KeptEntryAdder::add(std::string_view key, std::string& entry) {
  if (key != runKey_) {
    runKey_.assign(key);
    runBytes_ = -1;  // no TAB before the first entry
  }
  if (runBytes_ >= kKeptEntryBytes) return {};
  entry.resize(std::min<size_t>(entry.size(), kKeptEntryBytes));
  const EntryMap::Added stored = entries_.addUtf8Key(key, entry);
  runBytes_ += 1 + static_cast<int64_t>(entry.size());
  return stored;
}

}  // namespace lexora
