#include "app/default_button.h"

#include "app/dialog_templates.h"

namespace lexora {

int defaultButtonNow(const std::function<bool(int id)>& enabled) {
  // In the templates' tab order. The language button carries the style as well, but as a
  // default it would make Return switch the language from the file box.
  for (int id : {main_control::kBrowse, main_control::kSend, main_control::kStop}) {
    if (enabled(id)) return id;
  }
  return 0;
}

}  // namespace lexora
