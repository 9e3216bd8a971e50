#include "platform/ui_language.h"

#include <atomic>
#include <string>

#include "platform/application.h"

namespace lexora {
namespace {
// Not yet decided: the next GetUiLanguage asks the stored choice and the system.
constexpr int kUndecided = 0xFFFF;
// Written only by the thread that decides or flips it; a single aligned integer.
std::atomic<int> gLanguage{kUndecided};
}  // namespace

UiLanguage GetUiLanguage() {
  const int current = gLanguage.load(std::memory_order_relaxed);
  if (current != kUndecided) return static_cast<UiLanguage>(current);
  const std::u16string stored = applicationSettings().read(u"UI", u"language");
  UiLanguage decided;
  if (stored == u"english") {
    decided = UiLanguage::English;
  } else if (stored == u"chinese") {
    decided = UiLanguage::Chinese;
  } else {
    decided = systemUiLanguage();
  }
  gLanguage.store(static_cast<int>(decided), std::memory_order_relaxed);
  return decided;
}

void setUiLanguageForRun(UiLanguage language) {
  gLanguage.store(static_cast<int>(language));
}

UiLanguage toggleUiLanguage() {
  const UiLanguage next = otherLanguage(GetUiLanguage());
  gLanguage.store(static_cast<int>(next));
  applicationSettings().write(u"UI", u"language",
                              next == UiLanguage::Chinese ? u"chinese" : u"english");
  return next;
}

void resetUiLanguageForTesting() {
  gLanguage.store(kUndecided);
}

}  // namespace lexora
