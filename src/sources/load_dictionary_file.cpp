#include "sources/load_dictionary_file.h"

#include "base/text_codec.h"
#include "platform/path_text.h"
#include "platform/ui_language.h"
#include "sources/dictd_reader.h"
#include "sources/dsl_reader.h"
#include "sources/mdict_reader.h"
#include "sources/stardict_reader.h"
#include "sources/text_reader.h"
#include "sources/xdxf_reader.h"

namespace lexora {
namespace {
constexpr BilingualText kUnsupportedExtension{u"莱克索拉不支持这种扩展名的词典文件！",
                                              u"Lexora cannot handle file with this extend name"};
// Loading still succeeds: the dialog asks about the empty dictionary at 0 bytes, and the
// user decides; but the user must know why it is empty rather than find out on the handheld.
constexpr BilingualText kNoEntries{u"词典文件中没有找到任何词条。",
                                   u"No entries were found in the dictionary file."};

int warnWhenEmpty(int result, const LoadedDictionary& dictionary, UserInterface& ui) {
  if (result == 0 && dictionary.entries.empty()) showWarning(ui, pick(kNoEntries));
  return result;
}

}  // namespace

std::u16string extensionOf(std::u16string_view path) {
  // Folder separators are deliberately not considered: "my.dicts/readme" has the
  // extension "dicts/readme", which no reader accepts.
  const size_t dot = path.rfind(u'.');
  return asciiLower(dot == std::u16string_view::npos ? path : path.substr(dot + 1));
}

std::u16string dictionaryNameFromPath(std::u16string_view path) {
  size_t start = 0;
  for (size_t i = path.size(); i > 0; --i) {
    if (isPathSeparator(path[i - 1])) {
      start = i;
      break;
    }
  }
  const size_t dot = path.rfind(u'.');
  const size_t end = (dot == std::u16string_view::npos || dot < start) ? path.size() : dot;
  return std::u16string(path.substr(start, end - start));
}

int loadDictionaryFile(LoadedDictionary& dictionary, const std::filesystem::path& path,
                       UserInterface& ui, const SourceOptions& options) {
  const std::u16string extension = extensionOf(pathText(path));
  if (extension == u"txt" || extension == u"tab")
    return warnWhenEmpty(readTextDictionary(dictionary, path, ui), dictionary, ui);
  if (extension == u"ifo")
    return warnWhenEmpty(readStarDictDictionary(dictionary, path, ui, options), dictionary, ui);
  if (extension == u"index")
    return warnWhenEmpty(readDictdDictionary(dictionary, path, ui), dictionary, ui);
  // A compressed DSL file's extension is "dz"; only the name before it tells it apart.
  if (extension == u"dsl" || (extension == u"dz" && isCompressedDslPath(pathText(path))))
    return warnWhenEmpty(readDslDictionary(dictionary, path, ui), dictionary, ui);
  if (extension == u"xdxf")
    return warnWhenEmpty(readXdxfDictionary(dictionary, path, ui), dictionary, ui);
  if (extension == u"mdx")
    return warnWhenEmpty(readMdictDictionary(dictionary, path, ui), dictionary, ui);
  if (extension == u"mdd") return refuseMdictMediaFile(dictionary, path, ui);
  showWarning(ui, pick(kUnsupportedExtension));
  dictionary.entries.freeze();  // loading ends with nothing read
  return -1;
}

}  // namespace lexora
