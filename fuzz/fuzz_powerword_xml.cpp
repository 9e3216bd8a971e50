// The PowerWord conversion on arbitrary text, with the walk state carried between inputs
// as it is between the fields of one dictionary.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/text_codec.h"
#include "sources/powerword_xml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static lexora::PowerWordWalkState state;
  const std::u16string field =
      lexora::utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
  std::u16string output;
  const int result = lexora::convertPowerWordXml(state, field, output);
  if (result != 0 && (result != -1 || !output.empty())) __builtin_trap();
  if (!output.empty() && output.back() == u'\n') __builtin_trap();
  lexora::applySpanMarkers(field);
  return 0;
}
