#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <thread>

#include "app/job_box_cases.h"
#include "app/lexora_dialog.h"
#include "app/qt/about_box.h"
#include "app/qt/lexora_app.h"
#include "app/qt/password_dialog.h"
#include "app/qt/qt_dialog_view.h"
#include "app/qt/qt_text.h"
#include "job/load_and_pack.h"
#include "link/fake/fake_service.h"
#include "link/password_answer.h"
#include "link/usb_link.h"
#include "pack/packed_image.h"
#include "platform/ui_language.h"
#include "support/run_program.h"
#include "support/test_support.h"

namespace lexora {
namespace {

using namespace std::chrono_literals;

// Answers the boxes the view would run modally: `answer` gets the very box built. Without
// one, Yes/No boxes are answered Yes, OK boxes OK, and other dialogs are cancelled.
class AnsweringView : public QtDialogView {
 public:
  using QtDialogView::QtDialogView;
  std::function<int(QDialog&)> answer;
  QStringList messages;   // every message box's text
  QStringList boxTitles;  // every box's caption
  QStringList ownerless;  // the texts of message boxes without a parent
  bool offDialogThread = false;

 protected:
  int runModal(QDialog& box) override {
    offDialogThread |= QThread::currentThread() != thread();
    boxTitles << box.windowTitle();
    auto* message = qobject_cast<QMessageBox*>(&box);
    if (message) messages << message->text();
    if (message && !box.parentWidget()) ownerless << message->text();
    if (answer) return answer(box);
    if (message) return message->button(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    return QDialog::Rejected;
  }

 public:
  // The job's boxes are answered as the modal ones, unless `openJobBox` is set: then each is
  // shown for real, without blocking the dialog, and `openJobBox` acts on it from its loop.
  std::function<void(QDialog&)> openJobBox;

 protected:
  int runForJob(QDialog& box) override {
    if (!openJobBox) return runModal(box);
    if (auto* message = qobject_cast<QMessageBox*>(&box)) messages << message->text();
    openJobBox(box);
    return QtDialogView::runForJob(box);
  }
};

template <class T = QWidget>
T* widget(const TemplateDialog& dialog, int id) {
  return qobject_cast<T*>(dialog.control(id));
}
QString text(const TemplateDialog& dialog, int id) {
  if (auto* edit = widget<QLineEdit>(dialog, id)) return edit->text();
  if (auto* button = widget<QPushButton>(dialog, id)) return button->text();
  return widget<QLabel>(dialog, id)->text();
}

// One main dialog over the in-process handheld, in English, with its settings private.
struct Rig {
  Rig() {
    USBLink::resetSendChunkSizeForTesting();
    view.attach(dialog);
    dialog.initDialog();
    view.show();
  }
  void click(int id) { QTest::mouseClick(view.control(id), Qt::LeftButton); }
  // Presses Send and waits, 20 s at most, until the job has ended; `statuses` gets what the
  // status line showed meanwhile.
  bool sendAndWait(QStringList& statuses) {
    QObject::connect(widget<QLineEdit>(view, main_control::kStatusLine), &QLineEdit::textChanged,
                     [&statuses](const QString& status) { statuses << status; });
    click(main_control::kSend);
    return QTest::qWaitFor([&] { return statuses.size() > 1 && idle(); }, 20000);
  }
  // Whether the handheld has received exactly the packed image of `file`.
  bool receivedWhole(const std::filesystem::path& file) {
    fake.settle();
    test::ScriptedUserInterface quiet;
    return fake.acceptedBytes() ==
           serializePackedImage(loadAndPackFile(file, quiet)->packed.dictionary);
  }
  bool idle() const {
    return text(view, main_control::kStatusLine) == QStringLiteral("Ready") &&
           view.control(main_control::kSend)->isEnabled() &&
           !view.control(main_control::kStop)->isEnabled();
  }

