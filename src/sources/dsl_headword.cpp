#include "sources/dsl_headword.h"

#include "base/white_space.h"

namespace lexora {
namespace {

// Appends `c` with the white space collapsed: runs become one space, none at the start.
// `space` says whether `c` is white space (asked once for the four forms).
void appendCollapsed(std::u16string& out, char16_t c, bool space) {
  if (space) {
    if (!out.empty() && out.back() != u' ') out.push_back(u' ');
    return;
  }
  out.push_back(c);
}

void trimEnd(std::u16string& text) {
  while (!text.empty() && text.back() == u' ') text.pop_back();
}

// Sets `out` to `line` with its white space collapsed and trimmed, and says true, when the
// line has no braces, parentheses or escapes; else says false, with `out` holding no result.
bool collapsedPlain(std::u16string_view line, std::u16string& out) {
  out.resize(line.size());
  char16_t* const text = out.data();
  size_t n = 0;
  for (const char16_t c : line) {
    if (c == u'\\' || c == u'{' || c == u'}' || c == u'(' || c == u')') return false;
    if ((c <= u' ' || c >= 0x7F) && isWhiteSpace(c)) {
      if (n > 0 && text[n - 1] != u' ') text[n++] = u' ';
    } else {
      text[n++] = c;
    }
  }
  if (n > 0 && text[n - 1] == u' ') --n;
  out.resize(n);
  return true;
}

}  // namespace

void parseDslHeadword(std::u16string_view line, DslHeadword& out) {
  out.fullShown.clear();
  out.fullKey.clear();
  out.shortShown.clear();
  out.shortKey.clear();
  out.hasOptional = false;
  // Most headwords have no braces, parentheses or escapes: all four forms are the line with
  // its white space collapsed.
  if (collapsedPlain(line, out.fullShown)) {
    out.fullKey = out.shortShown = out.shortKey = out.fullShown;
    return;
  }
  out.fullShown.clear();
  // Braces and parentheses do not nest in a headword; an opening one left open runs to
  // the end of the line, which is what a reader that stops there would show.
  bool inUnsorted = false;
  bool inOptional = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char16_t c = line[i];
    if (c == u'\\' && i + 1 < line.size()) {
      c = line[++i];
    } else if (c == u'{' && !inUnsorted) {
      inUnsorted = true;
      continue;
    } else if (c == u'}' && inUnsorted) {
      inUnsorted = false;
      continue;
    } else if (c == u'(' && !inOptional && !inUnsorted) {
      inOptional = true;
      out.hasOptional = true;
      continue;
    } else if (c == u')' && inOptional && !inUnsorted) {
      inOptional = false;
      continue;
    }
    // Printable ASCII, most of a headword, is never white space.
    const bool space = (c <= u' ' || c >= 0x7F) && isWhiteSpace(c);
    appendCollapsed(out.fullShown, c, space);
    if (!inUnsorted) appendCollapsed(out.fullKey, c, space);
    if (!inOptional) {
      appendCollapsed(out.shortShown, c, space);
      if (!inUnsorted) appendCollapsed(out.shortKey, c, space);
    }
  }
  trimEnd(out.fullShown);
  trimEnd(out.fullKey);
  trimEnd(out.shortShown);
  trimEnd(out.shortKey);
  if (out.shortKey.empty() || out.shortKey == out.fullKey) out.hasOptional = false;
}

}  // namespace lexora
