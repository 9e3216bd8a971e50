#include "app/win32/win32_dialog_view.h"

#include <commdlg.h>
#include <shellapi.h>

#include "app/file_selection.h"
#include "app/lexora_dialog.h"
#include "app/win32/about_box.h"
#include "app/win32/dialog_resource.h"
#include "app/win32/password_dialog.h"
#include "app/win32/window_placement.h"
#include "base/text_codec.h"
#include "platform/application.h"
#include "platform/path_text.h"

namespace lexora {
namespace {

// The posted call that carries the job's requests onto the dialog's thread.
constexpr UINT kRunPosted = WM_APP;

std::wstring wide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

std::u16string windowText(HWND window) {
  if (!window) return {};
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return std::u16string(text.begin(), text.end());
}

std::vector<int> childIds(HWND dialog) {
  std::vector<int> ids;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    ids.push_back(GetDlgCtrlID(child));
  }
  return ids;
}

// A temporary instance of a template's dialog: created hidden (the templates carry no
// WS_VISIBLE), read, and destroyed.
INT_PTR CALLBACK inertProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

UINT boxType(MessageIcon icon, MessageButtons buttons) {
  UINT type = buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK;
  switch (icon) {
    case MessageIcon::Warning:
      return type | MB_ICONWARNING;
    case MessageIcon::Information:
      return type | MB_ICONINFORMATION;
    case MessageIcon::Question:
      return type | MB_ICONQUESTION;
  }
  return type;
}

MessageAnswer answerOf(int result) {
  switch (result) {
    case IDYES:
      return MessageAnswer::Yes;
    case IDNO:
      return MessageAnswer::No;
    default:
      return MessageAnswer::Ok;
  }
}

// The job's message box being opened on this thread. MessageBoxW disables its owner; a CBT
// hook finds the box when it is first activated and gives the owner its input back.
struct OpeningBox {
  HWND owner;
  bool enableOwner;  // the owner had its input before (no modal box of the user's is open)
  HWND* window;
};
thread_local OpeningBox* tOpeningBox = nullptr;

LRESULT CALLBACK findOpeningBox(int code, WPARAM wParam, LPARAM lParam) {
  OpeningBox* opening = tOpeningBox;
  if (code == HCBT_ACTIVATE && opening && !*opening->window) {
    const auto window = reinterpret_cast<HWND>(wParam);
    if (GetWindow(window, GW_OWNER) == opening->owner) {
      *opening->window = window;
      if (opening->enableOwner) EnableWindow(opening->owner, TRUE);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The hook for the time one box is open; boxes opened inside it nest.
class OpeningBoxHook {
 public:
  explicit OpeningBoxHook(OpeningBox& box)
      : previous_(tOpeningBox),
        hook_(SetWindowsHookExW(WH_CBT, findOpeningBox, nullptr, GetCurrentThreadId())) {
    tOpeningBox = &box;
  }
  ~OpeningBoxHook() {
    if (hook_) UnhookWindowsHookEx(hook_);
    tOpeningBox = previous_;
  }
  OpeningBoxHook(const OpeningBoxHook&) = delete;
  OpeningBoxHook& operator=(const OpeningBoxHook&) = delete;

 private:
  OpeningBox* const previous_;
  const HHOOK hook_;
};

}  // namespace

Win32DialogView::Win32DialogView(HINSTANCE instance, HICON icon)
    : instance_(instance), icon_(icon) {}

Win32DialogView::~Win32DialogView() {
  if (HWND window = window_.exchange(nullptr)) DestroyWindow(window);
}

INT_PTR Win32DialogView::runModal(const DialogTemplate& dialog) {
  const std::vector<uint16_t> resource = buildDialogResource(dialog);
  modal_ = true;
  return DialogBoxIndirectParamW(instance_, reinterpret_cast<LPCDLGTEMPLATEW>(resource.data()),
                                 nullptr, dialogProc, reinterpret_cast<LPARAM>(this));
}

HWND Win32DialogView::createModeless(const DialogTemplate& dialog) {
  const std::vector<uint16_t> resource = buildDialogResource(dialog);
  modal_ = false;
  return CreateDialogIndirectParamW(instance_, reinterpret_cast<LPCDLGTEMPLATEW>(resource.data()),
                                    nullptr, dialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK Win32DialogView::dialogProc(HWND dialog, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    reinterpret_cast<Win32DialogView*>(lParam)->window_ = dialog;
  }
  auto* view = reinterpret_cast<Win32DialogView*>(GetWindowLongPtrW(dialog, DWLP_USER));
  return view ? view->handle(message, wParam, lParam) : FALSE;
}

INT_PTR Win32DialogView::handle(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      initDialog();
      return TRUE;
    case WM_SYSCOMMAND:
      return controller_ && controller_->systemCommand(static_cast<int>(wParam)) ? TRUE : FALSE;
    case WM_PAINT:
      return paintMinimised() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(icon_);
    case WM_COMMAND:
      // Buttons, and IDCANCEL for Escape and the close box; notifications from the edits
      // (focus, changes) are not commands.
      if (HIWORD(wParam) == BN_CLICKED && controller_) controller_->command(LOWORD(wParam));
      return TRUE;
    case kRunPosted:
      runPosted();
      return TRUE;
    case WM_DROPFILES:
      dropFiles(reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case WM_DESTROY:
      window_ = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

void Win32DialogView::initDialog() {
  const HWND window = window_.load();
  centreWindow(window, nullptr);
  if (HMENU menu = GetSystemMenu(window, FALSE)) {
    const std::u16string_view about = CLexoraDlg::systemMenuAboutText();
    if (!about.empty()) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(menu, MF_STRING, kSystemMenuAboutCommand, wide(about).c_str());
    }
  }
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  DragAcceptFiles(window, TRUE);
  if (!controller_) return;
  controller_->initDialog();
  if (!selectAtStart_.empty()) {
    std::vector<std::filesystem::path> paths;
    for (const std::u16string& text : selectAtStart_) paths.push_back(pathFromText(text));
    controller_->select(std::move(paths));
  }
}

bool Win32DialogView::paintMinimised() {
  const HWND window = window_.load();
  if (!IsIconic(window)) return false;
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(window, &paint);
  SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(window, &client);
  drawIconCentred(dc, client, icon_);
  EndPaint(window, &paint);
  return true;
}

void Win32DialogView::drawIconCentred(HDC dc, const RECT& area, HICON icon) {
  const int iconWidth = GetSystemMetrics(SM_CXICON);
  const int iconHeight = GetSystemMetrics(SM_CYICON);
  DrawIcon(dc, area.left + (area.right - area.left - iconWidth + 1) / 2,
           area.top + (area.bottom - area.top - iconHeight + 1) / 2, icon);
}

void Win32DialogView::setControlText(int id, std::u16string_view text) {
  SetDlgItemTextW(window_.load(), id, wide(text).c_str());
}

std::u16string Win32DialogView::controlText(int id) const {
  return windowText(GetDlgItem(window_.load(), id));
}

void Win32DialogView::enableControl(int id, bool enabled) {
  EnableWindow(GetDlgItem(window_.load(), id), enabled ? TRUE : FALSE);
}

void Win32DialogView::setTitle(std::u16string_view title) {
  SetWindowTextW(window_.load(), wide(title).c_str());
}

std::vector<int> Win32DialogView::controlIds() const {
  return childIds(window_.load());
}

DialogTexts Win32DialogView::dialogTexts(const DialogTemplate& dialog) {
  const std::vector<uint16_t> resource = buildDialogResource(dialog);
  const HWND instance = CreateDialogIndirectParamW(
      instance_, reinterpret_cast<LPCDLGTEMPLATEW>(resource.data()), nullptr, inertProc, 0);
  if (!instance) return templateTexts(dialog);
  DialogTexts texts;
  texts.title = windowText(instance);
  for (int id : childIds(instance)) {
    if (id != 0 && id != kNoControlId) texts.controls[id] = windowText(GetDlgItem(instance, id));
  }
  DestroyWindow(instance);
  return texts;
}

int Win32DialogView::messageBox(HWND owner, std::u16string_view text, std::u16string_view caption,
                                UINT type) {
  return MessageBoxW(owner, wide(text).c_str(), wide(caption).c_str(), type);
}

MessageAnswer Win32DialogView::showMessage(std::u16string_view text, MessageIcon icon,
                                           MessageButtons buttons) {
  return answerOf(
      messageBox(window_.load(), text, utf8ToUtf16(applicationName()), boxType(icon, buttons)));
}

bool Win32DialogView::runOpenFileDialog(OPENFILENAMEW& request) {
  return GetOpenFileNameW(&request) != FALSE;
}

std::optional<std::vector<std::u16string>> Win32DialogView::openFiles(
    const OpenFileRequest& request) {
  // Pairs of description and pattern, each NUL-terminated; an empty description ends them.
  std::wstring filters;
  for (const FileDialogFilter& filter : request.filters) {
    filters += wide(filter.description) + L'\0' + wide(filter.pattern) + L'\0';
  }
  filters += L'\0';
  const std::wstring title = wide(request.title);
  std::vector<wchar_t> buffer(kOpenFileBufferCharacters, L'\0');
  OPENFILENAMEW dialog{};
  // The structure's full size on this system (88 bytes is the 32-bit one).
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_.load();
  dialog.lpstrFilter = filters.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.lpstrTitle = title.c_str();
  const std::wstring initialFolder = wide(request.initialFolder);
  if (!initialFolder.empty()) dialog.lpstrInitialDir = initialFolder.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  if (!runOpenFileDialog(dialog)) return std::nullopt;
  return parseOpenFileBuffer(
      std::u16string_view(reinterpret_cast<const char16_t*>(buffer.data()), buffer.size()),
      dialog.nFileOffset);
}

INT_PTR Win32DialogView::runModalDialog(const DialogTemplate& dialog, HWND owner, DLGPROC procedure,
                                        ModalDialogState& state) {
  const std::vector<uint16_t> resource = buildDialogResource(dialog);
  return DialogBoxIndirectParamW(instance_, reinterpret_cast<LPCDLGTEMPLATEW>(resource.data()),
                                 owner, procedure, reinterpret_cast<LPARAM>(&state));
}

void Win32DialogView::showAbout(const DialogTemplate& dialog) {
  AboutBoxState state;
  state.icon = icon_;
  runModalDialog(dialog, window_.load(), aboutBoxProc, state);
}

std::optional<std::u16string> Win32DialogView::askPassword(const DialogTemplate& dialog,
                                                           std::u16string_view prompt) {
  PasswordDialogState state;
  state.prompt = prompt;
  // Owned by nobody (below), yet it answers for the main dialog: it opens over it.
  state.centredOver = window_.load();
  JobBox box;
  box.dialog = &state;
  jobBoxes_.push_back(&box);
  // Owned by nobody, as the framework's default owner of a dialog started off the main
  // window's message map would be: the main dialog keeps its input.
  const INT_PTR result = runModalDialog(dialog, nullptr, passwordDialogProc, state);
  std::erase(jobBoxes_, &box);
  if (result != IDOK || box.closed) return std::nullopt;
  return state.answer;
}

int Win32DialogView::jobMessageBox(HWND owner, std::u16string_view text,
                                   std::u16string_view caption, UINT type) {
  return messageBox(owner, text, caption, type);
}

MessageAnswer Win32DialogView::showJobMessage(std::u16string_view text, MessageIcon icon,
                                              MessageButtons buttons) {
  const HWND owner = window_.load();
  JobBox box;
  jobBoxes_.push_back(&box);
  OpeningBox opening{owner, owner && IsWindowEnabled(owner), &box.window};
  int result;
  {
    OpeningBoxHook hook(opening);
    result = jobMessageBox(owner, text, utf8ToUtf16(applicationName()), boxType(icon, buttons));
  }
  std::erase(jobBoxes_, &box);
  return answerOf(result);
}

void Win32DialogView::closeJobBoxes() {
  // Each box's loop ends once this thread is back in it; the answer it then returns is no
  // longer wanted.
  for (JobBox* box : jobBoxes_) {
    box->closed = true;
    if (box->dialog) {
      if (box->dialog->window && !box->dialog->ended) {
        endModalDialog(box->dialog->window, *box->dialog, IDCANCEL);
      }
    } else if (box->window) {
      EndDialog(box->window, IDCANCEL);
    }
  }
}

MessageAnswer Win32DialogView::showOwnerlessMessage(std::u16string_view text, MessageIcon icon,
                                                    MessageButtons buttons) {
  return answerOf(
      messageBox(nullptr, text, utf8ToUtf16(applicationName()), boxType(icon, buttons)));
}

void Win32DialogView::endDialog() {
  const HWND window = window_.load();
  if (!window) return;
  if (modal_) {
    EndDialog(window, IDCANCEL);
  } else {
    DestroyWindow(window);
  }
}

void Win32DialogView::postToDialogThread(std::function<void()> call) {
  std::lock_guard lock(mutex_);
  const HWND window = window_.load();
  if (!window) return;  // the dialog has ended: dropped, as the interface allows
  posted_.push_back(std::move(call));
  PostMessageW(window, kRunPosted, 0, 0);
}

int Win32DialogView::focusedControl() const {
  const HWND focus = GetFocus();
  const HWND window = window_.load();
  if (!focus || !window || GetParent(focus) != window) return 0;
  return GetDlgCtrlID(focus);
}

void Win32DialogView::focusControl(int id) {
  const HWND window = window_.load();
  // Setting the focus would activate the dialog while the user works elsewhere; there the
  // dialog manager gives the control it remembers the focus when the dialog is reactivated.
  if (!window || GetActiveWindow() != window) return;
  // Through the dialog manager, which also moves the default-button look with the focus.
  if (HWND control = GetDlgItem(window, id)) {
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
  }
}

void Win32DialogView::setDefaultButton(int id) {
  const HWND window = window_.load();
  if (!window) return;
  SendMessageW(window, DM_SETDEFID, static_cast<WPARAM>(id), 0);
  // The templates give several buttons the default style, and the dialog manager keeps the
  // last one created as its default: each other button is drawn as an ordinary one, except
  // a focused one, which Return presses and which the dialog manager draws as the default.
  const HWND focus = GetFocus();
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (child == focus || GetDlgCtrlID(child) == id) continue;
    if (SendMessageW(child, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) {
      SendMessageW(child, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    }
  }
}

void Win32DialogView::dropFiles(HDROP drop) {
  std::vector<std::filesystem::path> files;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring name(static_cast<size_t>(length) + 1, L'\0');
    if (DragQueryFileW(drop, i, name.data(), length + 1) != length) continue;
    name.resize(length);
    files.push_back(pathFromText(std::u16string(name.begin(), name.end())));
  }
  DragFinish(drop);
  if (controller_ && !files.empty()) controller_->drop(std::move(files));
}

void Win32DialogView::runPosted() {
  std::deque<std::function<void()>> calls;
  {
    std::lock_guard lock(mutex_);
    calls.swap(posted_);
  }
  for (auto& call : calls) call();
}

void Win32DialogView::showProgress(ProgressState state, int percent) {
  progressState_ = state;
  progressPercent_ = percent;
  if (!taskbar_) taskbar_ = std::make_unique<TaskbarProgress>();
  taskbar_->show(window_.load(), state, percent);
}

// Active while any window of this program is in front: the main dialog or one of its boxes.
bool Win32DialogView::windowActive() const {
  const HWND foreground = GetForegroundWindow();
  DWORD process = 0;
  if (foreground) GetWindowThreadProcessId(foreground, &process);
  return foreground && process == GetCurrentProcessId();
}

// The taskbar button flashes until the window comes to the front; it has no text to show.
void Win32DialogView::notifyJobEnded(std::u16string_view /*text*/) {
  const HWND window = window_.load();
  if (!window) return;
  FLASHWINFO flash{};
  flash.cbSize = sizeof flash;
  flash.hwnd = window;
  flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
  FlashWindowEx(&flash);
}

}  // namespace lexora