  test::LanguageScope language{UiLanguage::English};
  test::TempDir dir;
  FakeService fake;
  AnsweringView view{mainDialogTemplate(GetUiLanguage())};
  CLexoraDlg dialog{view, fake.factory(), {200ms, 200ms}};
};

}  // namespace

class QtDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void buildsEveryControlAtItsPlace() {
    for (int id : {102, 103, 100, 104, 131, 132}) {
      const DialogTemplate& dialog = *findDialogTemplate(id);
      CAboutDlg window(dialog);  // any template builds the same way
      const QSize base = window.baseUnits();
      // A 9 or 8 point dialog font: a few pixels per character, taller than wide.
      QVERIFY(base.width() >= 4 && base.height() > base.width() && base.height() < 40);
      QCOMPARE(window.size(), window.toPixels(dialog.size).size());
      QCOMPARE(window.windowTitle(), toQString(dialog.caption));
      QCOMPARE(window.controlIds().size(), dialog.controls.size());
      for (size_t i = 0; i < dialog.controls.size(); ++i) {
        const ControlTemplate& control = dialog.controls[i];
        QWidget* built = window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).at(i);
        QCOMPARE(built->geometry(), window.toPixels(control.place));
        QVERIFY(window.rect().contains(built->geometry()));
        QCOMPARE(built->isEnabled(), (control.styles & kStyleDisabled) == 0);
        if (control.id == kNoControlId) continue;
        QCOMPARE(window.control(control.id), built);
        if (control.kind != ControlKind::Icon)
          QCOMPARE(text(window, control.id), toQString(control.text));
      }
    }
    const CAboutDlg english(*findDialogTemplate(103));
    QVERIFY(widget<QLineEdit>(english, main_control::kFileBox)->isReadOnly());
    QVERIFY(widget<QLineEdit>(english, main_control::kStatusLine)->isReadOnly());
  }

  void languageSwitchTwiceOnRealWidgets() {
    Rig rig;
    rig.dialog.select({u"/d/a.txt"});
    const auto showsTemplate = [&rig](int id) {
      const DialogTemplate& dialog = *findDialogTemplate(id);
      for (const ControlTemplate& control : dialog.controls) {
        if (control.id == main_control::kFileBox || control.id == main_control::kStatusLine)
          continue;
        if (text(rig.view, control.id) != toQString(control.text)) return false;
      }
      return rig.view.windowTitle() == toQString(dialog.caption);
    };
    rig.click(main_control::kLanguage);
    QVERIFY(showsTemplate(102));
    QCOMPARE(text(rig.view, main_control::kFileBox), QStringLiteral("/d/a.txt"));
    QCOMPARE(text(rig.view, main_control::kStatusLine), QStringLiteral("Ready"));
    rig.click(main_control::kAbout);
    rig.click(main_control::kLanguage);
    QVERIFY(showsTemplate(103));
    QCOMPARE(text(rig.view, main_control::kFileBox), QStringLiteral("/d/a.txt"));
    rig.click(main_control::kAbout);
    QCOMPARE(rig.view.boxTitles,
             (QStringList{toQString(u"关于 Lexora"), QStringLiteral("About Lexora")}));
  }

  void browseOffersTheFiltersAndMultipleSelection() {
    Rig rig;
    const std::u16string path = test::writeNumberedDictionary(rig.dir.path(), "a", 1);
    rig.view.answer = [&](QDialog& box) {
      auto& files = dynamic_cast<QFileDialog&>(box);
      [&] {
        QCOMPARE(files.fileMode(), QFileDialog::ExistingFiles);
        QCOMPARE(files.windowTitle(), QStringLiteral("Open Dictionary File"));
        QCOMPARE(files.nameFilters().size(), 7);
        // The description as the table has it, its patterns still applied.
        QCOMPARE(files.selectedNameFilter(),
                 QStringLiteral("All Support Dictionary Files(*.txt;*.tab;*.ifo)"));
      }();
      files.selectFile(toQString(path));
      return int(QDialog::Accepted);
    };
    rig.click(main_control::kBrowse);
    QCOMPARE(text(rig.view, main_control::kFileBox), toQString(path));
    rig.view.answer = nullptr;  // cancelled: the selection stays
    rig.click(main_control::kBrowse);
    QCOMPARE(text(rig.view, main_control::kFileBox), toQString(path));
  }

