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
#include "platform/xml_stream.h"
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

// The file's text in UTF-8: `bytes` themselves (a byte-order mark dropped), or in
// `converted` when they are UTF-16 with its mark. The XML declaration's encoding is not
// consulted: XDXF dictionaries are written in UTF-8.
std::string_view utf8Text(const std::vector<uint8_t>& bytes, std::string& converted) {
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
    converted = utf16ToUtf8(text);
    return converted;
  }
  std::string_view utf8(reinterpret_cast<const char*>(b), n);
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
  return utf8;
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

// Gathers the document's name and one article at a time as a tree, handing each article
// on as soon as it ends: memory holds the entries and the article being read.
class XdxfEvents : public XmlEvents {
 public:
  explicit XdxfEvents(LoadedDictionary& dictionary) : dictionary_(dictionary) {}

  void startElement(std::u16string_view name) override {
    if (!open_.empty()) {
      XmlNode& node = open_.back()->children.emplace_back();
      node.kind = XmlNode::Kind::Element;
      node.name = name;
      open_.push_back(&node);
      return;
    }
    const size_t depth = path_.size();
    path_.emplace_back(name);
    if (depth == 0) {
      isXdxf_ = name == u"xdxf";
    } else if (isXdxf_ && name == u"ar" && (depth == 1 || (depth == 2 && path_[1] == u"lexicon"))) {
      // The logical format keeps its articles in <lexicon> and lays text out by its
      // elements; in the visual format the line breaks of the text are the article's own.
      visual_ = depth == 1;
      article_ = XmlNode{XmlNode::Kind::Element, u"ar", {}, {}};
      open_.push_back(&article_);
      path_.pop_back();
    }
  }

  void endElement() override {
    if (!open_.empty()) {
      open_.pop_back();
      if (open_.empty()) addArticle(article_, visual_, dictionary_);
      return;
    }
    if (!path_.empty()) path_.pop_back();
  }

  void text(std::u16string_view text) override {
    if (!open_.empty()) {
      auto& children = open_.back()->children;
      if (children.empty() || children.back().kind != XmlNode::Kind::Text) {
        children.push_back(XmlNode{XmlNode::Kind::Text, u"#text", {}, {}});
      }
      children.back().value += text;
      return;
    }
    if (!isXdxf_) return;
    if (path_.size() == 2 && path_[1] == u"full_name") fullName_ += text;
    if (path_.size() == 3 && path_[1] == u"meta_info" && path_[2] == u"full_title") {
      fullTitle_ += text;
    }
  }

  bool isXdxf() const { return isXdxf_; }
  std::u16string name() const {
    const std::u16string fullName = collapsed(fullName_);
    return fullName.empty() ? collapsed(fullTitle_) : fullName;
  }

 private:
  LoadedDictionary& dictionary_;
  std::vector<std::u16string> path_;  // the elements open outside any article
  bool isXdxf_ = false;
  bool visual_ = true;
  XmlNode article_;
  std::vector<XmlNode*> open_;  // the article's open elements, innermost last
  std::u16string fullName_, fullTitle_;
};

int readEntries(LoadedDictionary& dictionary, const std::filesystem::path& path,
                UserInterface& ui) {
  std::string error;
  const auto bytes = readWholeFile(path, error);
  if (!bytes) {
    ui.showFileWarning(pick(kOpenFailed), path, errno);
    return -1;
  }
  std::string converted;
  XdxfEvents events(dictionary);
  // Line breaks between elements are part of a visual article's text; XDXF files commonly
  // declare their document type.
  if (!readXmlStream(utf8Text(*bytes, converted), events,
                     {.keepWhiteSpace = true, .allowDocumentType = true})) {
    showWarning(ui, formatText(kNotXml, {{u"file", pathText(path)}}));
    return -1;
  }
  if (!events.isXdxf()) {
    showWarning(ui, formatText(kNotXdxf, {{u"file", pathText(path)}}));
    return -1;
  }
  const std::u16string name = events.name();
  dictionary.name = name.empty() ? dictionaryNameFromPath(pathText(path)) : name;
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
