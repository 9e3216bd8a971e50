// Reading lexora-cli's command line only describes it: the process-wide choices it names are
// left for the caller to make.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include "platform/ansi_code_page.h"

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

}  // namespace
}  // namespace lexora
