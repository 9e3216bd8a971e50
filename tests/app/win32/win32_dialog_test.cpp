// The Win32 dialogs under Wine: real windows built from the in-memory templates, driven by
// clicks and keys; every modal box is answered through the view's seams, never a modal loop.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <iostream>

#include "app/job_box_cases.h"
#include "app/lexora_dialog.h"
#include "app/win32/dialog_resource.h"
#include "app/win32/win32_dialog_view.h"
#include "link/fake/fake_service.h"
#include "platform/application.h"
#include "platform/ui_language.h"
#include "support/test_support.h"

namespace lexora {
namespace {

using namespace std::chrono_literals;

std::u16string textOf(HWND window) {
  wchar_t text[512] = {};
  const int length = GetWindowTextW(window, text, 512);
  return std::u16string(text, text + length);
}

// Runs the thread's messages (through the dialogs' keyboard handling) until `done` holds.
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 20s) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      HWND top = GetAncestor(message.hwnd, GA_ROOT);
      if (top && IsDialogMessageW(top, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(1);
  }
  return true;
}

// The controls of a live dialog against its template: order, id, class, text, styles, place.
void expectBuiltFrom(HWND dialog, const DialogTemplate& data) {
  SCOPED_TRACE(data.id);
  EXPECT_EQ(textOf(dialog), data.caption);
  HWND child = GetWindow(dialog, GW_CHILD);
  for (const ControlTemplate& control : data.controls) {
    SCOPED_TRACE(control.id);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetDlgCtrlID(child), control.id);
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    const std::wstring expectedClass = win32ControlClass(control.kind) == 0x80   ? L"Button"
                                       : win32ControlClass(control.kind) == 0x81 ? L"Edit"
                                                                                 : L"Static";
    EXPECT_EQ(_wcsicmp(className, expectedClass.c_str()), 0);
    // Edits show their contents (the status line its first status), the attempts text its
    // prompt: only the labels and buttons keep the template's text.
    if ((control.kind == ControlKind::PushButton || control.kind == ControlKind::StaticText) &&
        control.id != password_control::kAttempts) {
      EXPECT_EQ(textOf(child), control.text);
    }
    auto styles = static_cast<uint32_t>(GetWindowLongW(child, GWL_STYLE));
    uint32_t expected = win32ControlStyles(control).style;
    // Which button is the default is the dialog manager's run-time state; an edit's border
    // becomes the client edge.
    if (control.kind == ControlKind::PushButton) expected &= ~uint32_t{BS_TYPEMASK};
    if (GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) styles |= WS_BORDER;
    EXPECT_EQ(styles & expected, expected);
    // Place and size map separately, as the dialog manager creates them.
    RECT origin{control.place.x, control.place.y, 0, 0};
    RECT size{0, 0, control.place.width, control.place.height};
    MapDialogRect(dialog, &origin);
    MapDialogRect(dialog, &size);
    RECT actual;
    GetWindowRect(child, &actual);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
    EXPECT_EQ(actual.left, origin.left);
    EXPECT_EQ(actual.top, origin.top);
    EXPECT_EQ(actual.right - actual.left, size.right);
    EXPECT_EQ(actual.bottom - actual.top, size.bottom);
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "no control beyond the template's";
}

// The view with its modal boxes answered by the test.
class ScriptedView : public Win32DialogView {
 public:
  struct Box {
    std::u16string text;
    std::u16string caption;
    UINT type;
    HWND owner;
  };
  struct FileAnswer {
    std::u16string buffer;  // with its NULs
    WORD fileOffset;
  };
  struct ModalBox {
    int templateId;
    HWND owner;
  };

  explicit ScriptedView(HICON icon = nullptr) : Win32DialogView(GetModuleHandleW(nullptr), icon) {}

