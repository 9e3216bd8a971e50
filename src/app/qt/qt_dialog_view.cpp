#include "app/qt/qt_dialog_view.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include "app/lexora_dialog.h"
#include "app/qt/about_box.h"
#include "app/qt/password_dialog.h"
#include "app/qt/qt_text.h"
#include "platform/application.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

// Qt's own boxes would speak Qt's language; they follow the interface language instead.
constexpr BilingualText kYes{u"是(&Y)", u"&Yes"};
constexpr BilingualText kNo{u"否(&N)", u"&No"};
constexpr BilingualText kOk{u"确定", u"OK"};
constexpr BilingualText kLookIn{u"查找范围：", u"Look in:"};
constexpr BilingualText kFileName{u"文件名：", u"File name:"};
constexpr BilingualText kFileType{u"文件类型：", u"Files of type:"};
constexpr BilingualText kOpen{u"打开(&O)", u"&Open"};
constexpr BilingualText kCancel{u"取消", u"Cancel"};

QMessageBox::Icon boxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Question:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

// Qt reads a filter's patterns from its last parentheses, separated by spaces; the shown
// description keeps its own ";"-separated list, and the details Qt would add are hidden.
QString nameFilter(const FileDialogFilter& filter) {
  return toQString(filter.description) + QStringLiteral(" (") +
         toQString(filter.pattern).replace(u';', u' ') + u')';
}

// The local files among the dragged URLs, in their order; none when nothing local is there.
std::vector<std::filesystem::path> droppedFiles(const QMimeData* data) {
  std::vector<std::filesystem::path> files;
  if (!data || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    // The name's own bytes, as the command line gives them, not its decoded text.
    files.push_back(std::filesystem::path(QFile::encodeName(url.toLocalFile()).toStdString()));
  }
  return files;
}

// A message box captioned with the application's name, its buttons in the interface
// language.
class CaptionedMessageBox : public QMessageBox {
 public:
  CaptionedMessageBox(std::u16string_view text, MessageIcon icon, MessageButtons buttons,
                      QWidget* parent)
      : QMessageBox(boxIcon(icon), QString::fromStdString(applicationName()), toQString(text),
                    QMessageBox::NoButton, parent) {
    if (buttons == MessageButtons::YesNo) {
      addButton(QMessageBox::Yes)->setText(toQString(pick(kYes)));
      addButton(QMessageBox::No)->setText(toQString(pick(kNo)));
      setDefaultButton(QMessageBox::Yes);
    } else {
      addButton(QMessageBox::Ok)->setText(toQString(pick(kOk)));
    }
  }
};

MessageAnswer answerOf(int result, MessageButtons buttons) {
  if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  return result == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace

QtDialogView::QtDialogView(const DialogTemplate& dialog, QWidget* parent)
    : TemplateDialog(dialog, parent) {
  for (int id : TemplateDialog::controlIds()) {
    if (auto* button = qobject_cast<QPushButton*>(control(id))) {
      connect(button, &QPushButton::clicked, this, [this, id] { command(id); });
    }
  }
  if (auto* status = qobject_cast<QLineEdit*>(control(main_control::kStatusLine))) {
    progressFill_ = new ProgressFill(*status);
  }
  setAcceptDrops(true);
}

void QtDialogView::command(int id) {
  if (controller_) controller_->command(id);
}

void QtDialogView::setControlText(int id, std::u16string_view text) {
  QWidget* widget = control(id);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(toQString(text));
    edit->setCursorPosition(0);  // a long path or status shows its beginning
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    button->setText(toQString(text));
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(toQString(text));
  }
}

std::u16string QtDialogView::controlText(int id) const {
  QWidget* widget = control(id);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return toU16String(edit->text());
  if (auto* button = qobject_cast<QPushButton*>(widget)) return toU16String(button->text());
  if (auto* label = qobject_cast<QLabel*>(widget)) return toU16String(label->text());
  return {};
}

void QtDialogView::enableControl(int id, bool enabled) {
  if (QWidget* widget = control(id)) widget->setEnabled(enabled);
}

void QtDialogView::setTitle(std::u16string_view title) {
  setWindowTitle(toQString(title));
}

MessageAnswer QtDialogView::showMessage(std::u16string_view text, MessageIcon icon,
                                        MessageButtons buttons) {
  CaptionedMessageBox box(text, icon, buttons, this);
  return answerOf(runModal(box), buttons);
}

