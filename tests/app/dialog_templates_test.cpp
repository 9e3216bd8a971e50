#include "app/dialog_templates.h"

#include <gtest/gtest.h>

namespace lexora {
namespace {

// The one test that pins the templates' texts and places: the views build from these.
TEST(DialogTemplates, MainDialogTextsAndPlaces) {
  struct Row {
    int id;
    std::u16string_view chinese, english;
    DialogRect place;
  };
  const Row rows[] = {
      {1004, u"词典文件：", u"Dictionary File:", {7, 7, 120, 9}},
      {1000, u"", u"", {7, 18, 206, 13}},
      {3, u"浏览", u"Browse", {220, 18, 44, 14}},
      {1006, u"发送", u"Send", {61, 54, 44, 17}},
      {1007, u"停止", u"Stop", {136, 54, 44, 17}},
      {2, u"退出", u"Exit", {281, 7, 50, 16}},
      {4, u"关于", u"About", {281, 30, 50, 16}},
      {1002, u"English UI", u"中文界面", {281, 53, 50, 16}},
      {1001, u"", u"", {7, 73, 324, 13}},
  };
  const DialogTemplate& chinese = *findDialogTemplate(102);
  const DialogTemplate& english = *findDialogTemplate(103);
  EXPECT_EQ(chinese.caption, u"莱克索拉");
  EXPECT_EQ(english.caption, u"Lexora");
  ASSERT_EQ(chinese.controls.size(), std::size(rows));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    ASSERT_NE(findControl(chinese, row.id), nullptr);
    ASSERT_NE(findControl(english, row.id), nullptr);
    EXPECT_EQ(findControl(chinese, row.id)->text, row.chinese);
    EXPECT_EQ(findControl(english, row.id)->text, row.english);
    EXPECT_EQ(findControl(english, row.id)->place, row.place);
  }
  EXPECT_EQ(findDialogTemplate(100)->caption, u"关于 Lexora");
  EXPECT_EQ(findDialogTemplate(104)->caption, u"About Lexora");
  EXPECT_EQ(findDialogTemplate(131)->caption, u"输入手机密码");
  EXPECT_EQ(findDialogTemplate(132)->caption, u"Input Mobile Phone' Password");
  EXPECT_EQ(findControl(*findDialogTemplate(132), password_control::kAttempts)->text,
            u"You have 100 attemptes remaining");
  EXPECT_NE(findControl(*findDialogTemplate(102), main_control::kStop)->styles & kStyleDisabled,
            0u);
  EXPECT_EQ(loadString(101), u"关于 Lexora(&A)...");
  EXPECT_EQ(loadString(102), u"About Lexora(&A)...");
  EXPECT_TRUE(loadString(103).empty());
}

TEST(DialogTemplates, DialogUnitsScaleByTheFontAndTruncate) {
  // A font 6 pixels wide and 13 high: 4 horizontal units per 6 pixels, 8 vertical per 13.
  EXPECT_EQ(dialogUnitsToPixels({7, 18, 206, 13}, 6, 13), (DialogRect{10, 29, 309, 21}));
  EXPECT_EQ(dialogUnitsToPixels({338, 93, 0, 0}, 8, 16), (DialogRect{676, 186, 0, 0}));
}

}  // namespace
}  // namespace lexora
