#include "sources/xdxf_reader.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "base/format_text.h"
#include "base/text_codec.h"
#include "platform/file.h"
#include "platform/path_text.h"
#include "platform/ui_language.h"
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

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// `text` with white space runs made one space and none at either end, after `out`.
void appendCollapsed(std::string_view text, std::string& out) {
  bool space = false;
  for (char c : text) {
    if (isSpace(c)) {
      space = !out.empty();
    } else {
      if (space) out.push_back(' ');
      space = false;
      out.push_back(c);
    }
  }
}

// The article text being laid out in UTF-8: lines, with white space held back until text
// follows. Only ASCII bytes are looked at, so characters pass through whole.
class Lines {
 public:
  explicit Lines(bool keepLineBreaks) : keepLineBreaks_(keepLineBreaks) {}

  void text(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
      const char c = text[i];
      if (c == '\n' && keepLineBreaks_) {
        endLine();
        ++i;
      } else if (isSpace(c)) {
        space_ = true;
        ++i;
      } else {
        // Words with single spaces between them come out as they are, in one piece.
        size_t end = i + 1;
        while (end < text.size()) {
          if (!isSpace(text[end])) {
            ++end;
          } else if (text[end] == ' ' && end + 1 < text.size() && !isSpace(text[end + 1])) {
            end += 2;
          } else {
            break;
          }
        }
        put(text.substr(i, end - i));
        i = end;
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
  void startLine(std::string_view prefix) {
    if (lineHasAny_) breakPending_ = true;
    for (char c : prefix) put(std::string_view(&c, 1));
    lineStart_ = true;
    afterPrefix_ = true;
  }
  const std::string& text() const { return out_; }
  // Starts another article, keeping the buffer.
  void clear(bool keepLineBreaks) {
    std::string buffer = std::move(out_);
    buffer.clear();
    *this = Lines(keepLineBreaks);
    out_ = std::move(buffer);
  }

 private:
  // `run` begins and ends with other than white space.
  void put(std::string_view run) {
    if (breakPending_ && !out_.empty()) {
      out_.push_back('\n');
    } else if (afterPrefix_ || (space_ && !lineStart_)) {
      out_.push_back(' ');
    }
    breakPending_ = false;
    space_ = false;
    lineStart_ = false;
    afterPrefix_ = false;
    lineHasAny_ = true;
    out_.append(run);
  }

  bool keepLineBreaks_;
  std::string out_;
  bool space_ = false;
  bool lineStart_ = true;
  bool breakPending_ = false;
  bool lineHasAny_ = false;   // the line holds a prefix or text
  bool afterPrefix_ = false;  // the line holds only a prefix
};

// The elements whose names matter, told apart once as they are read.
enum class Tag : uint8_t { Other, K, Opt, Rref, Br, Tr, Def };

Tag tagOf(std::string_view name) {
  switch (name.size()) {
    case 1:
      return name[0] == 'k' ? Tag::K : Tag::Other;
    case 2:
      return name == "br" ? Tag::Br : name == "tr" ? Tag::Tr : Tag::Other;
    case 3:
      return name == "def" ? Tag::Def : name == "opt" ? Tag::Opt : Tag::Other;
    case 4:
      return name == "rref" ? Tag::Rref : Tag::Other;
    default:
      return Tag::Other;
  }
}

// One article as it was read, flat: its elements and runs of text in document order, the
// text in one buffer. The buffers are kept from article to article.
class Article {
 public:
  struct Item {
    bool isText = false;
    Tag tag = Tag::Other;
    size_t end = 0;    // an element: the index past its last descendant; text: its end in chars_
    size_t begin = 0;  // text: its start in chars_
    size_t defs = 0;   // an element: how many of its children are <def>s
  };

  bool reading() const { return !open_.empty(); }
  void start(Tag tag) {
    if (!open_.empty() && tag == Tag::Def) ++items_[open_.back()].defs;
    open_.push_back(items_.size());
    items_.push_back(Item{false, tag});
    inText_ = false;
  }
  // Returns true when the article itself has ended.
  bool end() {
    items_[open_.back()].end = items_.size();
    open_.pop_back();
    inText_ = false;
    return open_.empty();
  }
  void text(std::string_view text) {
    if (!inText_) items_.push_back(Item{true, Tag::Other, chars_.size(), chars_.size()});
    inText_ = true;
    chars_.append(text);
    items_.back().end = chars_.size();
  }
  void clear() {
    items_.clear();
    chars_.clear();
  }

  const Item& operator[](size_t i) const { return items_[i]; }
  // The item after `i` and its descendants.
  size_t next(size_t i) const { return items_[i].isText ? i + 1 : items_[i].end; }
  bool isElement(size_t i, Tag tag) const { return !items_[i].isText && items_[i].tag == tag; }
  std::string_view textOf(size_t i) const {
    return std::string_view(chars_).substr(items_[i].begin, items_[i].end - items_[i].begin);
  }

 private:
  std::vector<Item> items_;
  std::string chars_;
  std::vector<size_t> open_;
  bool inText_ = false;  // the last item is text still running
};

// Lays out an article's content. Nesting is bounded by the XML parser's depth limit.
class ArticleLayout {
 public:
  // The article's text, without its headwords; valid until the next call.
  const std::string& layOut(const Article& article, bool visual) {
    article_ = &article;
    lines_.clear(visual);
    for (size_t i = 1; i < article[0].end; i = article.next(i)) {
      if (!article.isElement(i, Tag::K)) node(i, 0);  // the headword is not repeated
    }
    return lines_.text();
  }

 private:
  // `defDepth`: how many numbered <def> levels enclose the node.
  void node(size_t i, int defDepth) {
    const Article::Item& n = (*article_)[i];
    if (n.isText) {
      lines_.text(article_->textOf(i));
      return;
    }
    switch (n.tag) {
      case Tag::Rref:
        return;  // a media file, nothing a handheld shows
      case Tag::Br:
        lines_.endLine();
        return;
      case Tag::Tr:
        lines_.space();
        lines_.text("[");
        children(i, defDepth);
        lines_.text("]");
        lines_.space();
        return;
      case Tag::Def:
        // A single <def>: a line (or lines) of its own, unnumbered.
        lines_.endLine();
        children(i, defDepth);
        lines_.endLine();
        return;
      default:
        children(i, defDepth);
    }
  }

  void children(size_t parent, int defDepth) {
    // A <def> among several of its parent's gets its number, counted among them.
    const Article& a = *article_;
    const bool numbered = a[parent].defs > 1;
    int number = 0;
    for (size_t i = parent + 1; i < a[parent].end; i = a.next(i)) {
      if (numbered && a.isElement(i, Tag::Def)) {
        prefix_.assign(2 * static_cast<size_t>(defDepth), ' ');
        prefix_ += std::to_string(++number);
        prefix_ += '.';
        lines_.startLine(prefix_);
        children(i, defDepth + 1);
        lines_.endLine();
        continue;
      }
      node(i, defDepth);
    }
  }

  const Article* article_ = nullptr;
  Lines lines_{false};
  std::string prefix_;
};

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

// Turns each article read into entries, one per key, with buffers kept from one to the next.
class ArticleEntries {
 public:
  explicit ArticleEntries(LoadedDictionary& dictionary) : dictionary_(dictionary) {}

  void add(const Article& article, bool visual) {
    headwords_.clear();
    keyBytes_ = 0;
    for (size_t i = 1; i < article[0].end; i = article.next(i)) {
      if (article.isElement(i, Tag::K)) addKeys(article, i);
    }
    if (headwords_.empty()) return;
    const std::string& explanation = layout_.layOut(article, visual);
    const size_t share =
        kKeysShareFactor * (explanation.size() + keyBytes_ + 64) / headwords_.size();

    for (const std::string& headword : headwords_) {
      key_.assign(headword);
      asciiLowerInPlace(key_);
      entry_.assign(headword);
      entry_.push_back('\t');
      // What the packer makes of an entry depends on no more than this much of it.
      entry_.append(explanation, 0, kKeptEntryBytes);
      size_t keep = std::min<size_t>(entry_.size(), kKeptEntryBytes);
      if (keep > share) {
        keep = cutAtCharacter(entry_, std::max(share, headword.size() + 1));
        dictionary_.shortenedKeys.push_back(key_);
      }
      entry_.resize(keep);
      dictionary_.entries.addUtf8Key(key_, entry_);
    }
  }

 private:
  // The keys of the <k> at `k`: its text, and when it holds <opt> parts also its text
  // without them; white space collapsed, empty keys dropped.
  void addKeys(const Article& article, size_t k) {
    with_.clear();
    without_.clear();
    gatherKey(article, k, false);
    std::string full, shorter;
    appendCollapsed(with_, full);
    appendCollapsed(without_, shorter);
    if (!full.empty()) addHeadword(full);
    if (!shorter.empty() && shorter != full) addHeadword(std::move(shorter));
  }
  void gatherKey(const Article& article, size_t element, bool optional) {
    for (size_t i = element + 1; i < article[element].end; i = article.next(i)) {
      if (article[i].isText) {
        with_ += article.textOf(i);
        if (!optional) without_ += article.textOf(i);
      } else {
        gatherKey(article, i, optional || article[i].tag == Tag::Opt);
      }
    }
  }
  void addHeadword(std::string headword) {
    keyBytes_ += headword.size();
    headwords_.push_back(std::move(headword));
  }

  LoadedDictionary& dictionary_;
  ArticleLayout layout_;
  std::vector<std::string> headwords_;
  size_t keyBytes_ = 0;
  std::string with_, without_, key_, entry_;
};

// Gathers the document's name and one article at a time, handing each on as soon as it
// ends: memory holds the entries and the article being read.
class XdxfEvents : public XmlEvents {
 public:
  explicit XdxfEvents(LoadedDictionary& dictionary) : entries_(dictionary) {}

  void startElement(std::string_view name) override {
    if (article_.reading()) {
      article_.start(tagOf(name));
      return;
    }
    const size_t depth = path_.size();
    path_.emplace_back(name);
    if (depth == 0) {
      isXdxf_ = name == "xdxf";
    } else if (isXdxf_ && name == "ar" && (depth == 1 || (depth == 2 && path_[1] == "lexicon"))) {
      // The logical format keeps its articles in <lexicon> and lays text out by its
      // elements; in the visual format the line breaks of the text are the article's own.
      visual_ = depth == 1;
      article_.clear();
      article_.start(Tag::Other);
      path_.pop_back();
    }
  }

  void endElement() override {
    if (article_.reading()) {
      if (article_.end()) entries_.add(article_, visual_);
      return;
    }
    if (!path_.empty()) path_.pop_back();
  }

  void text(std::string_view text) override {
    if (article_.reading()) {
      article_.text(text);
      return;
    }
    if (!isXdxf_) return;
    if (path_.size() == 2 && path_[1] == "full_name") fullName_ += text;
    if (path_.size() == 3 && path_[1] == "meta_info" && path_[2] == "full_title") {
      fullTitle_ += text;
    }
  }

  bool isXdxf() const { return isXdxf_; }
  std::u16string name() const {
    std::string name;
    appendCollapsed(fullName_, name);
    if (name.empty()) appendCollapsed(fullTitle_, name);
    return utf8ToUtf16(name);
  }

 private:
  ArticleEntries entries_;
  std::vector<std::string> path_;  // the elements open outside any article
  bool isXdxf_ = false;
  bool visual_ = true;
  Article article_;
  std::string fullName_, fullTitle_;
};

int readEntries(LoadedDictionary& dictionary, const std::filesystem::path& path,
                UserInterface& ui) {
  const FilePtr file = openForReading(path);
  if (!file) {
    ui.showFileWarning(pick(kOpenFailed), path, errno);
    return -1;
  }
  // The encoding is the file's own (a byte-order mark or the XML declaration); XDXF files
  // commonly declare their document type.
  XdxfEvents events(dictionary);
  if (!readXmlStream(file.get(), events)) {
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