std::optional<std::vector<std::u16string>> QtDialogView::openFiles(const OpenFileRequest& request) {
  QFileDialog dialog(this, toQString(request.title));
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  QStringList filters;
  for (const FileDialogFilter& filter : request.filters) filters << nameFilter(filter);
  dialog.setNameFilters(filters);
  if (!filters.isEmpty()) dialog.selectNameFilter(filters.front());
  if (!request.initialFolder.empty()) dialog.setDirectory(toQString(request.initialFolder));
  dialog.setLabelText(QFileDialog::LookIn, toQString(pick(kLookIn)));
  dialog.setLabelText(QFileDialog::FileName, toQString(pick(kFileName)));
  dialog.setLabelText(QFileDialog::FileType, toQString(pick(kFileType)));
  dialog.setLabelText(QFileDialog::Accept, toQString(pick(kOpen)));
  dialog.setLabelText(QFileDialog::Reject, toQString(pick(kCancel)));
  if (runModal(dialog) != QDialog::Accepted) return std::nullopt;
  std::vector<std::u16string> paths;
  for (const QString& path : dialog.selectedFiles()) paths.push_back(toU16String(path));
  if (paths.empty()) return std::nullopt;
  return paths;
}

void QtDialogView::showAbout(const DialogTemplate& dialog) {
  CAboutDlg box(dialog, this);
  runModal(box);
}

std::optional<std::u16string> QtDialogView::askPassword(const DialogTemplate& dialog,
                                                        std::u16string_view prompt) {
  CInputPasswordDialog box(dialog, prompt, this);
  if (runForJob(box) != QDialog::Accepted) return std::nullopt;
  return box.password();
}

void QtDialogView::endDialog() {
  QDialog::done(QDialog::Rejected);
}

void QtDialogView::postToDialogThread(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void QtDialogView::showProgress(ProgressState state, int percent) {
  if (progressFill_) progressFill_->show(state, percent);
}

bool QtDialogView::windowActive() const {
  return QApplication::activeWindow() != nullptr;
}

// A message from the tray where there is one; the icon stays only as long as its message.
void QtDialogView::notifyJobEnded(std::u16string_view text) {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  constexpr int kShownMs = 10000;
  if (!trayIcon_) trayIcon_ = new QSystemTrayIcon(windowIcon(), this);
  trayIcon_->show();
  trayIcon_->showMessage(QString::fromStdString(applicationName()), toQString(text), windowIcon(),
                         kShownMs);
  QTimer::singleShot(kShownMs, trayIcon_, &QSystemTrayIcon::hide);
}

int QtDialogView::focusedControl() const {
  const QWidget* focus = focusWidget();
  if (!focus) return 0;
  for (int id : TemplateDialog::controlIds()) {
    if (id != kNoControlId && control(id) == focus) return id;
  }
  return 0;
}

void QtDialogView::focusControl(int id) {
  if (QWidget* widget = control(id)) widget->setFocus(Qt::OtherFocusReason);
}

void QtDialogView::setDefaultButton(int id) {
  // Every button keeps autoDefault: the focused one takes Return, as on Win32, and the
  // dialog falls back to this one when the focus leaves the buttons.
  for (int controlId : TemplateDialog::controlIds()) {
    if (auto* button = qobject_cast<QPushButton*>(control(controlId))) {
      if (controlId != id) button->setDefault(false);
    }
  }
  if (auto* button = qobject_cast<QPushButton*>(control(id))) button->setDefault(true);
}

void QtDialogView::dragEnterEvent(QDragEnterEvent* event) {
  if (!droppedFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void QtDialogView::dropEvent(QDropEvent* event) {
  std::vector<std::filesystem::path> files = droppedFiles(event->mimeData());
  if (files.empty() || !controller_) return;
  event->acceptProposedAction();
  controller_->drop(std::move(files));
}

int QtDialogView::runModal(QDialog& box) {
  return box.exec();
}

MessageAnswer QtDialogView::showJobMessage(std::u16string_view text, MessageIcon icon,
                                           MessageButtons buttons) {
  CaptionedMessageBox box(text, icon, buttons, this);
  return answerOf(runForJob(box), buttons);
}

int QtDialogView::runForJob(QDialog& box) {
  // exec() would make the box modal: shown non-modal, with a loop that ends with the box.
  box.setWindowModality(Qt::NonModal);
  QEventLoop loop;
  connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
  jobBoxes_.emplace_back(&box);
  box.show();
  loop.exec();
  std::erase(jobBoxes_, QPointer<QDialog>(&box));
  return box.result();
}

void QtDialogView::closeJobBoxes() {
  // Each box's loop ends once this thread is back in it; the answer it then returns is no
  // longer wanted.
  for (const QPointer<QDialog>& box : jobBoxes_) {
    if (box) box->done(QDialog::Rejected);
  }
}

MessageAnswer QtDialogView::showOwnerlessMessage(std::u16string_view text, MessageIcon icon,
                                                 MessageButtons buttons) {
  CaptionedMessageBox box(text, icon, buttons, nullptr);
  return answerOf(runModal(box), buttons);
}

void QtDialogView::reject() {
  command(main_control::kExit);
}

void QtDialogView::closeEvent(QCloseEvent* event) {
  // The dialog ends through endDialog() alone, once Exit has been answered Yes.
  event->ignore();
  command(main_control::kExit);
}

}  // namespace lexora
