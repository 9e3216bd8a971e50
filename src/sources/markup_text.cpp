#include "sources/markup_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/text_codec.h"
#include "sources/html_entities.h"

namespace lexora {
namespace {

bool isAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}
constexpr bool isHtmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
// Neither white space nor the start of markup or a reference; one table look-up, as every
// byte of the text is tested.
constexpr std::array<bool, 256> kWordBytes = [] {
  std::array<bool, 256> bytes{};
  for (int c = 0; c < 256; ++c)
    bytes[c] = !isHtmlSpace(static_cast<char>(c)) && c != '&' && c != '<';
  return bytes;
}();
bool isWordByte(char c) {
  return kWordBytes[static_cast<unsigned char>(c)];
}
char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void appendCodePoint(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Numeric references to 0x80-0x9F mean what windows-1252 puts there, as browsers read them.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

size_t decodeNumericReference(std::string_view text, std::string& out) {
  // `text` starts at the '#'.
  size_t i = 1;
  const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
  if (hex) ++i;
  const size_t digitsStart = i;
  uint32_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    uint32_t digit;
    if (isAsciiDigit(c)) {
      digit = c - '0';
    } else if (hex && lowerAscii(c) >= 'a' && lowerAscii(c) <= 'f') {
      digit = lowerAscii(c) - 'a' + 10;
    } else {
      break;
    }
    value = std::min<uint32_t>(value * (hex ? 16 : 10) + digit, 0x110000);  // saturated
  }
  if (i == digitsStart) return 0;
  if (i < text.size() && text[i] == ';') ++i;
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) value = 0xFFFD;
  if (value >= 0x80 && value <= 0x9F) value = kWindows1252High[value - 0x80];
  appendCodePoint(out, value);
  return i;
}

const HtmlEntity* findEntity(std::string_view name) {
  const auto entities = htmlEntities();
  const auto it =
      std::lower_bound(entities.begin(), entities.end(), name,
                       [](const HtmlEntity& e, std::string_view n) { return e.name < n; });
  return it != entities.end() && it->name == name ? &*it : nullptr;
}

// The longest entity name is 31 characters and its ';'.
constexpr size_t kLongestEntityName = 32;

size_t decodeNamedReference(std::string_view text, std::string& out) {
  size_t n = 0;
  while (n < text.size() && n < kLongestEntityName &&
         (isAsciiLetter(text[n]) || isAsciiDigit(text[n]))) {
    ++n;
  }
  if (n < text.size() && text[n] == ';') {
    if (const HtmlEntity* e = findEntity(text.substr(0, n + 1))) {
      out.append(e->text);
      return n + 1;
    }
  }
  // The legacy names also work without their ';', and the longest that matches wins
  // ("&notit" is "¬it").
  for (size_t length = n; length > 0; --length) {
    if (const HtmlEntity* e = findEntity(text.substr(0, length))) {
      out.append(e->text);
      return length;
    }
  }
  return 0;
}

enum class Element {
  other,
  block,
  lineBreak,
  listItem,
  orderedList,
  unorderedList,
  cell,
  rawText,
  transcription
};

// With the literal's length fixed, the comparison is done in place, not by a call.
template <size_t N>
bool is(std::string_view name, const char (&literal)[N]) {
  return name.size() == N - 1 && std::memcmp(name.data(), literal, N - 1) == 0;
}
template <size_t... N>
bool isOneOf(std::string_view name, const char (&... literals)[N]) {
  return (is(name, literals) || ...);
}

// `name` is lower case. Every tag passes here, so only the names of its length are compared.
Element classify(std::string_view name, MarkupKind kind) {
  const bool xdxf = kind == MarkupKind::xdxf;
  switch (name.size()) {
    case 1:
      return is(name, "p") || (xdxf && is(name, "k")) ? Element::block : Element::other;
    case 2:
      if (is(name, "br")) return Element::lineBreak;
      if (is(name, "li")) return Element::listItem;
      if (is(name, "ol")) return Element::orderedList;
      if (is(name, "ul")) return Element::unorderedList;
      if (is(name, "td") || is(name, "th")) return Element::cell;
      if (is(name, "tr")) return xdxf ? Element::transcription : Element::block;
      if (name[0] == 'h' && name[1] >= '1' && name[1] <= '6') return Element::block;
      return isOneOf(name, "dd", "dl", "dt", "hr") ? Element::block : Element::other;
    case 3:
      if (xdxf && is(name, "def")) return Element::block;
      return isOneOf(name, "dir", "div", "nav", "pre") ? Element::block : Element::other;
    case 4:
      return isOneOf(name, "form", "main", "menu") ? Element::block : Element::other;
    case 5:
      if (is(name, "style")) return Element::rawText;
      return isOneOf(name, "aside", "table", "tbody", "tfoot", "thead") ? Element::block
                                                                        : Element::other;
    case 6:
      if (is(name, "script")) return Element::rawText;
      return isOneOf(name, "center", "figure", "footer", "header") ? Element::block
                                                                   : Element::other;
    case 7:
      return isOneOf(name, "address", "article", "details", "section", "summary") ? Element::block
                                                                                  : Element::other;
    case 8:
      return is(name, "fieldset") ? Element::block : Element::other;
    case 10:
      return isOneOf(name, "blockquote", "figcaption") ? Element::block : Element::other;
    default:
      return Element::other;
  }
}

