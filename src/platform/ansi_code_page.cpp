#include "platform/ansi_code_page.h"

#include <deque>

#include "base/mutex.h"
#include "base/text_codec.h"
#include "platform/application.h"

namespace lexora {
namespace {

// Every page ever chosen stays alive, so a reference handed out earlier never dangles
// when a later choice (a test, say) replaces the current one.
Mutex gChoiceMutex;
std::deque<AnsiCodePage> gPages GUARDED_BY(gChoiceMutex);
const AnsiCodePage* gChosen GUARDED_BY(gChoiceMutex) = nullptr;

}  // namespace

void AnsiCodePage::decode(std::string_view bytes, std::u16string& out) const {
  if (!table_) {
    decodeMultiByte(bytes, out);
    return;
  }
  const auto& table = *table_;
  const size_t at = out.size();
  out.resize(at + bytes.size());
  char16_t* p = out.data() + at;
  for (unsigned char b : bytes) *p++ = table[b];
}

bool chooseAnsiCodePage(const std::string& name) {
  auto page = AnsiCodePage::open(name);
  if (!page) return false;
  MutexLock lock(gChoiceMutex);
  gChosen = &gPages.emplace_back(std::move(*page));
  return true;
}

const AnsiCodePage& ansiCodePage() {
  MutexLock lock(gChoiceMutex);
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
