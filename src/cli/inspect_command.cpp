// lexora-cli inspect: checks a packed image the way the handheld reads it, and looks
// headwords up in it.
#include <cstdio>

#include "cli/commands.h"
#include "pack/packed_image.h"
#include "platform/text_codec.h"
#include "platform/ui_language.h"
#include "sources/entry_map.h"

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

struct Block {
  size_t offset;  // of its key message in the image
  std::vector<DecodedEntry> entries;
};

}  // namespace

int inspectCommand(const CommandLine& line) {
  ConsoleUserInterface ui;
  const std::string& path = line.operands.front();
  std::string error;
  const auto bytes = readWholeFile(std::filesystem::path(path), error);
  if (!bytes) return fail(ui, kUnreadable, error);
  const auto image = parsePackedImage(*bytes, error);
  if (!image) return fail(ui, kDamaged, error);

  // Decode every block: the same checks the handheld makes before it acknowledges one.
  std::vector<Block> blocks;
  size_t offset = 3 + utf16ToUtf8(image->name).size();
  size_t entries = 0, recordBytes = 0;
  std::string previousKey;
  for (size_t b = 0; b < image->blocks.size(); ++b) {
    const PackedBlock& block = image->blocks[b];
    auto decoded = decodeBlock(block, error);
    if (!decoded) {
      return fail(ui, kDamaged,
                  "block " + std::to_string(b) + " (key message at offset " +
                      std::to_string(offset) + "): " + error);
    }
    for (const DecodedEntry& e : *decoded) {
      // Look-ups on the handheld search by key, so the keys must ascend strictly.
      std::string key = asciiLower(e.headword);
      if (entries > 0 && compareKeys(previousKey, key) >= 0) {
        return fail(ui, kDamaged,
                    "headword \"" + std::string(e.headword) + "\" in block " + std::to_string(b) +
                        " (key message at offset " + std::to_string(offset) +
                        ") is out of key order");
      }
      previousKey = std::move(key);
      recordBytes += 2 + e.text.size();
      ++entries;
    }
    blocks.push_back({offset, std::move(*decoded)});
    offset += 6 + block.keyBytes.size() + block.packedBytes.size();
  }

  if (line.operands.size() == 1) {
    std::printf(
        "%s\n  name: %s\n  blocks: %zu\n  entries: %zu\n  packed size: %d\n"
        "  record bytes (inflated): %zu\n  image bytes: %zu\n  ok\n",
        path.c_str(), utf16ToUtf8(image->name).c_str(), image->blocks.size(), entries,
        packedSize(*image), recordBytes, bytes->size());
    return kExitOk;
  }

  int status = kExitOk;
  for (size_t w = 1; w < line.operands.size(); ++w) {
    const std::string wanted = asciiLower(line.operands[w]);
    const DecodedEntry* found = nullptr;
    for (const Block& block : blocks) {
      for (const DecodedEntry& e : block.entries) {
        if (asciiLower(e.headword) == wanted) found = &e;
      }
      if (found) break;
    }
    if (!found) {
      fail(ui, kNotFound, line.operands[w]);
      status = kExitFailed;
      continue;
    }
    std::printf("%s\t%s\n", found->headword.c_str(), found->text.c_str());
  }
  return status;
}

}  // namespace lexora
