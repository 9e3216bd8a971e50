#include "sources/powerword_xml.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/text_codec.h"
#include "platform/xml_document.h"

namespace lexora {
namespace {

constexpr std::u16string_view kWrapper = u"单词解释";
constexpr std::u16string_view kExplanationBlock = u"单词解释块";
constexpr std::u16string_view kBasicMeaning = u"基本词义";
constexpr std::u16string_view kWordItem = u"单词项";
constexpr std::u16string_view kPhonetic = u"词典音标";
constexpr std::u16string_view kExplanationItem = u"解释项";

// PowerWord's ASCII stand-ins for phonetic letters. The rows are applied one after the
// other to the whole text, so a character one row produces can be changed by a later row.
constexpr std::pair<char16_t, char16_t> kPhoneticFontMap[] = {
    {u'1', u'\u2026'}, {u'4', u':'},      {u'5', u'\''},     {u'6', u'!'},       {u'7', u'.'},
    {u'8', u'?'},      {u'9', u','},      {u'A', u'\u00E6'}, {u'B', u'\u0251'},  {u'C', u'\u0254'},
    {u'D', u'\u00E3'}, {u'E', u'\u01DD'}, {u'F', u'\u0283'}, {u'G', u'\u0263'},  {u'H', u'u'},
    {u'I', u'i'},      {u'J', u'u'},      {u'K', u'y'},      {u'L', u'\u01DD'},  {u'M', u'n'},
    {u'N', u'\u014B'}, {u'O', u'\u0153'}, {u'P', u'\u03B8'}, {u'Q', u'\u039B'},  {u'R', u'\u0254'},
    {u'S', u'\u0254'}, {u'T', u'\u00F0'}, {u'U', u'u'},      {u'V', u'\u01B7'},  {u'W', u'\u03B8'},
    {u'X', u'\u00F8'}, {u'Y', u'\u025B'}, {u'Z', u'\u025B'}, {u'<', u'\u00FC'},  {u'=', u'\u00EA'},
    {u'?', u'U'},      {u'@', u'S'},      {u'[', u'\u01DD'}, {u'\\', u'\u01DD'}, {u']', u'\u00E7'},
    {u'^', u'g'},      {u'`', u'"'},      {u'{', u'-'},      {u'}', u'\\'},
};

// Every row maps one character to one character, so running the rows in order over the
// text is the same as running them over each character: one table lookup per character.
const std::array<char16_t, 128>& composedPhoneticFontMap() {
  static const std::array<char16_t, 128> table = [] {
    std::array<char16_t, 128> t{};
    for (char16_t c = 0; c < 128; ++c) {
      char16_t v = c;
      for (const auto& [from, to] : kPhoneticFontMap) {
        if (v == from) v = to;
      }
      t[c] = v;
    }
    return t;
  }();
  return table;
}

std::u16string replaceAll(std::u16string_view text, std::u16string_view from,
                          std::u16string_view to) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (true) {
    const size_t at = text.find(from, i);
    if (at == text.npos) break;
    out.append(text.substr(i, at - i));
    out.append(to);
    i = at + from.size();
  }
  out.append(text.substr(i));
  return out;
}

void walkPowerWordNode(PowerWordWalkState& state, const XmlNode& node,
                       std::u16string_view parentName, std::u16string& out) {
  if (!node.children.empty()) {
    const std::u16string& name = node.name;
    if (parentName == kExplanationBlock && (name != kBasicMeaning || !state.basicMeaningPending)) {
      out += u"<";
      out += name;
      out += u">\n";
    }
    if (name == kBasicMeaning && state.basicMeaningPending) state.basicMeaningPending = false;
    if (name == kWordItem) {
      const auto items = std::count_if(node.children.begin(), node.children.end(), [](auto& c) {
        return c.kind == XmlNode::Kind::Element && c.name == kExplanationItem;
      });
      state.itemCounter = 1;
      state.numberingOn = items >= 2;
    }
    for (const XmlNode& child : node.children) walkPowerWordNode(state, child, name, out);
    return;
  }
  if (node.value.empty()) return;
  // Only CDATA text takes its parent's name, so only it is read as phonetic notation or
  // as an explanation item.
  const std::u16string_view name = node.kind == XmlNode::Kind::CData ? parentName : node.name;
  std::u16string text = node.value;
  if (name == kPhonetic) text = u"[" + applyPhoneticFontMap(text) + u"]";
  text = applySpanMarkers(text);
  if (name == kExplanationItem && state.numberingOn) {
    char number[16];
    std::snprintf(number, sizeof number, "(%d)", static_cast<int>(state.itemCounter));
    text = utf8ToUtf16(number) + text;
    // Wraps instead of overflowing; no dictionary has two thousand million items.
    state.itemCounter = static_cast<int32_t>(static_cast<uint32_t>(state.itemCounter) + 1u);
  }
  out += text;
  out += u'\n';
}

}  // namespace

std::u16string applyPhoneticFontMap(std::u16string_view text) {
  const auto& table = composedPhoneticFontMap();
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c < 128) c = table[c];
  }
  return out;
}

std::u16string applySpanMarkers(std::u16string_view input) {
  const std::u16string text = replaceAll(replaceAll(input, u"}&L{", u", "), u"}&l{", u", ");
  // The rule replaces a span "&x{text}" by its text and looks again from where the span
  // began. Every replacement only removes characters (the '&', the one after it, the '{'
  // and the '}'), so it is carried out here by marking them removed, in one pass instead
  // of moving the rest of the text at every span.
  const size_t n = text.size();
  std::vector<bool> removed(n, false);
  auto nextLive = [&](size_t pos) {
    while (pos < n && removed[pos]) ++pos;
    return pos;
  };
  std::u16string out;
  out.reserve(n);
  size_t p = nextLive(0);
  size_t closeScan = 0;  // no live '}' lies between the current span start and this
  while (true) {
    while (p < n && text[p] != u'&') {
      out.push_back(text[p]);
      p = nextLive(p + 1);
    }
    if (p >= n) return out;
    const size_t i = p;
    const size_t second = nextLive(i + 1);
    const size_t third = second < n ? nextLive(second + 1) : n;
    if (third >= n || text[third] != u'{') break;  // an '&' that opens no span ends it all
    size_t c = std::max(closeScan, i);
    while (c < n && (removed[c] || text[c] != u'}')) ++c;
    if (c >= n) break;
    closeScan = c + 1;
    removed[i] = removed[second] = true;
    if (c != second) removed[third] = removed[c] = true;  // else only "&}" goes
    p = nextLive(i);
  }
  for (; p < n; p = nextLive(p + 1)) out.push_back(text[p]);
  return out;
}

int convertPowerWordXml(PowerWordWalkState& state, std::u16string_view field,
                        std::u16string& output) {
  output.clear();
  if (field.size() > kMaxPowerWordField) return -1;
  std::u16string document;
  document.reserve(field.size() + 2 * kWrapper.size() + 5);
  document += u"<";
  document += kWrapper;
  document += u">";
  document += field;
  document += u"</";
  document += kWrapper;
  document += u">";
  // Decision: the tree is read whole before the walk, so a component that fails on a node
  // fails the parse, and such a field is treated like one that did not parse.
  const std::optional<XmlNode> root = parseXmlDocument(document);
  if (!root) return -1;
  state.basicMeaningPending = true;
  walkPowerWordNode(state, *root, u"", output);
  while (!output.empty() && output.back() == u'\n') output.pop_back();
  return 0;
}

}  // namespace lexora