  std::deque<int> answers;                      // for Yes/No boxes; IDNO when none is left
  std::deque<std::optional<FileAnswer>> files;  // cancel when none is left
  std::function<void(HWND)> onModal;            // acts on the About box or password dialog
  std::vector<Box> boxes;
  std::vector<OPENFILENAMEW> fileRequests;  // their pointers are dangling afterwards
  std::vector<std::wstring> fileTitles;
  std::vector<std::wstring> fileFilters;  // each request's filter list, NULs kept
  std::vector<std::wstring> fileFolders;  // each request's initial folder ("" for none)
  std::vector<ModalBox> modals;
  // Stands for a message box of the job that stays open: called instead of answering it at
  // once, with its type, from inside the box's call; returns the box's answer.
  std::function<int(UINT type)> openJobBox;
  using Win32DialogView::jobBoxClosed;
  bool realJobBoxes = false;  // the job's message boxes are the system's own

 protected:
  int jobMessageBox(HWND owner, std::u16string_view text, std::u16string_view caption,
                    UINT type) override {
    if (realJobBoxes) return Win32DialogView::messageBox(owner, text, caption, type);
    if (!openJobBox) return Win32DialogView::jobMessageBox(owner, text, caption, type);
    boxes.push_back({std::u16string(text), std::u16string(caption), type, owner});
    return openJobBox(type);
  }
  int messageBox(HWND owner, std::u16string_view text, std::u16string_view caption,
                 UINT type) override {
    boxes.push_back({std::u16string(text), std::u16string(caption), type, owner});
    if ((type & MB_TYPEMASK) != MB_YESNO) return IDOK;
    if (answers.empty()) return IDNO;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  bool runOpenFileDialog(OPENFILENAMEW& request) override {
    fileRequests.push_back(request);
    const wchar_t* end = request.lpstrFilter;
    while (*end) end += wcslen(end) + 1;  // description, pattern, ... up to the empty one
    fileFilters.emplace_back(request.lpstrFilter, end);
    fileTitles.emplace_back(request.lpstrTitle);
    fileFolders.emplace_back(request.lpstrInitialDir ? request.lpstrInitialDir : L"");
    if (files.empty() || !files.front()) {
      if (!files.empty()) files.pop_front();
      return false;
    }
    const FileAnswer answer = *files.front();
    files.pop_front();
    std::copy(answer.buffer.begin(), answer.buffer.end(), request.lpstrFile);
    request.nFileOffset = answer.fileOffset;
    return true;
  }
  INT_PTR runModalDialog(const DialogTemplate& dialog, HWND owner, DLGPROC procedure,
                         ModalDialogState& state) override {
    const std::vector<uint16_t> resource = buildDialogResource(dialog);
    HWND box =
        CreateDialogIndirectParamW(instance(), reinterpret_cast<LPCDLGTEMPLATEW>(resource.data()),
                                   owner, procedure, reinterpret_cast<LPARAM>(&state));
    if (!box) return -1;
    modals.push_back({dialog.id, GetWindow(box, GW_OWNER)});
    if (onModal) onModal(box);
    const bool ended = pumpUntil([&] { return state.ended; }, 5s);
    DestroyWindow(box);
    return ended ? state.result : -1;
  }
};

void click(HWND dialog, int id) {
  SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

class Win32DialogTest : public ::testing::Test {
 protected:
  static constexpr wchar_t kKey[] = L"Software\\Lexora\\lexora-win32-dialog-test";

  void SetUp() override {
    setApplicationName("lexora-win32-dialog-test");
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    USBLink::resetSendChunkSizeForTesting();
  }
  void TearDown() override {
    dialog_.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    resetUiLanguageForTesting();
  }

  // Starts as lexora.exe does, with `stored` as the stored choice; the job reaches `service`
  // (the fake when none is given).
  HWND start(std::u16string_view stored, ServiceFactory service = {},
             LinkWaits waits = {500ms, 500ms}) {
    applicationSettings().write(u"UI", u"language", stored);
    resetUiLanguageForTesting();
    dialog_ = std::make_unique<CLexoraDlg>(view_, service ? service : fake_.factory(), waits);
    view_.attach(*dialog_);
    // Left hidden: under a bare X server Wine waits seconds for each window to map.
    return view_.createModeless(mainDialogTemplate(GetUiLanguage()));
  }
  std::u16string stored() { return applicationSettings().read(u"UI", u"language"); }
  std::u16string aboutMenuItem(HWND window) {
    HMENU menu = GetSystemMenu(window, FALSE);
    wchar_t text[128] = {};
    const int length = GetMenuStringW(menu, kSystemMenuAboutCommand, text, 128, MF_BYCOMMAND);
    return std::u16string(text, text + length);
  }

  // A registry of this process's own: ctest runs these tests in parallel processes, and
  // one's SetUp must not delete the settings another is using.
  test::SettingsRedirect redirect_;
  test::TempDir dir_;
  FakeService fake_;
  ScriptedView view_;
  std::unique_ptr<CLexoraDlg> dialog_;
};

TEST_F(Win32DialogTest, StartsInTheStoredLanguageWithEveryControlInItsPlace) {
  view_.selectAtStart({u"C:\\d\\a.txt", u"C:\\d\\b.ifo"});  // the command line's files
  HWND window = start(u"chinese");
  expectBuiltFrom(window, *findDialogTemplate(102));
  EXPECT_EQ(textOf(GetDlgItem(window, main_control::kFileBox)), u"C:\\d\\a.txt;C:\\d\\b.ifo");
  EXPECT_EQ(textOf(GetDlgItem(window, main_control::kStatusLine)), u"准备就绪");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, main_control::kStop)));
  EXPECT_EQ(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW, WS_EX_APPWINDOW);
  // The system menu: a separator, then the About item with string 101.
  HMENU menu = GetSystemMenu(window, FALSE);
  const int count = GetMenuItemCount(menu);
  ASSERT_GE(count, 2);
  EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(kSystemMenuAboutCommand));
  EXPECT_EQ(GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR, UINT{MF_SEPARATOR});
  EXPECT_EQ(aboutMenuItem(window), loadString(101));
}

