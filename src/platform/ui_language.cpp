#include "platform/ui_language.h"

#include <atomic>
#include <string>

#include "platform/application.h"

namespace lexora {
namespace {
// Written only by the thread that decides or flips it; a single aligned integer.
std::atomic<int> gLanguage{kLanguageUndecided};
}  // namespace

int GetUiLanguage() {
  const int current = gLanguage.load(std::memory_order_relaxed);
  if (current != kLanguageUndecided) return current;
  const std::u16string stored = applicationSettings().read(u"UI", u"language");
  int decided;
  if (stored == u"english") {
    decided = kLanguageEnglish;
  } else if (stored == u"chinese") {
    decided = kLanguageChinese;
  } else {
    decided = systemUiLanguage();
  }
  gLanguage.store(decided, std::memory_order_relaxed);
  return decided;
}

void setUiLanguageForRun(int language) {
  gLanguage.store(language == kLanguageChinese ? kLanguageChinese : kLanguageEnglish);
}

int toggleUiLanguage() {
  const int next = GetUiLanguage() == kLanguageChinese ? kLanguageEnglish : kLanguageChinese;
  gLanguage.store(next);
  applicationSettings().write(u"UI", u"language",
                              next == kLanguageChinese ? u"chinese" : u"english");
  return next;
}

void resetUiLanguageForTesting() {
  gLanguage.store(kLanguageUndecided);
}

}  // namespace lexora
