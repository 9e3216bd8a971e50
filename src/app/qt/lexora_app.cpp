#include "app/qt/lexora_app.h"

#include "app/lexora_dialog.h"
#include "app/qt/application_icon.h"
#include "app/qt/qt_dialog_view.h"
#include "base/text_codec.h"
#include "link/socket/default_device_address.h"
#include "link/socket/socket_service.h"
#include "platform/application.h"
#include "platform/path_text.h"
#include "platform/settings_warning.h"
#include "platform/ui_language.h"

namespace lexora {
std::vector<std::filesystem::path> commandLineFiles(int argc, const char* const* argv) {
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path given = pathFromArgument(argv[i]);
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
  application_ = std::make_unique<QApplication>(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lexora"));
  QApplication::setWindowIcon(applicationIcon());
  files_ = commandLineFiles(argc, argv);
}

CLexoraApp::~CLexoraApp() = default;

int CLexoraApp::run() {
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
  // Every argument is a file (the desktop entry passes %F), kept in its order.
  if (!files_.empty()) dialog.select(files_);
  view.exec();
  return 0;
}

}  // namespace lexora