TEST_F(Win32DialogTest, TheBoxesAreBuiltFromTheirTemplatesInBothLanguages) {
  HWND window = start(u"english");
  int passwordFocusChecks = 0;
  view_.onModal = [&](HWND box) {
    expectBuiltFrom(box, *findDialogTemplate(view_.modals.back().templateId));
    if (GetDlgItem(box, password_control::kPassword)) {
      EXPECT_EQ(GetFocus(), GetDlgItem(box, IDOK)) << "the dialog opens with the focus on OK";
      EXPECT_EQ(SendDlgItemMessageW(box, password_control::kPassword, EM_GETLIMITTEXT, 0, 0), 14);
      ++passwordFocusChecks;
    }
    PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
  };
  for (int round = 0; round < 2; ++round) {
    click(window, main_control::kAbout);
    EXPECT_FALSE(view_.askPassword(passwordDialogTemplate(GetUiLanguage()), u"x").has_value());
    click(window, main_control::kLanguage);
  }
  ASSERT_EQ(view_.modals.size(), 4u);
  EXPECT_EQ(view_.modals[0].templateId, 104);
  EXPECT_EQ(view_.modals[1].templateId, 132);
  EXPECT_EQ(view_.modals[2].templateId, 100);
  EXPECT_EQ(view_.modals[3].templateId, 131);
  EXPECT_EQ(view_.modals[0].owner, window);
  EXPECT_EQ(view_.modals[1].owner, nullptr) << "the password dialog is owned by nobody";
  EXPECT_EQ(passwordFocusChecks, 2);
}

POINT centreOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

