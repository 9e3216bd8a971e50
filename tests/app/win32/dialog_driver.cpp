// Drives Lexora.exe from outside, as a user would: starts it with a dictionary named on its
// command line, presses Send, answers Yes to the size question (and the password box with
// the given password, when the handheld asks), waits for the job to end and presses Exit.
// Every box the program shows is printed. Succeeds when the question was answered, no other
// box but the password box came up, every message box was captioned with the program's name
// and the program ended by itself with status 0.
//
// usage: lexora_dialog_driver.exe LEXORA_EXE DICTIONARY [PASSWORD]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <thread>

#include "app/dialog_templates.h"
#include "base/text_codec.h"

namespace lexora {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The static control that carries a message box's text.
constexpr int kMessageBoxText = 0xFFFF;

std::u16string textOf(HWND window) {
  // WM_GETTEXT is carried across processes; GetWindowText is not, for other processes'
  // controls.
  const auto length = static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const auto copied = static_cast<size_t>(
      SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()), copied);
}

void print(const char* label, std::u16string_view text) {
  std::printf("%s: %s\n", label, utf16ToUtf8(text).c_str());
  std::fflush(stdout);
}

bool isDialogWindow(HWND window) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  return std::wstring_view(name) == L"#32770";
}

struct ProcessWindows {
  DWORD processId;
  std::set<HWND> found;
};

BOOL CALLBACK collectDialog(HWND window, LPARAM parameter) {
  auto* in = reinterpret_cast<ProcessWindows*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == in->processId && IsWindowVisible(window) && isDialogWindow(window)) {
    in->found.insert(window);
  }
  return TRUE;
}

// The visible dialogs (the main dialog and the boxes) of one process.
std::set<HWND> dialogsOf(DWORD processId) {
  ProcessWindows windows{processId, {}};
  EnumWindows(collectDialog, reinterpret_cast<LPARAM>(&windows));
  return windows.found;
}

void press(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

class Driver {
 public:
  Driver(std::wstring program, std::wstring dictionary, std::wstring password)
      : program_(std::move(program)),
        dictionary_(std::move(dictionary)),
        password_(std::move(password)) {}
  ~Driver() {
    if (process_.hProcess) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 99);
      }
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
  }
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  bool run() {
    std::wstring commandLine = L"\"" + program_ + L"\" \"" + dictionary_ + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process_)) {
      return fail("Lexora.exe could not be started");
    }
    if (!findMainDialog()) {
      DWORD status = 0;
      GetExitCodeProcess(process_.hProcess, &status);
      std::printf("process status %lu, dialogs %zu\n", status,
                  dialogsOf(process_.dwProcessId).size());
      return fail("the dialog never opened");
    }
    const std::u16string named = textOf(GetDlgItem(main_, main_control::kFileBox));
    print("file box", named);
    if (named.find(reinterpret_cast<const char16_t*>(dictionary_.c_str())) ==
        std::u16string::npos) {
      return fail("the dictionary named on the command line is not in the file box");
    }

    press(main_, main_control::kSend);
    if (!followTheJob()) return false;
    print("status", textOf(GetDlgItem(main_, main_control::kStatusLine)));

    // Exit asks first.
    press(main_, main_control::kExit);
    if (!answerTheExitQuestion()) return fail("Exit asked nothing");
    if (WaitForSingleObject(process_.hProcess, 30000) != WAIT_OBJECT_0) {
      for (HWND box : dialogsOf(process_.dwProcessId))
        print("still open", textOf(GetDlgItem(box, kMessageBoxText)));
      return fail("Lexora.exe did not end after Exit");
    }
    DWORD status = 0;
    GetExitCodeProcess(process_.hProcess, &status);
    std::printf("exit status: %lu\n", status);
    return status == 0 && ok_ && askedToSend_;
  }

 private:
  bool fail(const char* why) {
    std::printf("FAILED: %s\n", why);
    std::fflush(stdout);
    return false;
  }

  // The first dialog of the process for which `wanted` holds, waited for up to `limit`;
  // null when none came.
  template <typename Wanted>
  HWND waitForDialog(std::chrono::seconds limit, Wanted wanted) {
    for (const auto end = Clock::now() + limit; Clock::now() < end;) {
      for (HWND dialog : dialogsOf(process_.dwProcessId)) {
        if (wanted(dialog)) return dialog;
      }
      std::this_thread::sleep_for(50ms);
    }
    return nullptr;
  }

  bool findMainDialog() {
    main_ = waitForDialog(60s, [](HWND dialog) {
      return GetDlgItem(dialog, main_control::kSend) && GetDlgItem(dialog, main_control::kStop);
    });
    return main_ != nullptr;
  }

  bool answerTheExitQuestion() {
    HWND box = waitForDialog(
        30s, [this](HWND dialog) { return dialog != main_ && GetDlgItem(dialog, IDYES); });
    if (box) press(box, IDYES);
    return box != nullptr;
  }

  // Answers each box as it comes up, until the job has ended: every job shows a box (the
  // size question or why it failed), and the Stop button is disabled again at its end.
  bool followTheJob() {
    for (const auto end = Clock::now() + 300s; Clock::now() < end;) {
      for (HWND box : dialogsOf(process_.dwProcessId)) {
        if (box != main_ && answered_.insert(box).second) answer(box);
      }
      if (!answered_.empty() && !IsWindowEnabled(GetDlgItem(main_, main_control::kStop)) &&
          dialogsOf(process_.dwProcessId).size() == 1) {
        return true;
      }
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) {
        return fail("Lexora.exe ended during the job");
      }
      std::this_thread::sleep_for(50ms);
    }
    return fail("the job did not end within 300 s");
  }

  void answer(HWND box) {
    if (GetDlgItem(box, password_control::kPassword)) {
      print("password box", textOf(GetDlgItem(box, password_control::kAttempts)));
      if (password_.empty()) {
        ok_ = false;
        press(box, password_control::kCancel);
        return;
      }
      SendMessageW(GetDlgItem(box, password_control::kPassword), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(password_.c_str()));
      press(box, password_control::kOk);
      return;
    }
    // Message boxes are captioned with the program file's name, whatever the language.
    const std::u16string caption = textOf(box);
    if (caption != u"Lexora") {
      print("a message box captioned", caption);
      ok_ = false;
    }
    const std::u16string text = textOf(GetDlgItem(box, kMessageBoxText));
    if (GetDlgItem(box, IDYES)) {
      print("question", text);
      askedToSend_ = true;
      press(box, IDYES);
      return;
    }
    print("message", text);
    ok_ = false;
    press(box, IDOK);
  }

  std::wstring program_;
  std::wstring dictionary_;
  std::wstring password_;
  PROCESS_INFORMATION process_{};
  HWND main_ = nullptr;
  std::set<HWND> answered_;
  bool askedToSend_ = false;
  bool ok_ = true;
};

}  // namespace
}  // namespace lexora

int wmain(int argc, wchar_t** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: lexora_dialog_driver.exe LEXORA_EXE DICTIONARY [PASSWORD]\n");
    return 2;
  }
  lexora::Driver driver(argv[1], argv[2], argc == 4 ? argv[3] : L"");
  return driver.run() ? 0 : 1;
}
