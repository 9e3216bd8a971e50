// The About box's product line is the one statement of the version that the build cannot
// fill in: it must name the project's major and minor version.
#include <gtest/gtest.h>

#include <string>

#include "app/dialog_templates.h"

namespace lexora {
namespace {

// "2.12" of "2.12.0".
std::u16string majorAndMinor() {
  const std::string full = LEXORA_VERSION;
  const std::string shortened = full.substr(0, full.rfind('.'));
  return std::u16string(shortened.begin(), shortened.end());
}

TEST(ProjectVersion, AboutBoxProductLineNamesTheMajorAndMinorVersion) {
  const ControlLayout* productLine = nullptr;
  for (const ControlLayout& control : templates::kAboutControls) {
    if (control.text.english.starts_with(u"Lexora v")) productLine = &control;
  }
  ASSERT_NE(productLine, nullptr);
  EXPECT_EQ(productLine->text.english, u"Lexora v" + majorAndMinor());
  EXPECT_EQ(productLine->text.chinese, u"莱克索拉 " + majorAndMinor() + u" 版");
}

}  // namespace
}  // namespace lexora