TEST_F(Win32DialogTest, TheDialogOpensMidScreenAndItsBoxesOverIt) {
  HWND window = start(u"english");
  RECT work{};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_NEAR(centreOf(window).x, (work.left + work.right) / 2, 1);
  EXPECT_NEAR(centreOf(window).y, (work.top + work.bottom) / 2, 1);

  // Moved by the user: the About box and the password dialog (owned by nobody) open over it.
  SetWindowPos(window, nullptr, work.left + 150, work.top + 120, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  std::vector<POINT> centres;
  view_.onModal = [&](HWND box) {
    centres.push_back(centreOf(box));
    PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
  };
  click(window, main_control::kAbout);
  EXPECT_FALSE(view_.askPassword(passwordDialogTemplate(GetUiLanguage()), u"x").has_value());
  ASSERT_EQ(centres.size(), 2u);
  for (const POINT& centre : centres) {
    EXPECT_NEAR(centre.x, centreOf(window).x, 1);
    EXPECT_NEAR(centre.y, centreOf(window).y, 1);
  }
}

TEST_F(Win32DialogTest, LanguageSwitchTwiceKeepsFileBoxStatusAndMenuItem) {
  HWND window = start(u"english");
  view_.files.push_back(
      ScriptedView::FileAnswer{std::u16string(u"C:\\dicts\\oxford.txt\0", 20), 9});
  click(window, main_control::kBrowse);
  const std::u16string englishItem = aboutMenuItem(window);
  EXPECT_EQ(englishItem, loadString(102));

  click(window, main_control::kLanguage);
  EXPECT_EQ(textOf(window), u"莱克索拉");
  for (const ControlTemplate& control : findDialogTemplate(102)->controls) {
    if (control.text.empty()) continue;
    EXPECT_EQ(textOf(GetDlgItem(window, control.id)), control.text);
  }
  EXPECT_EQ(textOf(GetDlgItem(window, main_control::kFileBox)), u"C:\\dicts\\oxford.txt");
  EXPECT_EQ(textOf(GetDlgItem(window, main_control::kStatusLine)), u"Ready");
  EXPECT_EQ(stored(), u"chinese");
  EXPECT_EQ(aboutMenuItem(window), englishItem) << "the menu item keeps its first text";
  // The About item opens the box of the new language.
  view_.onModal = [](HWND box) { PostMessageW(box, WM_COMMAND, IDOK, 0); };
  SendMessageW(window, WM_SYSCOMMAND, kSystemMenuAboutCommand, 0);
  ASSERT_EQ(view_.modals.size(), 1u);
  EXPECT_EQ(view_.modals[0].templateId, 100);

  click(window, main_control::kLanguage);
  EXPECT_EQ(textOf(window), u"Lexora");
  for (const ControlTemplate& control : findDialogTemplate(103)->controls) {
    if (control.text.empty()) continue;
    EXPECT_EQ(textOf(GetDlgItem(window, control.id)), control.text);
  }
  EXPECT_EQ(stored(), u"english");
}

TEST_F(Win32DialogTest, BrowseGivesTheDialogItsBufferAndReadsTheAnswer) {
  HWND window = start(u"english");
  const std::u16string twoFiles(u"D:\\\0a.txt\0b.txt\0\0", 17);
  view_.files.push_back(ScriptedView::FileAnswer{twoFiles, 4});
  click(window, main_control::kBrowse);
  EXPECT_EQ(textOf(GetDlgItem(window, main_control::kFileBox)), u"D:\\a.txt;D:\\b.txt");
  click(window, main_control::kBrowse);  // cancelled
  EXPECT_EQ(dialog_->selection().paths,
            (std::vector<std::filesystem::path>{u"D:\\a.txt", u"D:\\b.txt"}));
  ASSERT_EQ(view_.fileRequests.size(), 2u);
  const OPENFILENAMEW& request = view_.fileRequests[0];
  EXPECT_EQ(request.nMaxFile, 52000u);
  EXPECT_EQ(request.hwndOwner, window);
  EXPECT_EQ(request.nFilterIndex, 1u);
  EXPECT_EQ(request.Flags,
            DWORD{OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST});
  EXPECT_EQ(view_.fileTitles[0], L"Open Dictionary File");
  static constexpr wchar_t kFilters[] =
      L"All Support Dictionary Files(*.txt;*.tab;*.ifo)\0"
      L"*.txt;*.tab;*.ifo;*.index;*.dsl;*.dsl.dz;*.xdxf;*.mdx\0"
      L"Lexora Dictionary Files(*.txt;*.tab)\0*.txt;*.tab\0"
      L"StarDict Dictionary Files(*.ifo)\0*.ifo\0"
      L"dictd Dictionary Files(*.index)\0*.index\0"
      L"DSL Dictionary Files(*.dsl;*.dsl.dz)\0*.dsl;*.dsl.dz\0"
      L"XDXF Dictionary Files(*.xdxf)\0*.xdxf\0"
      L"MDict (*.mdx)\0*.mdx\0";
  EXPECT_EQ(view_.fileFilters[0], std::wstring(kFilters, std::size(kFilters) - 1));
}

TEST_F(Win32DialogTest, StopWarnsAndExitAsksFromTheButtonEscapeAndTheCloseBox) {
  HWND window = start(u"english");
  click(window, main_control::kStop);
  ASSERT_EQ(view_.boxes.size(), 1u);
  EXPECT_EQ(view_.boxes[0].type, UINT{MB_OK | MB_ICONWARNING});
  EXPECT_EQ(view_.boxes[0].caption, u"lexora-win32-dialog-test");
  EXPECT_EQ(view_.boxes[0].owner, window);

  SetFocus(GetDlgItem(window, main_control::kAbout));
  PostMessageW(GetDlgItem(window, main_control::kAbout), WM_KEYDOWN, VK_ESCAPE, 0);
  ASSERT_TRUE(pumpUntil([&] { return view_.boxes.size() == 2; }));
  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(pumpUntil([&] { return view_.boxes.size() == 3; }));
  EXPECT_EQ(view_.boxes[1].type, UINT{MB_YESNO | MB_ICONQUESTION});
  EXPECT_EQ(view_.boxes[2].text, view_.boxes[1].text);
  EXPECT_TRUE(IsWindow(window)) << "No keeps the dialog";

  view_.answers.push_back(IDYES);
  click(window, main_control::kExit);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(Win32DialogTest, ASendAnswersThePasswordAndTheQuestionOnTheDialogThread) {
  HWND window = start(u"english");
  const std::u16string path = test::writeNumberedDictionary(dir_.path(), "one", 40);
  view_.files.push_back(
      ScriptedView::FileAnswer{path + u'\0', static_cast<WORD>(path.rfind(u'\\') + 1)});
  click(window, main_control::kBrowse);
  fake_.setPassword(u"secret", 3);
  view_.answers.push_back(IDYES);  // the size question
  std::u16string prompt;
  view_.onModal = [&](HWND box) {
    prompt = textOf(GetDlgItem(box, password_control::kAttempts));
    SetDlgItemTextW(box, password_control::kPassword, L"secret");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  };
  click(window, main_control::kSend);
  ASSERT_TRUE(pumpUntil([&] {
    return !dialog_->jobRunning() &&
           textOf(GetDlgItem(window, main_control::kStatusLine)) == u"Ready";
  }));
  EXPECT_EQ(prompt, u"You have 3 attemptes remaining");
  ASSERT_EQ(view_.boxes.size(), 1u);
  EXPECT_EQ(view_.boxes[0].type, UINT{MB_YESNO | MB_ICONQUESTION});
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, main_control::kSend)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, main_control::kStop)));
  EXPECT_FALSE(fake_.acceptedBytes().empty());
}

