#include "base/format_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "base/bilingual_text.h"

namespace lexora {
namespace {

TEST(FormatText, EachLanguagePlacesTheFieldsWhereItsTextNamesThem) {
  constexpr BilingualText text{u"{name}共{total}块，只发送了前{sent}块",
                               u"{name}: {sent} of {total} blocks"};
  for (UiLanguage language : {UiLanguage::Chinese, UiLanguage::English}) {
    const std::u16string result =
        formatText(text.in(language), {{u"name", u"wn"}, {u"sent", size_t{3}}, {u"total", 10}});
    EXPECT_EQ(result,
              language == UiLanguage::Chinese ? u"wn共10块，只发送了前3块" : u"wn: 3 of 10 blocks");
  }
  EXPECT_EQ(formatText(u"{n}{letter}{n}",
                       {{u"n", std::numeric_limits<int64_t>::min()}, {u"letter", u'k'}}),
            u"-9223372036854775808k-9223372036854775808");
}

// A dictionary's name is the user's: whatever it reads, it is shown, never filled in.
TEST(FormatText, ValuesAndStrayBracesAreLeftAsTheyAre) {
  EXPECT_EQ(formatText(u"{name} was cut after {sent}", {{u"name", u"{sent}"}, {u"sent", 4}}),
            u"{sent} was cut after 4");
  EXPECT_EQ(formatText(u"{other} {{sent}} {sent", {{u"sent", 4}}), u"{other} {4} {sent");
  EXPECT_EQ(formatText(u"", {{u"sent", 4}}), u"");
  EXPECT_EQ(formatText(u"}{", {}), u"}{");
}

}  // namespace
}  // namespace lexora
