// The C library's Chinese reasons, through a zh_CN.UTF-8 locale made for the test when the
// system has none installed (localedef into a folder of its own, found through LOCPATH).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "base/text_codec.h"
#include "platform/file.h"
#include "platform/system_error_text.h"
#include "support/test_support.h"

namespace lexora {
namespace {

TEST(SystemErrorText, ChineseWhenTheLocaleIsThereAndEnglishStaysEnglish) {
  EXPECT_EQ(systemErrorText(kNotARegularFile, UiLanguage::Chinese), "不是普通文件");
  EXPECT_EQ(systemErrorText(kNotARegularFile, UiLanguage::English), "not a regular file");

  // The locale is looked for once, at the first Chinese text: LOCPATH must be set before.
  test::TempDir locales;
  const std::string make =
      "localedef -i zh_CN -f UTF-8 '" + (locales / "zh_CN.UTF-8").string() + "' >/dev/null 2>&1";
  if (std::system(make.c_str()) == 0) setenv("LOCPATH", locales.path().c_str(), 1);
  const std::string english = systemErrorText(ENOENT, UiLanguage::English);
  const std::string chinese = systemErrorText(ENOENT, UiLanguage::Chinese);
  unsetenv("LOCPATH");
  if (!chineseSystemErrorText(ENOENT)) {
    EXPECT_EQ(chinese, english) << "without the locale, English";
    GTEST_SKIP() << "no zh_CN.UTF-8 locale and no localedef to make one";
  }
  EXPECT_NE(chinese, english);
  EXPECT_EQ(firstInvalidUtf8(chinese), std::string::npos);
  EXPECT_EQ(chinese.find('?'), std::string::npos) << "converted to ASCII on the way: " << chinese;
  // Asking in Chinese changes nothing for English texts asked afterwards.
  EXPECT_EQ(systemErrorText(ENOENT, UiLanguage::English), english);
  EXPECT_EQ(english, std::strerror(ENOENT));
}

}  // namespace
}  // namespace lexora
