// lexora-cli inspect: checks a packed image the way the handheld reads it, and looks
// headwords up in it.
#include <cstdio>

#include "cli/commands.h"
#include "pack/packed_image.h"
#include "pack/packed_image_check.h"
#include "pack/word_lookup.h"
#include "platform/path_text.h"
#include "platform/text_codec.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

constexpr BilingualText kDamaged{u"压缩映像已损坏：", u"The packed image is damaged: "};
constexpr BilingualText kUnreadable{u"无法读取压缩映像：", u"Cannot read the packed image: "};
constexpr BilingualText kNotFound{u"未找到单词：", u"Word not found: "};

int fail(UserInterface& ui, const BilingualText& lead, const std::string& detail) {
  ui.showMessage(std::u16string(lead.pick()) + utf8ToUtf16(detail), MessageIcon::Warning,
                 MessageButtons::Ok);
  return kExitFailed;
}

}  // namespace

int inspectCommand(const CommandLine& line) {
  ConsoleUserInterface ui;
  const std::string& path = line.operands.front();
  std::string error;
  const auto bytes = readWholeFile(pathFromArgument(path), error);
  if (!bytes) return fail(ui, kUnreadable, error);
  // The same checks the handheld makes before it stores a dictionary.
  const auto image = checkPackedImage(*bytes, error);
  if (!image) return fail(ui, kDamaged, error);
  const PackedDictionary& dictionary = image->dictionary;

  if (line.operands.size() == 1) {
    std::printf(
        "%s\n  name: %s\n  blocks: %zu\n  entries: %llu\n  packed size: %d\n"
        "  record bytes (inflated): %llu\n  image bytes: %zu\n  ok\n",
        path.c_str(), utf16ToUtf8(dictionary.name).c_str(), dictionary.blocks.size(),
        static_cast<unsigned long long>(image->entries), packedSize(dictionary),
        static_cast<unsigned long long>(image->recordBytes), bytes->size());
    return kExitOk;
  }

  int status = kExitOk;
  for (size_t w = 1; w < line.operands.size(); ++w) {
    const auto found = lookupWord(dictionary, line.operands[w], error);
    if (!found) {
      fail(ui, error.empty() ? kNotFound : kDamaged, error.empty() ? line.operands[w] : error);
      status = kExitFailed;
      continue;
    }
    std::printf("%s\t%s\n", found->headword.c_str(), found->text.c_str());
  }
  return status;
}

}  // namespace lexora
