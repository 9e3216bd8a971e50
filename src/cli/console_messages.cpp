// How lexora-cli words the two kinds of failure that are not message boxes of the job.
#include <cstdio>

#include "base/text_codec.h"
#include "cli/commands.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

constexpr BilingualText kTryHelp{u"请运行 'lexora-cli --help' 查看用法。",
                                 u"Try 'lexora-cli --help'."};

}  // namespace

int usageError(const std::u16string& text) {
  // One line and the hint: the whole help would bury what was wrong.
  std::fprintf(stderr, "lexora-cli: %s\n%s\n", utf16ToUtf8(text).c_str(),
               utf16ToUtf8(pick(kTryHelp)).c_str());
  return kExitUsage;
}

void showFileFailure(UserInterface& ui, const BilingualText& lead, const std::string& detail) {
  ui.showMessage(pick(lead), MessageIcon::Warning, MessageButtons::Ok);
  std::fprintf(stderr, "%s\n", detail.c_str());
  std::fflush(stderr);
}

}  // namespace lexora