// Return presses the focused button, else Browse (not the language button, which the
// template also styles as default); Browse opens where the last file came from; after a job
// the focus is back on Send.
TEST_F(Win32DialogTest, ReturnAtStartAfterABrowseAndAfterAJob) {
  using namespace main_control;
  HWND window = start(u"english");
  EXPECT_EQ(SendMessageW(window, DM_GETDEFID, 0, 0), MAKELRESULT(kBrowse, DC_HASDEFID));
  for (int id : {kSend, kStop, kLanguage}) {
    EXPECT_NE(GetWindowLongW(GetDlgItem(window, id), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON)
        << id << " is drawn as an ordinary button";
  }
  const std::u16string path = test::writeNumberedDictionary(dir_.path(), "r", 2);
  const ScriptedView::FileAnswer chosen{path + u'\0', static_cast<WORD>(path.rfind(u'\\') + 1)};
  const auto pressReturnOn = [&](int id) {
    // Through the dialog manager, as Tab moves it.
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, id)), TRUE);
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
  };
  view_.files.push_back(chosen);
  pressReturnOn(kFileBox);
  ASSERT_TRUE(pumpUntil([&] { return view_.fileRequests.size() == 1; }));
  EXPECT_EQ(textOf(GetDlgItem(window, kFileBox)), path);
  view_.files.push_back(chosen);
  pressReturnOn(kFileBox);
  ASSERT_TRUE(pumpUntil([&] { return view_.fileRequests.size() == 2; }));
  const std::u16string folder = path.substr(0, path.rfind(u'\\'));
  EXPECT_EQ(view_.fileFolders,
            (std::vector<std::wstring>{L"", std::wstring(folder.begin(), folder.end())}));

  view_.answers.push_back(IDYES);  // the size question
  pressReturnOn(kSend);
  ASSERT_TRUE(pumpUntil([&] { return !IsWindowEnabled(GetDlgItem(window, kSend)); }));
  ASSERT_TRUE(pumpUntil([&] {
    return !dialog_->jobRunning() && textOf(GetDlgItem(window, kStatusLine)) == u"Ready";
  }));
  EXPECT_FALSE(fake_.acceptedBytes().empty());
  EXPECT_EQ(GetFocus(), GetDlgItem(window, kSend));
  EXPECT_EQ(SendMessageW(window, DM_GETDEFID, 0, 0), MAKELRESULT(kBrowse, DC_HASDEFID));
  pressReturnOn(kFileBox);
  ASSERT_TRUE(pumpUntil([&] { return view_.fileRequests.size() == 3; }));
}