// The text being laid out: white space and line breaks are held back until visible text
// follows them, so that none begins or ends a line, or the text.
class Layout {
 public:
  explicit Layout(std::string& out) : out_(out) {}

  void text(std::string_view visible) {
    if (visible.empty()) return;
    if (written_ && breaks_ > 0) {
      out_.append(breaks_, '\n');
    } else if (markerOnly_ || (space_ && !lineStart_)) {
      out_.push_back(' ');  // one space after a list marker, whatever the source has
    }
    breaks_ = 0;
    space_ = false;
    lineStart_ = false;
    markerOnly_ = false;
    written_ = true;
    out_.append(visible);
  }
  void space() { space_ = true; }
  // The words and white space of `text` from `from` up to the next markup or reference
  // ('<' or '&'); returns where that starts.
  size_t run(std::string_view text, size_t from) {
    const size_t n = text.size();
    size_t i = from;
    while (i < n && isHtmlSpace(text[i])) ++i;
    if (i > from) space();
    if (i == n || !isWordByte(text[i])) return i;
    size_t end = i;
    while (end < n && isWordByte(text[end])) ++end;
    this->text(text.substr(i, end - i));
    // After a word, each later one goes after one space: the words and single spaces
    // between them are copied as they stand, in one piece.
    size_t copied = i = end;
    while (i < n && isHtmlSpace(text[i])) {
      size_t word = i;
      while (word < n && isHtmlSpace(text[word])) ++word;
      if (word == n || !isWordByte(text[word])) {
        out_.append(text.substr(copied, i - copied));
        space();
        return word;
      }
      if (word != i + 1 || text[i] != ' ') {
        out_.append(text.substr(copied, i - copied));
        out_.push_back(' ');
        copied = word;
      }
      i = word;
      while (i < n && isWordByte(text[i])) ++i;
    }
    out_.append(text.substr(copied, i - copied));
    return i;
  }
  // A block's edge: the line ends unless nothing is on it yet; a block inside a list item
  // goes on its marker's line.
  void endLine() {
    if (lineStart_ || markerOnly_) return;
    breaks_ = 1;
    lineStart_ = true;
  }
  // A list item's start: a line of its own, even after an empty item.
  void newItem() {
    if (lineStart_) return;
    breaks_ = 1;
    lineStart_ = true;
    markerOnly_ = false;
  }
  // <br>: a line ends even when empty; at most one empty line in a row is kept.
  void lineBreak() {
    breaks_ = std::min(breaks_ + 1, 2);
    lineStart_ = true;
  }
  // A list item's marker begins its line; the item's text follows after one space.
  void marker(std::string_view text) {
    this->text(text);
    markerOnly_ = true;
  }

 private:
  std::string& out_;
  int breaks_ = 0;
  bool space_ = false;
  bool lineStart_ = true;
  bool written_ = false;
  bool markerOnly_ = false;  // the line holds a list marker and nothing after it
};

// Where the tag starting at `text[at]` == '<' (its name just read up to `from`) ends, past
// its '>'; npos when it never does. A quoted attribute value may hold '>'.
size_t tagEnd(std::string_view text, size_t from) {
  char quote = 0;
  char previous = 0;
  for (size_t i = from; i < text.size(); ++i) {
    if (quote) {
      i = text.find(quote, i);
      if (i == std::string_view::npos) return i;
      quote = 0;
      continue;
    }
    const char c = text[i];
    if (c == '>') return i + 1;
    if ((c == '"' || c == '\'') && previous == '=') {
      quote = c;
    } else if (!isHtmlSpace(c)) {
      previous = c;
    }
  }
  return std::string_view::npos;
}

// Where the end tag of a raw-text element (`</name` then white space, '/' or '>') starts.
size_t rawTextEnd(std::string_view text, size_t from, std::string_view name) {
  for (size_t i = text.find("</", from); i != std::string_view::npos; i = text.find("</", i + 2)) {
    const size_t after = i + 2 + name.size();
    if (after > text.size()) return std::string_view::npos;
    bool same = true;
    for (size_t k = 0; k < name.size() && same; ++k) same = lowerAscii(text[i + 2 + k]) == name[k];
    if (same && (after == text.size() || isHtmlSpace(text[after]) || text[after] == '/' ||
                 text[after] == '>')) {
      return i;
    }
  }
  return std::string_view::npos;
}

