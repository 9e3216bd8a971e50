#include "platform/ansi_code_page.h"

#include <cstdlib>
#include <deque>
#include <mutex>

#include "platform/application.h"
#include "platform/text_codec.h"

namespace lexora {
namespace {

// Every page ever chosen stays alive, so a reference handed out earlier never dangles
// when a later choice (a test, say) replaces the current one.
std::mutex gChoiceMutex;
std::deque<AnsiCodePage> gPages;
const AnsiCodePage* gChosen = nullptr;

}  // namespace

std::string codePageForLocale() {
  const char* names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  std::string locale;
  for (const char* n : names) {
    const char* v = std::getenv(n);
    if (v && *v) {
      locale = v;
      break;
    }
  }
  auto starts = [&](std::string_view p) { return locale.rfind(p, 0) == 0; };
  if (starts("zh_CN") || starts("zh_SG")) return "CP936";
  if (starts("zh_TW") || starts("zh_HK")) return "CP950";
  if (starts("zh")) return "CP936";
  if (starts("ja")) return "CP932";
  if (starts("ko")) return "CP949";
  if (starts("ru") || starts("uk") || starts("bg")) return "CP1251";
  return "CP1252";
}

bool chooseAnsiCodePage(const std::string& name) {
  auto page = AnsiCodePage::open(name);
  if (!page) return false;
  std::lock_guard lock(gChoiceMutex);
  gChosen = &gPages.emplace_back(std::move(*page));
  return true;
}

const AnsiCodePage& ansiCodePage() {
  std::lock_guard lock(gChoiceMutex);
  if (!gChosen) {
    const std::string stored = utf16ToUtf8(applicationSettings().read(u"General", u"ansiCodePage"));
    std::optional<AnsiCodePage> page;
    if (!stored.empty()) page = AnsiCodePage::open(stored);
    if (!page) page = AnsiCodePage::open(codePageForLocale());
    if (!page) page = AnsiCodePage::open("CP1252");
    gChosen = &gPages.emplace_back(std::move(*page));
  }
  return *gChosen;
}

}  // namespace lexora
