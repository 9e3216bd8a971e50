// lexora-cli inspect: checks packed images the way the handheld reads them, and looks
// headwords up in them.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "cli/commands.h"
#include "pack/packed_image.h"
#include "pack/packed_image_check.h"
#include "pack/word_lookup.h"
#include "platform/text_codec.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

constexpr BilingualText kDamaged{u"压缩映像已损坏：", u"The packed image is damaged: "};
constexpr BilingualText kUnreadable{u"无法读取压缩映像。", u"Cannot read the packed image."};
constexpr BilingualText kNotFound{u"未找到单词：", u"Word not found: "};

struct Image {
  std::string path;
  CheckedImage checked;
  size_t bytes = 0;
};

// The image at `path`, checked as the handheld checks it before storing; nullopt when it
// cannot be read or is damaged (told to the user).
std::optional<Image> readImage(UserInterface& ui, const std::string& path) {
  std::string error;
  const auto bytes = readWholeFile(std::filesystem::path(path), error);
  if (!bytes) {
    showFileFailure(ui, kUnreadable, error);
    return std::nullopt;
  }
  auto checked = checkPackedImage(*bytes, error);
  if (!checked) {
    showWarning(ui, std::u16string(kDamaged.pick()) + utf8ToUtf16(path + ": " + error));
    return std::nullopt;
  }
  return Image{path, std::move(*checked), bytes->size()};
}

bool endsInImageSuffix(const std::string& operand) {
  if (operand.size() < 4) return false;
  std::string suffix = operand.substr(operand.size() - 4);
  for (char& c : suffix) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return suffix == ".lxp";
}

void describe(const Image& image) {
  const PackedDictionary& dictionary = image.checked.dictionary;
  std::printf(
      "%s\n  name: %s\n  blocks: %zu\n  entries: %llu\n  packed size: %d\n"
      "  record bytes (inflated): %llu\n  image bytes: %zu\n  ok\n",
      image.path.c_str(), utf16ToUtf8(dictionary.name).c_str(), dictionary.blocks.size(),
      static_cast<unsigned long long>(image.checked.entries), packedSize(dictionary),
      static_cast<unsigned long long>(image.checked.recordBytes), image.bytes);
}

}  // namespace

int inspectCommand(const CommandLine& line) {
  ConsoleUserInterface ui(ConsoleUserInterface::Answers::Ask,
                          ConsoleUserInterface::PasswordSource::Terminal, line.detail);
  // The first operand is an image, and so is each one right after it that ends in .lxp;
  // the rest are words. A word that ends in .lxp is unlikely, a lookup across several
  // images useful.
  size_t imageCount = 1;
  while (imageCount < line.operands.size() && endsInImageSuffix(line.operands[imageCount])) {
    ++imageCount;
  }
  const std::vector<std::string> paths(line.operands.begin(),
                                       line.operands.begin() + static_cast<ptrdiff_t>(imageCount));
  const std::vector<std::string> words(line.operands.begin() + static_cast<ptrdiff_t>(imageCount),
                                       line.operands.end());

  int status = kExitOk;
  std::vector<Image> images;
  for (const std::string& path : paths) {
    auto image = readImage(ui, path);
    if (!image) {
      status = kExitFailed;
      continue;
    }
    if (words.empty()) {
      describe(*image);
    } else {
      images.push_back(std::move(*image));
    }
  }

  // Each word's entry as "headword TAB definition", from every image that has it; with
  // several images each line starts with the image's path, as grep names its files.
  for (const std::string& word : words) {
    bool found = false;
    for (const Image& image : images) {
      std::string error;
      const auto entry = lookupWord(image.checked.dictionary, word, error);
      if (!entry) {
        if (!error.empty()) {
          showWarning(ui, std::u16string(kDamaged.pick()) + utf8ToUtf16(image.path + ": " + error));
          status = kExitFailed;
        }
        continue;
      }
      found = true;
      if (paths.size() > 1) std::printf("%s:", image.path.c_str());
      std::printf("%s\t%s\n", entry->headword.c_str(), entry->text.c_str());
    }
    if (!found && !images.empty()) {
      showWarning(ui, std::u16string(kNotFound.pick()) + utf8ToUtf16(word));
      status = kExitFailed;
    }
  }
  return status;
}

}  // namespace lexora
