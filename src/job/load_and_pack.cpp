#include "job/load_and_pack.h"

#include <thread>

#include "base/status_text.h"
#include "job/packing_texts.h"
#include "platform/path_text.h"
#include "platform/ui_language.h"
#include "sources/load_dictionary_file.h"

namespace lexora {
namespace {
constexpr BilingualText kLoading{u"加载词典文件", u"Load dictionary file "};
constexpr BilingualText kPacking{u"压缩词典文件", u"Compress dictionary file "};
// zlib fails only when memory runs out; the file is skipped like one that did not load.
constexpr BilingualText kPackFailed{u"压缩词典文件失败！", u"Compress dictionary file failed!"};
}  // namespace

std::u16string loadingStatus(std::u16string_view path) {
  return statusText(pick(kLoading), path);
}

std::u16string packingStatus(std::u16string_view path) {
  return statusText(pick(kPacking), path);
}

std::optional<LoadedAndPacked> loadAndPackFile(const std::filesystem::path& file, UserInterface& ui,
                                               const SourceOptions& sources) {
  const std::u16string path = pathText(file);
  LoadedAndPacked result;
  // Each status is composed when shown, so a language switch meanwhile takes effect.
  ui.setStatus(loadingStatus(path));
  if (loadDictionaryFile(result.loaded, file, ui, sources) != 0) return std::nullopt;
  ui.setStatus(loadingStatus(path) + std::u16string(pick(kStatusSuccess)));

  ui.setStatus(packingStatus(path));
  // Compressing is the long part of packing, and the bytes do not depend on the threads.
  const PackOptions options{.threads = std::thread::hardware_concurrency()};
  auto packed = packDictionary(result.loaded, options);
  if (!packed) {
    showWarning(ui, pick(kPackFailed));
    return std::nullopt;
  }
  result.packed = std::move(*packed);
  ui.setStatus(packingStatus(path) + std::u16string(pick(kStatusSuccess)));
  if (auto notice = packingNotice(result.packed)) {
    ui.showMessage(*notice, MessageIcon::Information, MessageButtons::Ok);
  }
  return result;
}

}  // namespace lexora