// WM_DROPFILES with wide names, as the shell sends it; during a job the drop is the next
// Send's selection.
TEST_F(Win32DialogTest, DroppedFilesBecomeTheSelection) {
  HWND window = start(u"english");
  const std::u16string sent = test::writeNumberedDictionary(dir_.path(), "sent", 2);
  dialog_->select({sent});
  static constexpr wchar_t kNames[] = L"C:\\d\\a b.txt\0C:\\\u00e9\u8bcd\\c.ifo\0\0";
  const std::wstring names(kNames, std::size(kNames));  // with the list's final NULs
  const HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  ASSERT_NE(drop, nullptr);
  auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
  files->pFiles = sizeof(DROPFILES);
  files->fWide = TRUE;
  std::memcpy(files + 1, names.data(), names.size() * sizeof(wchar_t));
  GlobalUnlock(drop);
  view_.answers.push_back(IDYES);  // the size question
  click(window, main_control::kSend);
  SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);  // freed by the view
  EXPECT_EQ(textOf(GetDlgItem(window, main_control::kFileBox)),
            u"C:\\d\\a b.txt;C:\\\u00e9\u8bcd\\c.ifo");
  ASSERT_TRUE(pumpUntil([&] {
    return !dialog_->jobRunning() &&
           textOf(GetDlgItem(window, main_control::kStatusLine)) == u"Ready";
  }));
  EXPECT_EQ(view_.boxes.size(), 1u) << "only the size question: the job sent the file it had";
  EXPECT_EQ(dialog_->selection().paths.size(), 2u);
}

// The job's boxes leave the dialog usable: Stop clicked while the size question is open is
// taken at once and ends the job at the Yes, nothing sent.
TEST_F(Win32DialogTest, StopDuringTheSizeQuestionEndsTheJobWithoutSending) {
  HWND window = start(u"english");
  dialog_->select({test::writeNumberedDictionary(dir_.path(), "one", 40)});
  bool asked = false;
  view_.openJobBox = [&](UINT type) {
    asked = true;
    EXPECT_EQ(type, UINT{MB_YESNO | MB_ICONQUESTION});
    PostMessageW(GetDlgItem(window, main_control::kStop), BM_CLICK, 0, 0);
    EXPECT_TRUE(pumpUntil([&] { return !dialog_->jobRunning(); }, 5s)) << "the Stop got through";
    return IDYES;
  };
  click(window, main_control::kSend);
  ASSERT_TRUE(pumpUntil([&] {
    return asked && IsWindowEnabled(GetDlgItem(window, main_control::kSend)) &&
           textOf(GetDlgItem(window, main_control::kStatusLine)) == u"Ready";
  }));
  EXPECT_EQ(view_.boxes.size(), 1u) << "the question alone: Stop found the job";
  fake_.settle();
  EXPECT_TRUE(fake_.acceptedBytes().empty());
}

