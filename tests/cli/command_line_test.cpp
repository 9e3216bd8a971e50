// Reading lexora-cli's command line only describes it: the process-wide choices it names are
// left for the caller to make.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/text_codec.h"
#include "platform/ansi_code_page.h"
#include "support/test_support.h"

namespace lexora {
namespace {

TEST(CommandLine, LanguageAndCodePageAreRecordedNotApplied) {
  const UiLanguage language = GetUiLanguage();
  const UiLanguage other = otherLanguage(language);
  const std::string page = ansiCodePage().name() == "CP936" ? "CP1252" : "CP936";
  const char* const argv[] = {"lexora-cli",
                              other == UiLanguage::Chinese ? "--lang=zh" : "--lang=en",
                              "--ansi-code-page",
                              page.c_str(),
                              "info",
                              "f"};
  const ParsedCommandLine parsed = parseCommandLine(6, argv);
  EXPECT_EQ(parsed.action, ParsedCommandLine::Action::Run);
  EXPECT_EQ(parsed.line.language, other);
  EXPECT_EQ(parsed.line.ansiCodePage, page);
  EXPECT_EQ(GetUiLanguage(), language);
  EXPECT_NE(ansiCodePage().name(), page);

  // A code page the system does not know is a usage error and is not recorded.
  const char* const unknown[] = {"lexora-cli", "--ansi-code-page", "NO-SUCH-PAGE", "info", "f"};
  const ParsedCommandLine refused = parseCommandLine(5, unknown);
  EXPECT_EQ(refused.action, ParsedCommandLine::Action::UsageError);
  EXPECT_FALSE(refused.line.ansiCodePage);
}

// Where send refuses --device, the help must not offer it, and must lose nothing else.
TEST(CommandLine, HelpWithoutTheDeviceOptionKeepsEveryOtherLine) {
  for (const UiLanguage language : {UiLanguage::Chinese, UiLanguage::English}) {
    test::LanguageScope scope(language);
    for (const Command command : {Command::None, Command::Send}) {
      const std::u16string with = helpText(command, true);
      const std::u16string without = helpText(command, false);
      EXPECT_NE(with.find(u"[--device ADDR]"), std::u16string::npos);
      EXPECT_EQ(without.find(u"--device"), std::u16string::npos) << utf16ToUtf8(without);
      EXPECT_NE(without.find(u"send FILE... [--yes | --no] [--password-stdin]"),
                std::u16string::npos);
      // Two lines of the option's own are gone in send's help, none in the program's.
      const auto lines = [](const std::u16string& text) {
        return std::count(text.begin(), text.end(), u'\n');
      };
      EXPECT_EQ(lines(with) - lines(without), command == Command::Send ? 2 : 0);
    }
    EXPECT_NE(helpText(Command::Send, false).find(u"  -y, --yes "), std::u16string::npos);
  }
}

}  // namespace
}  // namespace lexora
