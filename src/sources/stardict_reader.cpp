#include "sources/stardict_reader.h"

namespace lexora {

int readStarDictDictionary(LoadedDictionary&, std::u16string_view, UserInterface& ui) {
  showWarning(ui, u"StarDict dictionaries are not supported yet");
  return -1;
}

}  // namespace lexora
