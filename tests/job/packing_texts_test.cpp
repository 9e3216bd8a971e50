#include "job/packing_texts.h"

#include <gtest/gtest.h>

#include "platform/ui_language.h"
#include "support/test_support.h"

namespace lexora {
namespace {

TEST(SizeQuestion, EnglishKeepsItsIdeographicFullStop) {
  test::LanguageScope scope(UiLanguage::English);
  EXPECT_EQ(
      sizeQuestion(1572864),
      u"Size of compressed dictionary is 1572864 bytes (1.5 MB)\u3002\nSend it to mobile phone?");
  EXPECT_EQ(sizeQuestion(0),
            u"Size of compressed dictionary is 0 bytes (0.0 MB)\u3002\nSend it to mobile phone?");
  EXPECT_EQ(
      sizeQuestion(52429),
      u"Size of compressed dictionary is 52429 bytes (0.1 MB)\u3002\nSend it to mobile phone?");
  // At least three characters, zero-padded: a large size keeps all its digits.
  EXPECT_NE(sizeQuestion(2147483647).find(u"(2048.0 MB)"), std::u16string::npos);
}

TEST(SizeQuestion, Chinese) {
  test::LanguageScope scope(UiLanguage::Chinese);
  EXPECT_EQ(sizeQuestion(1572864), u"词典压缩后尺寸1572864字节(1.5MB)。\n是否发送到手机？");
  EXPECT_EQ(sizeQuestion(0), u"词典压缩后尺寸0字节(0.0MB)。\n是否发送到手机？");
  EXPECT_EQ(sizeQuestion(52429), u"词典压缩后尺寸52429字节(0.1MB)。\n是否发送到手机？");
}

// pack prints the size alone: the question's first line, with nothing of the question.
TEST(SizeQuestion, ItsFirstLineIsThePackedSizeLine) {
  for (UiLanguage language : {UiLanguage::Chinese, UiLanguage::English}) {
    test::LanguageScope scope(language);
    for (int32_t size : {0, 52429, 2147483647}) {
      const std::u16string line = packedSizeText(size);
      EXPECT_EQ(line.find(u'\n'), std::u16string::npos);
      EXPECT_EQ(sizeQuestion(size).substr(0, line.size() + 1), line + u"\n");
    }
  }
}

TEST(PackingNotice, OnlyWhenSomethingWasLeftOut) {
  test::LanguageScope scope(UiLanguage::English);
  PackResult result;
  EXPECT_FALSE(packingNotice(result));
  result.droppedLongHeadwords = 3;
  EXPECT_EQ(*packingNotice(result),
            u"3 entries were left out: their headwords are longer than 255 bytes.");
}

}  // namespace
}  // namespace lexora
