// lexora-cli.exe writing to a console of its own, as a user's command prompt: what the
// console shows afterwards is read back from its screen buffer.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/text_codec.h"
#include "support/own_console_win32.h"
#include "support/run_program.h"
#include "support/test_support.h"

namespace lexora {
namespace {

const std::string kCli = test::builtProgram("src/cli/lexora-cli");

std::wstring wide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

// Runs lexora-cli.exe with `console` as its three streams; its exit status.
int runInConsole(const test::OwnConsole& console, const std::vector<std::u16string>& arguments) {
  std::wstring line = L"\"" + wide(utf8ToUtf16(kCli)) + L"\"";
  for (const std::u16string& argument : arguments) line += L" \"" + wide(argument) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = console.input();
  startup.hStdOutput = console.output();
  startup.hStdError = console.output();
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

// Every row down to the cursor's, each ending in a line feed.
std::u16string shownIn(const test::OwnConsole& console) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(console.output(), &info)) return u"";
  std::u16string text;
  for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
    text += test::consoleRow(console.output(), y);
    text += u'\n';
  }
  return text;
}

TEST(CliInAConsole, ChineseStatusLinesPathsAndReportsShowAndNoEscapeSequence) {
  test::TempDir dir;
  const std::filesystem::path source = dir.path() / std::filesystem::path(u"牛津词典.txt");
  test::writeFile(source, "tea\t\xE8\x8C\xB6\ncoffee\tanother\n");
  test::OwnConsole console;
  if (!console.usable()) GTEST_SKIP() << "no console could be made";
  const std::u16string path(source.u16string());
  ASSERT_EQ(runInConsole(console, {u"--lang", u"zh", u"pack", path, u"-o",
                                   (dir.path() / "out.lxp").u16string()}),
            0)
      << utf16ToUtf8(shownIn(console));
  ASSERT_EQ(runInConsole(console, {u"--lang", u"zh", u"info", path}), 0)
      << utf16ToUtf8(shownIn(console));
  const std::u16string shown = shownIn(console);
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
