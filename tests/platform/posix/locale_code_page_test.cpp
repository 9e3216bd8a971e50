// Linux has no system ANSI code page: the locale implies one.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/ansi_code_page.h"

namespace lexora {
namespace {

TEST(AnsiCodePage, LocaleDecidesTheDefault) {
  const struct {
    const char* locale;
    const char* page;
  } cases[] = {{"zh_CN.UTF-8", "CP936"},  {"zh_SG", "CP936"},       {"zh_TW.UTF-8", "CP950"},
               {"zh_HK", "CP950"},        {"ja_JP.UTF-8", "CP932"}, {"ko_KR", "CP949"},
               {"ru_RU.UTF-8", "CP1251"}, {"uk_UA", "CP1251"},      {"bg_BG", "CP1251"},
               {"de_DE.UTF-8", "CP1252"}, {"C.UTF-8", "CP1252"}};
  const char* old = getenv("LC_ALL");
  const std::string saved = old ? old : "";
  for (const auto& c : cases) {
    setenv("LC_ALL", c.locale, 1);
    EXPECT_EQ(codePageForLocale(), c.page) << c.locale;
  }
  if (old)
    setenv("LC_ALL", saved.c_str(), 1);
  else
    unsetenv("LC_ALL");
}

}  // namespace
}  // namespace lexora