class Converter {
 public:
  Converter(MarkupKind kind, std::string& out) : kind_(kind), layout_(out) {}

  void run(std::string_view text) {
    size_t i = 0;
    std::string decoded;
    while (i < text.size()) {
      const char c = text[i];
      if (c == '&') {
        decoded.clear();
        const size_t used = decodeCharacterReference(text.substr(i + 1), decoded);
        if (used == 0) {
          layout_.text("&");
          ++i;
          continue;
        }
        i += 1 + used;
        if (decoded.size() == 1 && isHtmlSpace(decoded[0])) {
          layout_.space();
        } else if (decoded == "\xC2\xA0") {
          layout_.text(" ");  // a space that is kept, in a form every handheld font has
        } else {
          layout_.text(decoded);
        }
      } else if (c == '<') {
        i = markup(text, i);
      } else {
        i = layout_.run(text, i);
      }
    }
  }

 private:
  // Handles the markup starting at text[at] == '<'; returns where the text goes on
  // (text.size() when the markup is never closed: the rest is dropped).
  size_t markup(std::string_view text, size_t at) {
    const size_t n = text.size();
    const char next = at + 1 < n ? text[at + 1] : 0;
    if (next == '!' && text.substr(at + 2, 2) == "--") {
      const size_t close = text.find("-->", at + 4);
      return close == std::string_view::npos ? n : close + 3;
    }
    const bool closing = next == '/';
    const size_t nameStart = at + (closing ? 2 : 1);
    if (nameStart >= n || !isAsciiLetter(text[nameStart])) {
      if (next == '!' || next == '?' || closing) {
        // Declarations, processing instructions and broken end tags: up to the next '>'.
        const size_t close = text.find('>', at + 1);
        return close == std::string_view::npos ? n : close + 1;
      }
      layout_.text("<");
      return at + 1;
    }
    size_t nameEnd = nameStart;
    while (nameEnd < n && !isHtmlSpace(text[nameEnd]) && text[nameEnd] != '/' &&
           text[nameEnd] != '>') {
      ++nameEnd;
    }
    const size_t end = tagEnd(text, nameEnd);
    if (end == std::string_view::npos) return n;
    // No element that means anything here has a longer name.
    std::array<char, 16> lowered;
    size_t length = 0;
    if (nameEnd - nameStart <= lowered.size()) {
      for (size_t k = nameStart; k < nameEnd; ++k) lowered[length++] = lowerAscii(text[k]);
    }
    const bool selfClosing = end >= 2 && text[end - 2] == '/';
    return element(text, end, std::string_view(lowered.data(), length), closing, selfClosing);
  }

  size_t element(std::string_view text, size_t end, std::string_view name, bool closing,
                 bool selfClosing) {
    switch (classify(name, kind_)) {
      case Element::other:
        break;
      case Element::block:
        layout_.endLine();
        break;
      case Element::lineBreak:
        layout_.lineBreak();
        break;
      case Element::cell:
        layout_.space();
        break;
      case Element::transcription:
        layout_.text(closing ? "]" : "[");
        break;
      case Element::orderedList:
      case Element::unorderedList:
        layout_.endLine();
        if (closing) {
          if (!lists_.empty()) lists_.pop_back();
        } else if (!selfClosing) {
          lists_.push_back(is(name, "ol") ? 1 : 0);
        }
        break;
      case Element::listItem:
        if (closing) {
          layout_.endLine();
        } else {
          layout_.newItem();
          listMarker();
        }
        break;
      case Element::rawText: {
        if (closing || selfClosing) break;
        const size_t close = rawTextEnd(text, end, name);
        return close == std::string_view::npos ? text.size() : close;
      }
    }
    return end;
  }

  void listMarker() {
    // 0 marks an unordered list; an ordered one holds its next number.
    if (lists_.empty() || lists_.back() == 0) {
      layout_.marker("\xE2\x80\xA2");  // •
      return;
    }
    layout_.marker(std::to_string(lists_.back()++) + ".");
  }

  MarkupKind kind_;
  Layout layout_;
  std::vector<uint32_t> lists_;
};

}  // namespace

size_t decodeCharacterReference(std::string_view text, std::string& out) {
  if (text.empty()) return 0;
  if (text[0] == '#') return decodeNumericReference(text, out);
  return decodeNamedReference(text, out);
}

void appendMarkupAsText(std::string_view markup, MarkupKind kind, std::string& out) {
  Converter(kind, out).run(markup);
}

}  // namespace lexora
