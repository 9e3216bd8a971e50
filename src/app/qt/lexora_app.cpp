#include "app/qt/lexora_app.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "app/app_command_line.h"
#include "app/lexora_dialog.h"
#include "app/qt/application_icon.h"
#include "app/qt/qt_dialog_view.h"
#include "base/text_codec.h"
#include "link/socket/default_device_address.h"
#include "link/socket/socket_service.h"
#include "platform/application.h"
#include "platform/path_text.h"
#include "platform/program_version.h"
#include "platform/settings_warning.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

std::vector<std::string> arguments(int argc, const char* const* argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

// --help, --version or a mistake: answered on the terminal, without a window.
int answerWithoutWindow(const AppCommandLine& line) {
  switch (line.action) {
    case AppCommandLine::Action::Help:
      std::fputs(utf16ToUtf8(appUsageText()).c_str(), stdout);
      return 0;
    case AppCommandLine::Action::Version:
      std::fputs(programVersionText("lexora").c_str(), stdout);
      return 0;
    case AppCommandLine::Action::UsageError:
      std::fputs(utf16ToUtf8(appUsageMistake(line.unknownOption) + appUsageText()).c_str(), stderr);
      return kAppExitUsage;
    case AppCommandLine::Action::Run:
      break;
  }
  return 0;
}

// Whether `option` may be one of the options QApplication takes out of the command line
// (-platform, -style...), so that only Qt can tell whether it is a mistake.
bool mayBeQtOption(const std::string& option) {
  static constexpr std::string_view kQtOptions[] = {"platform",      "platformpluginpath",
                                                    "platformtheme", "plugin",
                                                    "qmljsdebugger", "qwindowgeometry",
                                                    "qwindowicon",   "qwindowtitle",
                                                    "reverse",       "session",
                                                    "display",       "geometry",
                                                    "style",         "stylesheet",
                                                    "widgetcount",   "nograb",
                                                    "dograb",        "title",
                                                    "visual",        "name",
                                                    "fontengine",    "testability"};
  std::string_view name = option;
  name.remove_prefix(name.starts_with("--") ? 2 : 1);
  name = name.substr(0, name.find('='));
  return std::find(std::begin(kQtOptions), std::end(kQtOptions), name) != std::end(kQtOptions);
}

}  // namespace

std::vector<std::filesystem::path> commandLineFiles(int argc, const char* const* argv) {
  std::vector<std::filesystem::path> files;
  const std::vector<std::string> all = arguments(argc, argv);
  for (size_t index : parseAppCommandLine(all).files) {
    const std::filesystem::path given = pathFromArgument(all[index]);
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(given, error);
    files.push_back(error ? given : absolute);
  }
  return files;
}

CLexoraApp::CLexoraApp(int& argc, char** argv) {
  // "Lexora" rather than the file name "lexora": one stored language choice with
  // lexora-cli, and the caption the Windows program shows.
  setApplicationName("Lexora");
  // --help, --version and a mistake work without a display: they are answered before Qt
  // starts, except an option Qt itself may take.
  const AppCommandLine early = parseAppCommandLine(arguments(argc, argv));
  if (early.action != AppCommandLine::Action::Run &&
      (early.action != AppCommandLine::Action::UsageError || !mayBeQtOption(early.unknownOption))) {
    exitStatus_ = answerWithoutWindow(early);
    return;
  }
  application_ = std::make_unique<QApplication>(argc, argv);
  // A mistake is judged once Qt has taken its own options (-platform, -style...) out.
  const AppCommandLine line = parseAppCommandLine(arguments(argc, argv));
  if (line.action != AppCommandLine::Action::Run) {
    exitStatus_ = answerWithoutWindow(line);
    return;
  }
  QApplication::setApplicationName(QStringLiteral("Lexora"));
  QApplication::setWindowIcon(applicationIcon());
  files_ = commandLineFiles(argc, argv);
}

CLexoraApp::~CLexoraApp() = default;

int CLexoraApp::run() {
  if (exitStatus_) return *exitStatus_;
  // The language is decided (from the settings named above) before the template is chosen.
  QtDialogView view(mainDialogTemplate(GetUiLanguage()));
  if (const auto warning = takeSettingsWarning()) {
    view.showMessage(warning->text, MessageIcon::Warning, MessageButtons::Ok);
  }
  SocketServiceOptions options;
  options.address = chooseDeviceAddress(std::nullopt);
  CLexoraDlg dialog(view, socketServiceFactory(options));
  view.attach(dialog);
  dialog.initDialog();
  // The files of the command line (the desktop entry passes "-- %F"), kept in their order.
  if (!files_.empty()) dialog.select(files_);
  view.exec();
  return 0;
}

}  // namespace lexora
