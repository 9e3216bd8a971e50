// The dictd index lines and entry texts on arbitrary bytes: every line is parsed, and the
// bytes after the first NUL are read as an entry's text and as a 00-database-short text.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/text_codec.h"
#include "base/white_space.h"
#include "sources/dictd_index.h"
#include "sources/dictd_text.h"

namespace {

constexpr std::string_view kDigits =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value the digits stand for, by arithmetic rather than bit shifts; nullopt when they
// are not a number of 64 bits.
std::optional<uint64_t> valueOf(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : digits) {
    const size_t digit = kDigits.find(c);
    if (digit == std::string_view::npos || __builtin_mul_overflow(value, 64u, &value) ||
        __builtin_add_overflow(value, digit, &value)) {
      return std::nullopt;
    }
  }
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const size_t nul = bytes.find('\0');
  const std::string_view index = bytes.substr(0, nul);
  for (size_t at = 0; at <= index.size();) {
    size_t end = index.find('\n', at);
    if (end == std::string_view::npos) end = index.size();
    const std::string_view line = index.substr(at, end - at);
    at = end + 1;
    const auto parsed = lexora::parseDictdIndexLine(line);
    if (!parsed) continue;
    // The fields read back as the line wrote them.
    const size_t first = line.find('\t');
    const size_t second = line.find('\t', first + 1);
    const size_t third = line.find('\t', second + 1);
    const std::string_view offset = line.substr(first + 1, second - first - 1);
    const std::string_view length =
        line.substr(second + 1, third == std::string_view::npos ? third : third - second - 1);
    if (parsed->headword != line.substr(0, first) || valueOf(offset) != parsed->offset ||
        valueOf(length) != parsed->length) {
      __builtin_trap();
    }
  }
  if (nul == std::string_view::npos) return 0;

  std::string text;
  lexora::appendValidUtf8(text, bytes.substr(nul + 1));
  std::string explanation = "kept";
  lexora::appendDictdExplanation(explanation, text);
  const std::string_view added = std::string_view(explanation).substr(4);
  if (explanation.compare(0, 4, "kept") != 0 || added.size() > text.size() ||
      added.find('\t') != std::string_view::npos || added.find("\r\n") != std::string_view::npos ||
      lexora::trimDictdText(added).size() != added.size() ||
      lexora::firstInvalidUtf8(added) != std::string_view::npos) {
    __builtin_trap();
  }
  const std::u16string name = lexora::dictdDatabaseName(text, index);
  for (size_t i = 0; i < name.size(); ++i) {
    const bool space = lexora::isWhiteSpace(name[i]);
    if (space &&
        (name[i] != u' ' || i == 0 || i + 1 == name.size() || lexora::isWhiteSpace(name[i - 1]))) {
      __builtin_trap();
    }
  }
  return 0;
}
