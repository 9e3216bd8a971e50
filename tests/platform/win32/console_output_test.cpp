// What a console shows of Lexora's output, read back from a screen buffer of the test's own
// (never made active, so nothing of it is shown), and what a file receives.
#include "platform/win32/console_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/text_codec.h"
#include "support/own_console_win32.h"
#include "support/test_support.h"

namespace lexora {
namespace {

class ConsoleOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!console_.usable()) GTEST_SKIP() << "no console could be made";
    buffer_ =
        CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    ASSERT_NE(buffer_, INVALID_HANDLE_VALUE) << GetLastError();
  }
  void TearDown() override {
    if (buffer_ != INVALID_HANDLE_VALUE) CloseHandle(buffer_);
  }

  SHORT cursorRow() const {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(buffer_, &info);
    return info.dwCursorPosition.Y;
  }

  std::u16string row(SHORT y) const { return test::consoleRow(buffer_, y); }

  test::OwnConsole console_;
  HANDLE buffer_ = INVALID_HANDLE_VALUE;
};

TEST_F(ConsoleOutputTest, ChineseStatusLinesPathsAndResultsShowAsWritten) {
  const SHORT start = cursorRow();
  ASSERT_TRUE(writeTextTo(buffer_, stderr, "加载词典文件 C:\\词典\\牛津.txt...成功\n"));
  ASSERT_TRUE(writeTextTo(buffer_, stderr, "  词条数：19 \xF0\x9F\x93\x96\n"));
  const std::u16string first = row(start);
  const std::u16string second = row(static_cast<SHORT>(start + 1));
  // A character that takes two cells may be read back twice; none may be a stand-in.
  for (const std::u16string& shown : {first, second}) {
    EXPECT_EQ(shown.find(u'\uFFFD'), std::u16string::npos) << utf16ToUtf8(shown);
  }
  for (const std::u16string_view expected : {u"加", u"牛津", u".txt...", u"成功"}) {
    EXPECT_NE(first.find(expected), std::u16string::npos) << utf16ToUtf8(first);
  }
  EXPECT_NE(second.find(u"19"), std::u16string::npos) << utf16ToUtf8(second);
}

TEST_F(ConsoleOutputTest, AStatusRowIsRewrittenWithoutEscapeSequencesShowing) {
  const SHORT start = cursorRow();
  ASSERT_TRUE(rewriteConsoleRow(buffer_, stderr, "Send dictionary oxford... [######..........]"));
  ASSERT_TRUE(rewriteConsoleRow(buffer_, stderr, "发送 Ready"));
  EXPECT_EQ(cursorRow(), start) << "the same row, not a new one";
  const std::u16string shown = row(start);
  EXPECT_EQ(shown.find(u'\x1b'), std::u16string::npos);
  EXPECT_EQ(shown.find(u"[K"), std::u16string::npos);
  EXPECT_EQ(shown.find(u"oxford"), std::u16string::npos) << "the longer text is cleared";
  EXPECT_NE(shown.find(u"Ready"), std::u16string::npos) << utf16ToUtf8(shown);
  EXPECT_FALSE(rewriteConsoleRow(INVALID_HANDLE_VALUE, stderr, "x"));
}

TEST(ConsoleOutput, RedirectedOutputStaysUtf8) {
  test::TempDir dir;
  const std::filesystem::path path = dir / "out.txt";
  std::FILE* file = _wfopen(path.c_str(), L"wb");
  ASSERT_NE(file, nullptr);
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  EXPECT_FALSE(isConsoleHandle(handle));
  const std::string text = "词条数：19\n";
  EXPECT_TRUE(writeTextTo(handle, file, text));
  std::fclose(file);
  EXPECT_EQ(test::readFile(path), text);
}

}  // namespace
}  // namespace lexora
