#include "sources/xdxf_reader.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "base/format_text.h"
#include "base/text_codec.h"
#include "platform/path_text.h"
#include "platform/ui_language.h"
#include "platform/whole_file.h"
#include "platform/xml_document.h"
#include "sources/load_dictionary_file.h"

namespace lexora {
namespace {

constexpr BilingualText kOpenFailed{u"打开XDXF词典文件失败！",
                                    u"Open XDXF dictionary file failed!"};
constexpr BilingualText kNotXml{
    u"无法读取XDXF词典文件 {file}：它不是格式正确的XML（或嵌套过深）。",
    u"Cannot read the XDXF dictionary file {file}: it is not well-formed XML (or is nested too "
    u"deeply)."};
constexpr BilingualText kNotXdxf{u"无法读取XDXF词典文件 {file}：其中没有 <xdxf> 元素。",
                                 u"Cannot read the XDXF dictionary file {file}: it has no <xdxf> "
                                 u"element."};

bool isSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// The file's text: UTF-16 with its byte-order mark, else UTF-8 (a mark dropped). The XML
// declaration's encoding is not consulted: XDXF dictionaries are written in UTF-8.
std::u16string decodeFile(const std::vector<uint8_t>& bytes) {
  const auto* b = bytes.data();
  const size_t n = bytes.size();
  if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
    const bool little = b[0] == 0xFF;
    std::u16string text;
    text.reserve(n / 2);
    for (size_t i = 2; i + 1 < n; i += 2) {
      text.push_back(
          static_cast<char16_t>(little ? b[i] | (b[i + 1] << 8) : (b[i] << 8) | b[i + 1]));
    }
    return text;
  }
  std::string_view utf8(reinterpret_cast<const char*>(b), n);
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
  return utf8ToUtf16(utf8);
}

const XmlNode* child(const XmlNode& node, std::u16string_view name) {
  for (const XmlNode& c : node.children) {
    if (c.kind == XmlNode::Kind::Element && c.name == name) return &c;
  }
  return nullptr;
}

void appendAllText(const XmlNode& node, std::u16string& out) {
  if (node.kind == XmlNode::Kind::Text || node.kind == XmlNode::Kind::CData) out += node.value;
  for (const XmlNode& c : node.children) appendAllText(c, out);
}

std::u16string collapsed(std::u16string_view text) {
  std::u16string out;
  bool space = false;
  for (char16_t c : text) {
    if (isSpace(c)) {
      space = !out.empty();
    } else {
      if (space) out.push_back(u' ');
      space = false;
      out.push_back(c);
    }
  }
  return out;
}

// The article text being laid out: lines, with white space held back until text follows.
class Lines {
 public:
  explicit Lines(bool keepLineBreaks) : keepLineBreaks_(keepLineBreaks) {}

  void text(std::u16string_view text) {
    for (char16_t c : text) {
      if (c == u'\n' && keepLineBreaks_) {
        endLine();
      } else if (isSpace(c)) {
        space_ = true;
      } else {
        put(c);
      }
    }
  }
  void space() { space_ = true; }
  void endLine() {
    if (lineStart_) return;
    breakPending_ = true;
    lineStart_ = true;
  }
  // Starts a line of its own with `prefix` (a number and its indentation), even after a
  // line holding only a prefix; the text that follows comes after one space.
  void startLine(std::u16string_view prefix) {
    if (lineHasAny_) breakPending_ = true;
    for (char16_t c : prefix) put(c);
    lineStart_ = true;
    afterPrefix_ = true;
  }
  std::u16string take() { return std::move(out_); }

 private:
  void put(char16_t c) {
    if (breakPending_ && !out_.empty()) {
      out_.push_back(u'\n');
    } else if (afterPrefix_ || (space_ && !lineStart_)) {
      out_.push_back(u' ');
    }
    breakPending_ = false;
    space_ = false;
    lineStart_ = false;
    afterPrefix_ = false;
    lineHasAny_ = true;
    out_.push_back(c);
  }

