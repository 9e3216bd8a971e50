#include "platform/ansi_code_page.h"

#include <gtest/gtest.h>

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
  EXPECT_EQ(decode("GBK", "\xC4\xE3"), u"\u4F60") << "the same names on every system";
  // A lead byte with nothing after it, then valid text again: each bad byte becomes one
  // character (which one is the system's choice: U+FFFD here, '?' or U+F8F5 on Windows).
  const std::u16string cut = decode("CP936", "a\xC4");
  EXPECT_EQ(cut.size(), 2u);
  EXPECT_EQ(cut[0], u'a');
  const std::u16string bad = decode("CP936", "\xFF\xC4\xE3");
  EXPECT_EQ(bad.size(), 2u);
  EXPECT_EQ(bad[1], u'\u4F60');
}

TEST(AnsiCodePage, EncodesWithQuestionMarkForWhatItCannotHold) {
  EXPECT_EQ(AnsiCodePage::open("CP1252")->encode(u"caf\u00E9 \u4E2D"), "caf\xE9 ?");
  EXPECT_EQ(AnsiCodePage::open("CP936")->encode(u"\u4F60a"),
            "\xC4\xE3"
            "a");
  // Windows gives one '?' per UTF-16 unit of a character outside the BMP, iconv one.
  const std::string astral = AnsiCodePage::open("CP1252")->encode(u"\U00010000");
  EXPECT_TRUE(!astral.empty() && astral.find_first_not_of('?') == std::string::npos) << astral;
}

TEST(AnsiCodePage, UnknownNamesAreRefused) {
  EXPECT_FALSE(AnsiCodePage::open("NO-SUCH-PAGE"));
  EXPECT_FALSE(chooseAnsiCodePage("NO-SUCH-PAGE"));
}

}  // namespace
}  // namespace lexora
