#include "job/packing_texts.h"

#include <cstdio>

#include "platform/text_codec.h"
#include "platform/ui_language.h"

namespace lexora {

std::u16string sizeQuestion(int32_t packedSize) {
  // S / 1,048,576 as S * (1/1024) * (1/1024): both factors are exact in binary.
  const double megabytes = packedSize * (1.0 / 1024) * (1.0 / 1024);
  char buffer[256];
  if (GetUiLanguage() == UiLanguage::Chinese) {
    std::snprintf(buffer, sizeof buffer, "词典压缩后尺寸%d字节(%03.1fMB)。\n是否发送到手机？",
                  packedSize, megabytes);
  } else {
    std::snprintf(
        buffer, sizeof buffer,
        "Size of compressed dictionary is %d bytes (%03.1f MB)。\nSend it to mobile phone?",
        packedSize, megabytes);
  }
  return utf8ToUtf16(buffer);
}

std::optional<std::u16string> packingNotice(const PackResult& result) {
  if (result.droppedLongHeadwords == 0 && result.shortenedRecords == 0) return std::nullopt;
  const bool chinese = GetUiLanguage() == UiLanguage::Chinese;
  std::string text;
  if (result.droppedLongHeadwords > 0) {
    text += chinese
                ? std::to_string(result.droppedLongHeadwords) + "个词条的词头超过255字节，未打包。"
                : std::to_string(result.droppedLongHeadwords) +
                      " entries were left out: their headwords are longer than 255 bytes.";
  }
  if (result.shortenedRecords > 0) {
    if (!text.empty()) text += "\n";
    text += chinese ? std::to_string(result.shortenedRecords) + "个词条的解释过长，已截短。"
                    : std::to_string(result.shortenedRecords) +
                          " entries were shortened: their explanations do not fit one block.";
  }
  return utf8ToUtf16(text);
}

}  // namespace lexora
