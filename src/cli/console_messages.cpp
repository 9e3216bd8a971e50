// How lexora-cli words the two kinds of failure that are not message boxes of the job.
#include "base/text_codec.h"
#include "cli/commands.h"
#include "platform/console.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

constexpr BilingualText kTryHelp{u"请运行 'lexora-cli --help' 查看用法。",
                                 u"Try 'lexora-cli --help'."};

}  // namespace

int usageError(const std::u16string& text) {
  // One line and the hint: the whole help would bury what was wrong.
  writeConsoleText(ConsoleStream::Error,
                   "lexora-cli: " + utf16ToUtf8(text) + "\n" + utf16ToUtf8(pick(kTryHelp)) + "\n");
  return kExitUsage;
}

void showFileFailure(UserInterface& ui, const BilingualText& lead, const std::string& detail) {
  ui.showMessage(pick(lead), MessageIcon::Warning, MessageButtons::Ok);
  writeConsoleText(ConsoleStream::Error, detail + "\n");
}

}  // namespace lexora