  // Return presses the focused button, else Browse; Browse opens where the last file came
  // from; after a job the focus is back on Send.
  void returnAtStartAfterABrowseAndAfterAJob() {
    Rig rig;
    const std::u16string path = test::writeNumberedDictionary(rig.dir.path(), "r", 2);
    QStringList folders;
    rig.view.answer = [&](QDialog& box) {
      if (auto* files = qobject_cast<QFileDialog*>(&box)) {
        folders << files->directory().absolutePath();
        files->selectFile(toQString(path));
        return int(QDialog::Accepted);
      }
      return int(QMessageBox::Yes);
    };
    const auto pressReturn = [&rig] { QTest::keyClick(rig.view.focusWidget(), Qt::Key_Return); };
    QCOMPARE(rig.view.focusWidget(), rig.view.control(main_control::kFileBox));
    pressReturn();
    QCOMPARE(folders.size(), 1);
    QCOMPARE(text(rig.view, main_control::kFileBox), toQString(path));
    pressReturn();
    QCOMPARE(folders.size(), 2);
    QCOMPARE(folders[1], QString::fromStdString(rig.dir.path().string()));

    QStringList statuses;
    QObject::connect(widget<QLineEdit>(rig.view, main_control::kStatusLine),
                     &QLineEdit::textChanged,
                     [&statuses](const QString& status) { statuses << status; });
    rig.view.control(main_control::kSend)->setFocus();
    pressReturn();
    QVERIFY(QTest::qWaitFor([&] { return statuses.size() > 1 && rig.idle(); }, 20000));
    QVERIFY(rig.receivedWhole(path));
    QCOMPARE(rig.view.focusWidget(), rig.view.control(main_control::kSend));
    QCOMPARE(folders.size(), 2);
    rig.view.control(main_control::kFileBox)->setFocus();
    pressReturn();
    QCOMPARE(folders.size(), 3);
  }

