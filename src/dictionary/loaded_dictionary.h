// A dictionary as a reader leaves it: its name and its entries.
#pragma once

#include <string>
#include <vector>

#include "dictionary/entry_map.h"

namespace lexora {

struct LoadedDictionary {
  EntryMap entries;
  std::u16string name;
  // Keys (in the map's form) of entries whose text the reader had to cut, e.g. a text line
  // longer than one read; the packer counts them among the shortened entries.
  std::vector<std::string> shortenedKeys;
};

}  // namespace lexora
