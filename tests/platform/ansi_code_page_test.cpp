#include "platform/ansi_code_page.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace lexora {
namespace {

std::u16string decode(const char* page, std::string_view bytes) {
  std::u16string out;
  AnsiCodePage::open(page)->decode(bytes, out);
  return out;
}

TEST(AnsiCodePage, SingleBytePagesDecodeLikeWindows) {
  EXPECT_EQ(decode("CP1252", "\x80\xE9\x41"), u"\u20AC\u00E9A");
  // Bytes CP1252 leaves undefined keep their value, as the platform conversion does.
  EXPECT_EQ(decode("CP1252", "\x81\x9D"), u"\u0081\u009D");
  EXPECT_EQ(decode("CP1251", "\xC0\xFF"), u"\u0410\u044F");
}

TEST(AnsiCodePage, MultiBytePagesDecodeAndRecoverFromBadBytes) {
  EXPECT_EQ(decode("CP936", "\xC4\xE3\xBA\xC3"), u"\u4F60\u597D");
  // A lead byte with nothing after it, then valid text again.
  EXPECT_EQ(decode("CP936", "a\xC4"), u"a\uFFFD");
  EXPECT_EQ(decode("CP936", "\xFF\xC4\xE3"), u"\uFFFD\u4F60");
}

TEST(AnsiCodePage, EncodesWithQuestionMarkForWhatItCannotHold) {
  EXPECT_EQ(AnsiCodePage::open("CP1252")->encode(u"caf\u00E9 \u4E2D"), "caf\xE9 ?");
  EXPECT_EQ(AnsiCodePage::open("CP936")->encode(u"\u4F60a"),
            "\xC4\xE3"
            "a");
  EXPECT_EQ(AnsiCodePage::open("CP1252")->encode(u"\U00010000"), "?");
}

TEST(AnsiCodePage, UnknownNamesAreRefused) {
  EXPECT_FALSE(AnsiCodePage::open("NO-SUCH-PAGE"));
  EXPECT_FALSE(chooseAnsiCodePage("NO-SUCH-PAGE"));
}

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
