#include "sources/mdict_header.h"

#include <charconv>

#include "base/text_codec.h"
#include "sources/dictd_text.h"
#include "sources/markup_text.h"

namespace lexora {
namespace {

bool isNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == ':' || c == '.';
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string decodeReferences(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size();) {
    if (value[i] == '&') {
      const size_t used = decodeCharacterReference(value.substr(i + 1), out);
      if (used > 0) {
        i += 1 + used;
        continue;
      }
    }
    out.push_back(value[i++]);
  }
  return out;
}

bool isYes(std::string_view value) {
  return asciiLower(trimDictdText(value)) == "yes";
}

void take(MdictHeader& header, std::string_view name, std::string value, bool& versioned) {
  const std::string lower = asciiLower(name);
  if (lower == "generatedbyengineversion") {
    header.version.assign(trimDictdText(value));
    std::from_chars(header.version.data(), header.version.data() + header.version.size(),
                    header.majorVersion);
    versioned = true;
  } else if (lower == "encoding") {
    header.encoding.assign(trimDictdText(value));
  } else if (lower == "encrypted") {
    const std::string_view text = trimDictdText(value);
    int number = 0;
    if (isYes(text)) {
      number = 1;
    } else {
      std::from_chars(text.data(), text.data() + text.size(), number);
    }
    header.encrypted = number;
  } else if (lower == "title") {
    header.title = std::move(value);
  } else if (lower == "format") {
    header.html = asciiLower(trimDictdText(value)) != "text";
  } else if (lower == "keycasesensitive") {
    header.keyCaseSensitive = isYes(value);
  } else if (lower == "stripkey") {
    header.stripKey = isYes(value);
  }
}

}  // namespace

std::optional<MdictHeader> parseMdictHeader(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  size_t at = text.find('<');
  if (at == std::string_view::npos) return std::nullopt;
  ++at;
  while (at < text.size() && isNameChar(text[at])) ++at;  // the element's name
  MdictHeader header;
  bool versioned = false;
  while (at < text.size()) {
    while (at < text.size() && isSpace(text[at])) ++at;
    if (at >= text.size() || text[at] == '>' || text[at] == '/') break;
    const size_t nameStart = at;
    while (at < text.size() && isNameChar(text[at])) ++at;
    const std::string_view name = text.substr(nameStart, at - nameStart);
    while (at < text.size() && isSpace(text[at])) ++at;
    if (name.empty() || at >= text.size() || text[at] != '=') break;
    ++at;
    while (at < text.size() && isSpace(text[at])) ++at;
    if (at >= text.size() || (text[at] != '"' && text[at] != '\'')) break;
    const size_t close = text.find(text[at], at + 1);
    if (close == std::string_view::npos) break;
    take(header, name, decodeReferences(text.substr(at + 1, close - at - 1)), versioned);
    at = close + 1;
  }
  if (!versioned) return std::nullopt;
  return header;
}

std::string_view meaningfulMdictTitle(std::string_view title) {
  title = trimDictdText(title);
  if (title == "Title (No HTML code allowed)") return {};
  return title;
}

}  // namespace lexora