  bool keepLineBreaks_;
  std::u16string out_;
  bool space_ = false;
  bool lineStart_ = true;
  bool breakPending_ = false;
  bool lineHasAny_ = false;   // the line holds a prefix or text
  bool afterPrefix_ = false;  // the line holds only a prefix
};

// Lays out an article's content. Nesting is bounded by the XML parser's depth limit.
class ArticleText {
 public:
  explicit ArticleText(bool visual) : lines_(visual) {}

  void article(const XmlNode& ar) {
    for (const XmlNode& c : ar.children) {
      if (c.kind == XmlNode::Kind::Element && c.name == u"k") continue;  // the headword
      node(c, 0);
    }
  }
  std::u16string take() { return lines_.take(); }

 private:
  // `defDepth`: how many numbered <def> levels enclose the node.
  void node(const XmlNode& n, int defDepth) {
    switch (n.kind) {
      case XmlNode::Kind::Text:
      case XmlNode::Kind::CData:
        lines_.text(n.value);
        return;
      case XmlNode::Kind::Element:
        break;
      default:
        return;  // comments, processing instructions
    }
    if (n.name == u"rref") return;  // a media file, nothing a handheld shows
    if (n.name == u"br") {
      lines_.endLine();
      return;
    }
    if (n.name == u"tr") {
      lines_.space();
      lines_.text(u"[");
      children(n, defDepth);
      lines_.text(u"]");
      lines_.space();
      return;
    }
    if (n.name == u"def") {
      definition(n, defDepth);
      return;
    }
    children(n, defDepth);
  }

  void children(const XmlNode& n, int defDepth) {
    // A <def> among several of its parent's gets its number, counted among them.
    const auto defs = std::count_if(n.children.begin(), n.children.end(), [](const XmlNode& c) {
      return c.kind == XmlNode::Kind::Element && c.name == u"def";
    });
    int number = 0;
    for (const XmlNode& c : n.children) {
      if (defs > 1 && c.kind == XmlNode::Kind::Element && c.name == u"def") {
        ++number;
        std::u16string prefix(2 * static_cast<size_t>(defDepth), u' ');
        for (char ch : std::to_string(number)) prefix.push_back(static_cast<char16_t>(ch));
        prefix += u'.';
        lines_.startLine(prefix);
        children(c, defDepth + 1);
        lines_.endLine();
        continue;
      }
      node(c, defDepth);
    }
  }

  // A single <def>: a line (or lines) of its own, unnumbered.
  void definition(const XmlNode& def, int defDepth) {
    lines_.endLine();
    children(def, defDepth);
    lines_.endLine();
  }

