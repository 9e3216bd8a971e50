// lexora-cli.exe writing to a console of its own, as a user's command prompt: what the
// console shows afterwards is read back from its screen buffer.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/text_codec.h"
#include "support/console_row_win32.h"
#include "support/run_program.h"
#include "support/test_support.h"

namespace lexora {
namespace {

const std::string kCli = test::builtProgram("src/cli/lexora-cli");

std::wstring wide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

// A console of this test's own (Wine: its window console), left when the test ends; the
// standard handles are put back as they were.
class OwnConsole {
 public:
  OwnConsole() {
    for (int i = 0; i < 3; ++i) saved_[i] = GetStdHandle(kStandard[i]);
    FreeConsole();
    if (!AllocConsole()) return;
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    output_ =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherited, OPEN_EXISTING, 0, nullptr);
    input_ = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
  }
  ~OwnConsole() {
    if (output_ != INVALID_HANDLE_VALUE) CloseHandle(output_);
    if (input_ != INVALID_HANDLE_VALUE) CloseHandle(input_);
    FreeConsole();
    for (int i = 0; i < 3; ++i) SetStdHandle(kStandard[i], saved_[i]);
  }
  OwnConsole(const OwnConsole&) = delete;
  OwnConsole& operator=(const OwnConsole&) = delete;

  bool usable() const { return output_ != INVALID_HANDLE_VALUE && input_ != INVALID_HANDLE_VALUE; }

  // Runs lexora-cli.exe with the console as its three streams; its exit status.
  int run(const std::vector<std::u16string>& arguments) {
    std::wstring line = L"\"" + wide(utf8ToUtf16(kCli)) + L"\"";
    for (const std::u16string& argument : arguments) line += L" \"" + wide(argument) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input_;
    startup.hStdOutput = output_;
    startup.hStdError = output_;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
      return -1;
    }
    DWORD code = 1;
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) code = 255;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
  }

  // Every row down to the cursor's, trailing blanks dropped, each ending in a line feed.
  std::u16string shown() const {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(output_, &info)) return u"";
    std::u16string text;
    for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
      text += test::consoleRow(output_, y);
      text += u'\n';
    }
    return text;
  }

 private:
  static constexpr DWORD kStandard[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  HANDLE saved_[3] = {};
  HANDLE output_ = INVALID_HANDLE_VALUE;
  HANDLE input_ = INVALID_HANDLE_VALUE;
};

TEST(CliInAConsole, ChineseStatusLinesPathsAndReportsShowAndNoEscapeSequence) {
  test::TempDir dir;
  const std::filesystem::path source = dir.path() / std::filesystem::path(u"牛津词典.txt");
  test::writeFile(source, "tea\t\xE8\x8C\xB6\ncoffee\tanother\n");
  OwnConsole console;
  if (!console.usable()) GTEST_SKIP() << "no console could be made";
  const std::u16string path(source.u16string());
  ASSERT_EQ(
      console.run({u"--lang", u"zh", u"pack", path, u"-o", (dir.path() / "out.lxp").u16string()}),
      0)
      << utf16ToUtf8(console.shown());
  ASSERT_EQ(console.run({u"--lang", u"zh", u"info", path}), 0) << utf16ToUtf8(console.shown());
  const std::u16string shown = console.shown();
  SCOPED_TRACE(utf16ToUtf8(shown));
  EXPECT_EQ(shown.find(u'\uFFFD'), std::u16string::npos) << "characters lost on the way";
  EXPECT_EQ(shown.find(u'\x1b'), std::u16string::npos);
  EXPECT_EQ(shown.find(u"[K"), std::u16string::npos);
  // A character two cells wide may read back twice: each is looked for on its own.
  for (const std::u16string_view expected : {u"牛", u"津", u"成", u"功", u"词", u"条", u"数"}) {
    EXPECT_NE(shown.find(expected), std::u16string::npos) << utf16ToUtf8(expected);
  }
}

}  // namespace
}  // namespace lexora