// Exit while the job waits for one of its boxes (the size question, an OK box, the password
// dialog): the exit question is asked, the view closes the box, the dialog ends with the
// job ended.
TEST_F(Win32DialogTest, ExitClosesTheBoxTheJobHasOpen) {
  for (const test::JobBoxCase which : test::kJobBoxCases) {
    SCOPED_TRACE(static_cast<int>(which));
    FakeService fake;
    test::arrangeJobBox(fake, which);
    HWND window = start(u"english", fake.factory());
    dialog_->select({test::writeNumberedDictionary(dir_.path(), "one", 40)});
    view_.boxes.clear();
    view_.answers = {IDYES};  // the exit question
    int opened = 0;
    const auto exitMeanwhile = [&] {
      ++opened;
      PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    };
    view_.openJobBox = [&](UINT) {
      exitMeanwhile();
      EXPECT_TRUE(pumpUntil([&] { return view_.jobBoxClosed(); }, 5s));
      return IDNO;
    };
    view_.onModal = [&](HWND) { exitMeanwhile(); };  // the password dialog stays open
    click(window, main_control::kSend);
    ASSERT_TRUE(pumpUntil([&] { return !IsWindow(window); }));
    EXPECT_EQ(opened, 1);
    EXPECT_FALSE(dialog_->jobRunning());
    ASSERT_FALSE(view_.boxes.empty());
    EXPECT_EQ(view_.boxes.back().type, UINT{MB_YESNO | MB_ICONQUESTION}) << "the exit question";
    fake.settle();
    EXPECT_TRUE(fake.acceptedBytes().empty());
    EXPECT_FALSE(fake.channelOpen());
    dialog_.reset();
    view_.openJobBox = nullptr;
    view_.onModal = nullptr;
  }
}

// Acts from inside a real message box's loop, on a thread timer: notes whether the main
// dialog has its input while the box is up, then presses Exit. Should the box stay, it
// is ended after a while so the test fails instead of hanging.
struct RealBoxProbe {
  HWND main = nullptr;
  int ticks = 0;
  bool exitPressed = false;
  bool mainEnabled = false;
  bool endedByProbe = false;
};
RealBoxProbe* gProbe = nullptr;

void CALLBACK probeTick(HWND, UINT, UINT_PTR, DWORD) {
  RealBoxProbe& probe = *gProbe;
  ++probe.ticks;
  HWND box = FindWindowW(L"#32770", L"lexora-win32-dialog-test");
  if (!box) return;
  if (!probe.exitPressed) {
    probe.mainEnabled = IsWindowEnabled(probe.main) != FALSE;
    probe.exitPressed = true;
    PostMessageW(probe.main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  } else if (probe.ticks > 300) {
    probe.endedByProbe = true;
    EndDialog(box, IDNO);
  }
}

TEST_F(Win32DialogTest, ARealJobBoxLeavesTheDialogItsInputAndExitClosesIt) {
  HWND window = start(u"english");
  dialog_->select({test::writeNumberedDictionary(dir_.path(), "one", 40)});
  view_.realJobBoxes = true;
  view_.answers = {IDYES};  // the exit question
  RealBoxProbe probe;
  probe.main = window;
  gProbe = &probe;
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, probeTick);
  click(window, main_control::kSend);
  const bool ended = pumpUntil([&] { return !IsWindow(window); }, 30s);
  KillTimer(nullptr, timer);
  gProbe = nullptr;
  ASSERT_TRUE(ended);
  EXPECT_TRUE(probe.exitPressed);
  EXPECT_TRUE(probe.mainEnabled) << "the box took the dialog's input";
  EXPECT_FALSE(probe.endedByProbe) << "Exit did not close the box";
  EXPECT_FALSE(dialog_->jobRunning());
  fake_.settle();
  EXPECT_TRUE(fake_.acceptedBytes().empty());
}

