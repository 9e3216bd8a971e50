// A dictionary as a reader leaves it: its name and its entries.
#pragma once

#include <string>

#include "sources/entry_map.h"

namespace lexora {

struct LoadedDictionary {
  EntryMap entries;
  std::u16string name;
};

}  // namespace lexora