  // Local files dropped on the dialog, even during a job, are the next Send's selection;
  // a drag without local files is refused.
  void droppedLocalFilesBecomeTheSelection() {
    Rig rig;
    const std::u16string sent = test::writeNumberedDictionary(rig.dir.path(), "sent", 2);
    rig.dialog.select({sent});
    const auto drop = [&rig](const QList<QUrl>& urls) {
      QMimeData data;
      data.setUrls(urls);
      QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&rig.view, &enter);
      if (!enter.isAccepted()) return false;
      QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&rig.view, &dropped);
      return true;
    };
    QVERIFY(!drop({QUrl(QStringLiteral("https://example.com/a.txt"))}));
    QStringList statuses;
    QObject::connect(widget<QLineEdit>(rig.view, main_control::kStatusLine),
                     &QLineEdit::textChanged,
                     [&statuses](const QString& status) { statuses << status; });
    rig.click(main_control::kSend);
    const QString a = QStringLiteral("/d/a b.txt");
    QVERIFY(drop({QUrl::fromLocalFile(a), QUrl(QStringLiteral("https://example.com/x.txt")),
                  QUrl::fromLocalFile(QStringLiteral("/e/c.ifo"))}));
    QCOMPARE(text(rig.view, main_control::kFileBox), a + QStringLiteral(";/e/c.ifo"));
    QVERIFY(QTest::qWaitFor([&] { return statuses.size() > 1 && rig.idle(); }, 20000));
    QVERIFY(rig.receivedWhole(sent));
    QCOMPARE(rig.dialog.selection().paths.size(), size_t{2});
  }

  // The program itself: --help, --version and a mistake are answered before Qt starts, so
  // no display is needed and no window opens.
  void helpVersionAndAMistakeNeedNoDisplay() {
    test::SettingsRedirect settings;  // no stored language: LC_ALL (C) picks English
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    const std::string lexora = test::builtProgram("src/app/qt/lexora");
    const test::ProgramRun help = test::runProgram(lexora, {"a.txt", "--help"});
    const test::ProgramRun version = test::runProgram(lexora, {"-V"});
    const test::ProgramRun mistake = test::runProgram(lexora, {"a.txt", "-x"});
    qputenv("QT_QPA_PLATFORM", platform);
    if (!display.isEmpty()) qputenv("DISPLAY", display);
    QCOMPARE(help.exitStatus, 0);
    QVERIFY(help.out.starts_with("Usage: lexora"));
    QCOMPARE(version.exitStatus, 0);
    QVERIFY(version.out.starts_with("lexora "));
    QCOMPARE(mistake.exitStatus, 2);
    QVERIFY(mistake.out.empty());
    QVERIFY(mistake.err.find("-x") != std::string::npos);
  }

  void escapeAndTheCloseBoxAskBeforeExit() {
    Rig rig;
    rig.view.answer = [](QDialog&) { return int(QMessageBox::No); };
    QTest::keyClick(&rig.view, Qt::Key_Escape);
    rig.view.close();
    QVERIFY(rig.view.isVisible());
    QCOMPARE(rig.view.messages.size(), 2);
    QCOMPARE(rig.view.messages[0], rig.view.messages[1]);
    QCOMPARE(rig.view.boxTitles[0], QStringLiteral("Lexora"));
    rig.view.answer = nullptr;  // Yes
    rig.view.close();
    QVERIFY(!rig.view.isVisible());
  }

  void passwordDialogKeys() {
    test::LanguageScope language{UiLanguage::English};
    const DialogTemplate& dialog = passwordDialogTemplate(GetUiLanguage());
    {
      CInputPasswordDialog box(dialog, u"You have 3 attemptes remaining");
      box.show();
      QCOMPARE(box.focusWidget(), box.control(password_control::kOk));
      QCOMPARE(text(box, password_control::kAttempts),
               QStringLiteral("You have 3 attemptes remaining"));
      QTest::keyClick(box.focusWidget(), Qt::Key_Return);  // Enter at once
      QCOMPARE(box.result(), int(QDialog::Accepted));
      QVERIFY(box.password().empty());
    }
    {
      CInputPasswordDialog box(dialog, u"");
      box.show();
      auto* field = widget<QLineEdit>(box, password_control::kPassword);
      QCOMPARE(field->echoMode(), QLineEdit::Password);
      QTest::keyClicks(field, QStringLiteral("abcdefghijklmnO"));
      QCOMPARE(field->text(), QStringLiteral("abcdefghijklmn"));  // the 15th is refused
      QTest::mouseClick(box.control(password_control::kCancel), Qt::LeftButton);
      QCOMPARE(box.result(), int(QDialog::Rejected));
    }
    {
      CInputPasswordDialog box(dialog, u"");
      box.show();
      QTest::keyClick(&box, Qt::Key_Escape);
      QCOMPARE(box.result(), int(QDialog::Rejected));
    }
  }

  void passwordAskedFromTheServiceThreadIsShownOnTheDialogThread() {
    Rig rig;
    // The first challenge is refused with Escape, the second answered with OK.
    int shown = 0;
    rig.view.answer = [&](QDialog& box) {
      auto& password = dynamic_cast<CInputPasswordDialog&>(box);
      password.show();
      if (shown++ == 0) {
        QTest::keyClick(&password, Qt::Key_Escape);
      } else {
        QTest::keyClicks(password.control(password_control::kPassword), QStringLiteral("secret"));
        QTest::keyClick(password.control(password_control::kPassword), Qt::Key_Return);
      }
      return password.result();
    };
    for (const bool answered : {false, true}) {
      std::array<uint8_t, 20> digest;
      digest.fill(0xAA);
      std::atomic<bool> done = false;
      HResult result = kEFail;
      std::thread service([&] {
        result = answerPasswordChallenge(rig.dialog.ui(), 3, digest.data());
        done = true;
      });
      QTRY_VERIFY_WITH_TIMEOUT(done, 20000);
      service.join();
      if (answered) {
        QCOMPARE(result, kSOk);
        QVERIFY(digest == *passwordDigest(u"secret"));
      } else {
        QCOMPARE(result, kEFail);
        QVERIFY(std::all_of(digest.begin(), digest.end(), [](uint8_t b) { return b == 0xAA; }));
      }
    }
    QCOMPARE(shown, 2);
    QVERIFY(!rig.view.offDialogThread);
    QCOMPARE(rig.view.boxTitles.front(), QStringLiteral("Input Mobile Phone' Password"));
  }

  void wholeTransferStartedFromTheDialog() {
    Rig rig;
    const std::u16string path = test::writeNumberedDictionary(rig.dir.path(), "whole", 40);
    rig.dialog.select({path});
    QStringList statuses;
    QVERIFY(rig.sendAndWait(statuses));
    QVERIFY(rig.receivedWhole(path));
    QVERIFY(statuses.contains(toQString(u"Load dictionary file " + path + u"...Success")));
    QVERIFY(!rig.view.offDialogThread);
    QCOMPARE(rig.view.messages.size(), 1);  // the size question
  }

  // `lexora $'bad\xff.txt'`: the file box cannot show the name, but the job opens that very
  // file, not one named with U+FFFD.
  void aFileNameThatIsNotUtf8IsOpenedAsGiven() {
    Rig rig;
    const std::filesystem::path written = test::writeNumberedDictionary(rig.dir.path(), "bad", 5);
    const std::filesystem::path bad = rig.dir.path() / "bad\xff.txt";
    std::filesystem::rename(written, bad);
    const std::string argument = bad.native();
    const char* argv[] = {"lexora", argument.c_str()};
    const std::vector<std::filesystem::path> files = commandLineFiles(2, argv);
    QCOMPARE(files.size(), size_t{1});
    QCOMPARE(files[0].native(), bad.native());
    rig.dialog.select(files);
    QStringList statuses;
    QVERIFY(rig.sendAndWait(statuses));
    QVERIFY(rig.receivedWhole(bad));
    QCOMPARE(rig.view.messages.size(), 1);  // the size question, no failure
  }

  void exitInTheMiddleOfATransfer() {
    Rig rig;
    // Enough blocks that Exit comes before the last one: each block's status waits for this
    // thread, so the job is at most a block ahead of the Escape.
    const std::u16string big = test::writeNumberedDictionary(rig.dir.path(), "big", 5000);
    test::ScriptedUserInterface quiet;
    QVERIFY(loadAndPackFile(big, quiet)->packed.dictionary.blocks.size() >= 5);
    rig.dialog.select({big, test::writeNumberedDictionary(rig.dir.path(), "later", 3)});
    // "big"'s end flag waits for Exit: on a busy machine the blocks could otherwise all be
    // sent before the Escape arrives, and "later" be asked about.
    std::atomic<bool> exitAsked{false};
    rig.view.answer = [&exitAsked](QDialog& box) {
      auto* message = qobject_cast<QMessageBox*>(&box);
      if (!message) return int{QDialog::Rejected};
      if (message->text().contains(u"exit")) exitAsked = true;
      return int{QMessageBox::Yes};
    };
    rig.fake.holdEndFlagUntil([&exitAsked] { return exitAsked.load(); });
    // Escape once blocks are being sent, as soon as the job's status call has returned.
    connect(widget<QLineEdit>(rig.view, main_control::kStatusLine), &QLineEdit::textChanged,
            &rig.view, [&rig](const QString& status) {
              if (status.contains(u'%')) {
                QTimer::singleShot(0, &rig.view, [&rig] {
                  if (rig.view.isVisible()) QTest::keyClick(&rig.view, Qt::Key_Escape);
                });
              }
            });
    rig.click(main_control::kSend);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.view.isVisible(), 20000);  // Exit answered Yes, no hang
    // The size question, Exit, and once the job has ended the warning that "big" was cut
    // off, in a box of its own (the dialog is gone): "later" never comes.
    QVERIFY2(rig.view.messages.size() == 3, qPrintable(rig.view.messages.join(u" | ")));
    QCOMPARE(rig.view.ownerless, QStringList{rig.view.messages.back()});
    QVERIFY(rig.view.ownerless.front().contains(u"big"));
    QVERIFY(!rig.dialog.jobRunning());
    rig.fake.settle();
    const std::vector<uint8_t> bytes = rig.fake.acceptedBytes();
    QVERIFY(bytes.size() >= 3);
    QVERIFY((std::vector<uint8_t>(bytes.end() - 3, bytes.end()) == std::vector<uint8_t>{4, 0, 0}));
    QVERIFY(!rig.fake.channelOpen());
  }

  // The job's boxes leave the dialog usable: Stop pressed during the size question is taken
  // (neither dropped nor refused) and ends the job at that file's Yes, without sending it.
  void stopDuringTheSizeQuestion() {
    Rig rig;
    rig.dialog.select({test::writeNumberedDictionary(rig.dir.path(), "one", 40)});
    bool nonModal = false;
    rig.view.openJobBox = [&](QDialog& box) {
      QTimer::singleShot(0, &box, [&] {
        nonModal = box.isVisible() && box.parentWidget() == &rig.view &&
                   QApplication::activeModalWidget() == nullptr;
        rig.click(main_control::kStop);
        QVERIFY(!rig.dialog.jobRunning());
        qobject_cast<QMessageBox*>(&box)->button(QMessageBox::Yes)->click();
      });
    };
    QStringList statuses;
    QVERIFY(rig.sendAndWait(statuses));
    QVERIFY(nonModal);
    QCOMPARE(rig.view.messages.size(), 1);  // the question alone: Stop found the job
    rig.fake.settle();
    QVERIFY(rig.fake.acceptedBytes().empty());
  }

  // Exit while the job waits for one of its boxes: the question is asked, the box is closed
  // with the closing answer, and the dialog ends with the job ended, nothing sent.
  void exitClosesTheBoxTheJobHasOpen() {
    for (const test::JobBoxCase which : test::kJobBoxCases) {
      Rig rig;
      rig.dialog.select({test::writeNumberedDictionary(rig.dir.path(), "one", 40)});
      test::arrangeJobBox(rig.fake, which);
      QPointer<QDialog> open;
      int opened = 0;
      rig.view.openJobBox = [&](QDialog& box) {
        open = &box;
        ++opened;
        QTimer::singleShot(0, &box, [&rig] { QTest::keyClick(&rig.view, Qt::Key_Escape); });
      };
      rig.click(main_control::kSend);
      QTRY_VERIFY_WITH_TIMEOUT(!rig.view.isVisible(), 20000);
      QCOMPARE(opened, 1);
      QTRY_VERIFY_WITH_TIMEOUT(open.isNull(), 20000);  // its loop ended, the box is gone
      QVERIFY(!rig.dialog.jobRunning());
      QVERIFY(rig.view.messages.last().contains(u"exit"));
      QVERIFY(rig.view.ownerless.isEmpty());
      rig.fake.settle();
      QVERIFY(rig.fake.acceptedBytes().empty());
      QVERIFY(!rig.fake.channelOpen());
    }
  }

  // The status line's fill: drawn behind the text, as wide as the percentage, in the
  // failure colour once a block failed, and gone when cleared; the text never changes.
  void progressIsAFillBehindTheStatusText() {
    Rig rig;
    auto* status = widget<QLineEdit>(rig.view, main_control::kStatusLine);
    const QString shown = QStringLiteral("Send dictionary's content abc...50%");
    rig.view.setControlText(main_control::kStatusLine, shown.toStdU16String());
    // Pixels of `colour` in the left and the right half of the status line.
    const auto count = [status](const QColor& colour) {
      const QImage image = status->grab().toImage();
      std::array<int, 2> halves{};
      for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
          if (image.pixelColor(x, y).rgb() == colour.rgb()) ++halves[x < image.width() / 2 ? 0 : 1];
        }
      }
      return halves;
    };
    const int area = status->width() * status->height();
    rig.view.showProgress(ProgressState::Normal, 50);
    auto normal = count(ProgressFill::kNormalColor);
    QVERIFY2(normal[0] > area / 4, qPrintable(QString::number(normal[0])));
    QCOMPARE(normal[1], 0);
    rig.view.showProgress(ProgressState::Failed, 50);
    QVERIFY(count(ProgressFill::kFailedColor)[0] > area / 4);
    QCOMPARE(count(ProgressFill::kNormalColor)[0], 0);
    rig.view.showProgress(ProgressState::None, 0);
    QCOMPARE(count(ProgressFill::kFailedColor)[0], 0);
    QCOMPARE(status->text(), shown);
    // Offscreen there is no tray: the notification shows nothing and must not fail.
    rig.view.notifyJobEnded(u"Lexora: the transfer has ended.");
  }
};

}  // namespace lexora

QTEST_MAIN(lexora::QtDialogTest)
#include "qt_dialog_test.moc"