// The cut-off warning of an Exit in the middle of a send has no owner: the dialog is gone.
TEST_F(Win32DialogTest, ExitInTheMiddleOfASendWarnsWithoutOwner) {
  HWND window = start(u"english");
  // Many blocks: each block's status waits for this thread, so Exit comes blocks before the
  // last one however the threads are scheduled.
  dialog_->select({test::writeNumberedDictionary(dir_.path(), "long", 5000)});
  view_.answers = {IDYES, IDYES};  // the size question, the exit question
  click(window, main_control::kSend);
  ASSERT_TRUE(pumpUntil([&] {
    return textOf(GetDlgItem(window, main_control::kStatusLine)).find(u'%') != std::u16string::npos;
  }));
  click(window, main_control::kExit);
  EXPECT_FALSE(IsWindow(window));
  ASSERT_EQ(view_.boxes.size(), 3u);
  EXPECT_EQ(view_.boxes[2].owner, nullptr);
  EXPECT_EQ(view_.boxes[2].type, UINT{MB_OK | MB_ICONWARNING});
  EXPECT_NE(view_.boxes[2].text.find(u"long"), std::u16string::npos);
}

// A minimised window has no client area under Wine to look at: the drawing is checked on a
// bitmap of the same kind, the drag icon on the live dialog.
TEST_F(Win32DialogTest, MinimisedTheIconIsDrawnCentredAndDragged) {
  HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
  ScriptedView view(icon);
  CLexoraDlg dialog(view, fake_.factory());
  view.attach(dialog);
  HWND window = view.createModeless(mainDialogTemplate(GetUiLanguage()));
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(window, WM_QUERYDRAGICON, 0, 0)), icon);
  DestroyWindow(window);

  const RECT area{0, 0, 101, 77};
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, area.right, area.bottom);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  Win32DialogView::drawIconCentred(dc, area, icon);
  RECT drawn{area.right, area.bottom, -1, -1};
  for (int y = 0; y < area.bottom; ++y) {
    for (int x = 0; x < area.right; ++x) {
      if (GetPixel(dc, x, y) == RGB(255, 255, 255)) continue;
      drawn = {std::min<LONG>(drawn.left, x), std::min<LONG>(drawn.top, y),
               std::max<LONG>(drawn.right, x), std::max<LONG>(drawn.bottom, y)};
    }
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ASSERT_LE(drawn.left, drawn.right) << "nothing drawn";
  // Centred to the pixel within the icon's cell (an icon's image may leave a margin).
  const int cellLeft = (area.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int cellTop = (area.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
  EXPECT_GE(drawn.left, cellLeft);
  EXPECT_GE(drawn.top, cellTop);
  EXPECT_LT(drawn.right, cellLeft + GetSystemMetrics(SM_CXICON));
  EXPECT_LT(drawn.bottom, cellTop + GetSystemMetrics(SM_CYICON));
  EXPECT_NEAR(drawn.left + drawn.right, area.right - 1, 4) << "left and right margins alike";
  EXPECT_NEAR(drawn.top + drawn.bottom, area.bottom - 1, 4) << "top and bottom margins alike";
}

// Progress reaches the taskbar where the shell has the object and is only recorded where it
// has not (Wine may lack it): either way nothing fails, a whole send leaves it cleared, and
// the flash for a long job's end is harmless.
TEST_F(Win32DialogTest, ProgressAndTheEndOfAJobCopeWithOrWithoutTheTaskbar) {
  HWND window = start(u"english");
  view_.showProgress(ProgressState::Normal, 40);
  EXPECT_EQ(view_.progressState(), ProgressState::Normal);
  EXPECT_EQ(view_.progressPercent(), 40);
  view_.showProgress(ProgressState::Failed, 40);
  EXPECT_EQ(view_.progressState(), ProgressState::Failed);
  std::cout << "taskbar progress " << (view_.taskbarProgressAvailable() ? "shown" : "absent")
            << "\n";

  const std::u16string path = test::writeNumberedDictionary(dir_.path(), "one", 60);
  view_.files.push_back(
      ScriptedView::FileAnswer{path + u'\0', static_cast<WORD>(path.rfind(u'\\') + 1)});
  click(window, main_control::kBrowse);
  view_.answers.push_back(IDYES);
  click(window, main_control::kSend);
  ASSERT_TRUE(pumpUntil([&] { return !dialog_->jobRunning(); }));
  EXPECT_EQ(view_.progressState(), ProgressState::None);
  EXPECT_FALSE(fake_.acceptedBytes().empty());

  view_.windowActive();
  view_.notifyJobEnded(u"Lexora: the transfer has ended.");
  EXPECT_TRUE(IsWindow(window));
}

}  // namespace
}  // namespace lexora