  Lines lines_;
};

// The keys of a <k>: its text, and when it holds <opt> parts also its text without them.
std::vector<std::u16string> keysOf(const XmlNode& k) {
  std::u16string with, without;
  struct Walk {
    std::u16string& with;
    std::u16string& without;
    void operator()(const XmlNode& n, bool optional) {
      if (n.kind == XmlNode::Kind::Text || n.kind == XmlNode::Kind::CData) {
        with += n.value;
        if (!optional) without += n.value;
      }
      const bool opt = optional || (n.kind == XmlNode::Kind::Element && n.name == u"opt");
      for (const XmlNode& c : n.children) (*this)(c, opt);
    }
  } walk{with, without};
  walk(k, false);
  std::vector<std::u16string> keys{collapsed(with)};
  std::u16string shorter = collapsed(without);
  if (shorter != keys[0]) keys.push_back(std::move(shorter));
  if (keys.back().empty()) keys.pop_back();
  if (!keys.empty() && keys[0].empty()) keys.erase(keys.begin());
  return keys;
}

// Each key of an article gets its own copy of the text, so that an article with many keys
// could cost far more than its size in the file. An article's copies together are kept to
// kKeysShareFactor times its own text (its keys and explanation, and a little for its
// markup); beyond that each copy is cut to its share, at a character, and counted as
// shortened. No article with up to that many keys is ever cut.
constexpr size_t kKeysShareFactor = 16;

size_t cutAtCharacter(std::string_view text, size_t length) {
  if (length >= text.size()) return text.size();
  while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  return length;
}

void addArticle(const XmlNode& ar, bool visual, LoadedDictionary& dictionary) {
  std::vector<std::string> headwords;
  size_t keyBytes = 0;
  for (const XmlNode& k : ar.children) {
    if (k.kind != XmlNode::Kind::Element || k.name != u"k") continue;
    for (const std::u16string& headword : keysOf(k)) {
      std::string& h = headwords.emplace_back(utf16ToUtf8(headword));
      std::replace(h.begin(), h.end(), '\t', ' ');
      keyBytes += h.size();
    }
  }
  if (headwords.empty()) return;
  ArticleText text(visual);
  text.article(ar);
  std::string explanation = utf16ToUtf8(text.take());
  std::replace(explanation.begin(), explanation.end(), '\t', ' ');
  const size_t share = kKeysShareFactor * (explanation.size() + keyBytes + 64) / headwords.size();

  std::string entry, key;
  for (const std::string& headword : headwords) {
    key.assign(headword);
    asciiLowerInPlace(key);
    entry.assign(headword);
    entry.push_back('\t');
    entry.append(explanation);
    // What the packer makes of an entry depends on no more than this much of it.
    size_t keep = std::min<size_t>(entry.size(), kKeptEntryBytes);
    if (keep > share) {
      keep = cutAtCharacter(entry, std::max(share, headword.size() + 1));
      dictionary.shortenedKeys.push_back(key);
    }
    entry.resize(keep);
    dictionary.entries.addUtf8Key(key, entry);
  }
}

int readEntries(LoadedDictionary& dictionary, const std::filesystem::path& path,
                UserInterface& ui) {
  std::string error;
  auto bytes = readWholeFile(path, error);
  if (!bytes) {
    ui.showFileWarning(pick(kOpenFailed), path, errno);
    return -1;
  }
  std::u16string text = decodeFile(*bytes);
  bytes.reset();
  // Line breaks between elements are part of a visual article's text; XDXF files commonly
  // declare their document type.
  const std::optional<XmlNode> document =
      parseXmlDocument(text, {.keepWhiteSpace = true, .allowDocumentType = true});
  text = std::u16string();  // the tree holds all that is needed
  if (!document) {
    showWarning(ui, formatText(kNotXml, {{u"file", pathText(path)}}));
    return -1;
  }
  const XmlNode* xdxf = child(*document, u"xdxf");
  if (!xdxf) {
    showWarning(ui, formatText(kNotXdxf, {{u"file", pathText(path)}}));
    return -1;
  }
  // The logical format keeps its articles in <lexicon> and lays text out by its elements;
  // in the visual format the line breaks of the text are the article's own.
  const XmlNode* lexicon = child(*xdxf, u"lexicon");
  const bool visual = lexicon == nullptr;

  std::u16string name;
  if (const XmlNode* fullName = child(*xdxf, u"full_name")) {
    appendAllText(*fullName, name);
  } else if (const XmlNode* meta = child(*xdxf, u"meta_info")) {
    if (const XmlNode* fullTitle = child(*meta, u"full_title")) appendAllText(*fullTitle, name);
  }
  name = collapsed(name);
  dictionary.name = name.empty() ? dictionaryNameFromPath(pathText(path)) : name;

  for (const XmlNode& ar : (visual ? *xdxf : *lexicon).children) {
    if (ar.kind == XmlNode::Kind::Element && ar.name == u"ar") addArticle(ar, visual, dictionary);
  }
  return 0;
}

}  // namespace

int readXdxfDictionary(LoadedDictionary& dictionary, const std::filesystem::path& path,
                       UserInterface& ui) {
  const int result = readEntries(dictionary, path, ui);
  dictionary.entries.freeze();
  return result;
}

}  // namespace lexora
