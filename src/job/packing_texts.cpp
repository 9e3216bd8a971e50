#include "job/packing_texts.h"

#include <cstdio>

#include "base/format_text.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

// The English text keeps the Chinese full stop it has always shown.
constexpr BilingualText kPackedSize{
    u"词典压缩后尺寸{bytes}字节({megabytes}MB)。",
    u"Size of compressed dictionary is {bytes} bytes ({megabytes} MB)。"};
constexpr BilingualText kSendQuestion{u"是否发送到手机？", u"Send it to mobile phone?"};
constexpr BilingualText kHeadwordsLeftOut{
    u"{count}个词条的词头超过255字节，未打包。",
    u"{count} entries were left out: their headwords are longer than 255 bytes."};
constexpr BilingualText kRecordsShortened{
    u"{count}个词条的解释过长，已截短。",
    u"{count} entries were shortened: their explanations do not fit one block."};

// One decimal, at least three characters, zero-padded: 0.1, 1.5, 2048.0.
std::u16string megabytesText(int32_t bytes) {
  // S / 1,048,576 as S * (1/1024) * (1/1024): both factors are exact in binary.
  const double megabytes = bytes * (1.0 / 1024) * (1.0 / 1024);
  char buffer[32];
  const int length = std::snprintf(buffer, sizeof buffer, "%03.1f", megabytes);
  return std::u16string(buffer, buffer + length);
}

}  // namespace

std::u16string packedSizeText(int32_t packedSize) {
  return formatText(kPackedSize,
                    {{u"bytes", packedSize}, {u"megabytes", megabytesText(packedSize)}});
}

std::u16string sizeQuestion(int32_t packedSize) {
  return packedSizeText(packedSize) + u"\n" + std::u16string(pick(kSendQuestion));
}

std::optional<std::u16string> packingNotice(const PackResult& result) {
  if (result.droppedLongHeadwords == 0 && result.shortenedRecords == 0) return std::nullopt;
  std::u16string text;
  if (result.droppedLongHeadwords > 0) {
    text += formatText(kHeadwordsLeftOut, {{u"count", result.droppedLongHeadwords}});
  }
  if (result.shortenedRecords > 0) {
    if (!text.empty()) text += u"\n";
    text += formatText(kRecordsShortened, {{u"count", result.shortenedRecords}});
  }
  return text;
}

}  // namespace lexora
