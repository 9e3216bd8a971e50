// lexora-screenshots OUTPUT-FOLDER: renders the main dialog (idle, and sending with its progress
// fill), the About box and the password dialog in Chinese and in English to
// qt-<dialog>-<language>.png, each framed with its caption as a window manager would show it.
// Fails when no Chinese-capable font is found, rather than rendering boxes. Meant for the
// offscreen platform.
#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPainter>
#include <cstdio>

#include "app/lexora_dialog.h"
#include "app/qt/about_box.h"
#include "app/qt/application_icon.h"
#include "app/qt/password_dialog.h"
#include "app/qt/qt_dialog_view.h"
#include "link/password_answer.h"
#include "link/send_packed_dictionary.h"
#include "link/socket/socket_service.h"
#include "platform/application.h"
#include "platform/ui_language.h"

namespace {

using namespace lexora;

// The dialog's client area under a plain title bar carrying its icon and caption.
QImage framed(QWidget& window) {
  window.show();
  QApplication::processEvents();
  const QPixmap client = window.grab();
  const int bar = window.fontMetrics().height() + 12;
  QImage image(client.width() + 2, client.height() + bar + 1, QImage::Format_RGB32);
  image.fill(QColor(0x6b, 0x6b, 0x6b));
  QPainter painter(&image);
  painter.fillRect(1, 1, client.width(), bar - 1, QColor(0xdd, 0xe4, 0xee));
  const int iconSide = bar - 8;
  painter.drawPixmap(6, 4, window.windowIcon().pixmap(iconSide, iconSide));
  painter.setFont(window.font());
  painter.setPen(Qt::black);
  painter.drawText(QRect(iconSide + 12, 1, client.width() - iconSide - 16, bar - 1),
                   Qt::AlignVCenter | Qt::AlignLeft, window.windowTitle());
  painter.drawPixmap(1, bar, client);
  painter.end();
  window.hide();
  return image;
}

bool save(const QImage& image, const QDir& folder, const QString& name) {
  const QString path = folder.filePath(name);
  if (!image.save(path)) {
    std::fprintf(stderr, "lexora-screenshots: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: lexora-screenshots OUTPUT-FOLDER\n");
    return 2;
  }
  if (QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty()) {
    std::fprintf(stderr, "lexora-screenshots: no Chinese-capable font is installed\n");
    return 1;
  }
  QApplication::setWindowIcon(applicationIcon());
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  bool ok = true;
  for (const auto& [language, suffix] :
       {std::pair{UiLanguage::Chinese, "zh"}, std::pair{UiLanguage::English, "en"}}) {
    setUiLanguageForRun(language);
    const QString tail = QStringLiteral("-%1.png").arg(QLatin1String(suffix));
    {
      QtDialogView view(mainDialogTemplate(language));
      CLexoraDlg dialog(view, socketServiceFactory({}));
      view.attach(dialog);
      dialog.initDialog();
      // Chosen once the dialog is open, as with Browse: the file box shows the beginning.
      view.show();
      QApplication::processEvents();
      dialog.select(
          {u"/home/user/dictionaries/oxford.txt", u"/home/user/dictionaries/wordnet.ifo"});
      ok &= save(framed(view), folder, QStringLiteral("qt-main") + tail);
      // A transfer in progress, as the job leaves the dialog while the blocks go out.
      view.show();
      view.enableControl(main_control::kSend, false);
      view.enableControl(main_control::kStop, true);
      // Shown afresh, the dialog would focus (and select) the file box; Send had the focus.
      view.control(main_control::kStop)->setFocus();
      view.setControlText(main_control::kFileBox, dialog.selection().text);
      view.setControlText(main_control::kStatusLine, sendingContentStatus(u"oxford", 42));
      view.showProgress(ProgressState::Normal, 42);
      ok &= save(framed(view), folder, QStringLiteral("qt-progress") + tail);
    }
    {
      CAboutDlg about(aboutBoxTemplate(language));
      ok &= save(framed(about), folder, QStringLiteral("qt-about") + tail);
    }
    {
      CInputPasswordDialog password(passwordDialogTemplate(language), passwordPrompt(3));
      if (auto* field = qobject_cast<QLineEdit*>(password.control(password_control::kPassword))) {
        field->setText(QStringLiteral("secret"));
      }
      ok &= save(framed(password), folder, QStringLiteral("qt-password") + tail);
    }
  }
  return ok ? 0 : 1;
}
