// The markup-to-text converter: the first byte picks the markup kind, the rest is the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/text_codec.h"
#include "sources/markup_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const auto kind = data[0] & 1 ? lexora::MarkupKind::xdxf : lexora::MarkupKind::html;
  std::string markup;
  lexora::appendValidUtf8(markup,
                          std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  std::string text;
  lexora::appendMarkupAsText(markup, kind, text);
  std::string again;
  lexora::appendValidUtf8(again, text);
  if (again != text) __builtin_trap();  // valid UTF-8 in, valid UTF-8 out
  if (!text.empty() && (text.back() == '\n' || text.front() == '\n')) {
    __builtin_trap();
  }
  if (text.find("\n\n\n") != std::string::npos) __builtin_trap();
  return 0;
}
