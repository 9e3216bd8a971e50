// A dictionary as a reader leaves it: its name and its entries.
#pragma once

#include <cstdint>
#include <string>

#include "sources/entry_map.h"

namespace lexora {

// State the PowerWord conversion carries from field to field while one dictionary loads.
struct PowerWordWalkState {
  bool numberingOn = false;
  bool basicMeaningPending = true;
  int32_t itemCounter = 1;
};

struct LoadedDictionary {
  EntryMap entries;
  std::u16string name;
  PowerWordWalkState powerWordWalkState;
};

}  // namespace lexora
