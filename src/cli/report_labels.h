// The labels of what `info` and `inspect` print about a dictionary, one "label value" line
// each, in the interface language. The English ones are what scripts read with --lang en.
#pragma once

#include <string>
#include <string_view>

#include "base/text_codec.h"
#include "platform/ui_language.h"

namespace lexora {

inline constexpr BilingualText kNameLabel{u"词典名：", u"name: "};
inline constexpr BilingualText kEntriesLabel{u"词条数：", u"entries: "};
inline constexpr BilingualText kBlocksLabel{u"块数：", u"blocks: "};
inline constexpr BilingualText kPackedSizeLabel{u"压缩后尺寸：", u"packed size: "};
inline constexpr BilingualText kRecordBytesLabel{u"记录字节数（解压后）：",
                                                 u"record bytes (inflated): "};
inline constexpr BilingualText kImageBytesLabel{u"映像字节数：", u"image bytes: "};
inline constexpr BilingualText kImageIntact{u"完好", u"ok"};

// "  LABEL VALUE\n", indented under the file's own line.
inline std::string reportLine(const BilingualText& label, std::string_view value) {
  return "  " + utf16ToUtf8(pick(label)) + std::string(value) + "\n";
}

}  // namespace lexora
