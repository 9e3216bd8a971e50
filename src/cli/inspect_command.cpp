// lexora-cli inspect: checks packed images the way the handheld reads them, and looks
// headwords up in them.
#include <filesystem>
#include <optional>
#include <vector>

#include "base/text_codec.h"
#include "cli/commands.h"
#include "cli/report_labels.h"
#include "pack/packed_image.h"
#include "pack/packed_image_check.h"
#include "pack/packed_image_reader.h"
#include "pack/word_lookup.h"
#include "platform/console.h"
#include "platform/path_text.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

constexpr BilingualText kDamaged{u"压缩映像已损坏：", u"The packed image is damaged: "};
constexpr BilingualText kUnreadable{u"无法读取压缩映像。", u"Cannot read the packed image."};
constexpr BilingualText kNotFound{u"未找到单词：", u"Word not found: "};

struct Image {
  std::string path;
  CheckedImage checked;
  uint64_t bytes = 0;
  std::vector<WordFound> found;  // one per word looked up
};

// Tells the user why `image` could not be read to its end.
void showFailure(UserInterface& ui, const std::string& path, const PackedImageReader& image,
                 const std::string& error) {
  if (image.unreadable()) {
    showFileFailure(ui, kUnreadable, error);
  } else {
    showWarning(ui, std::u16string(pick(kDamaged)) + utf8ToUtf16(path + ": " + error));
  }
}

// The image at `path`, checked as the handheld checks it before storing, with `words` looked
// up in it; nullopt when it cannot be read or is damaged (told to the user). Read as it
// streams, once to check and once more for the words: never held whole.
std::optional<Image> readImage(UserInterface& ui, const std::string& path,
                               const std::vector<std::string>& words) {
  std::string error;
  auto reader = PackedImageReader::open(pathFromArgument(path), error);
  if (!reader) {
    showFileFailure(ui, kUnreadable, error);
    return std::nullopt;
  }
  auto checked = checkPackedImage(*reader, error);
  if (!checked) {
    showFailure(ui, path, *reader, error);
    return std::nullopt;
  }
  Image image{path, std::move(*checked), reader->size(), {}};
  if (words.empty()) return image;
  reader = PackedImageReader::open(pathFromArgument(path), error);
  auto found = reader ? lookupWords(*reader, words, error) : std::nullopt;
  if (!found) {
    if (reader) {
      showFailure(ui, path, *reader, error);
    } else {
      showFileFailure(ui, kUnreadable, error);
    }
    return std::nullopt;
  }
  image.found = std::move(*found);
  return image;
}

bool endsInImageSuffix(const std::string& operand) {
  if (operand.size() < 4) return false;
  std::string suffix = operand.substr(operand.size() - 4);
  for (char& c : suffix) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return suffix == ".lxp";
}

void describe(const Image& image) {
  const CheckedImage& checked = image.checked;
  writeConsoleText(
      ConsoleStream::Output,
      image.path + "\n" + reportLine(kNameLabel, utf16ToUtf8(checked.name)) +
          reportLine(kBlocksLabel, std::to_string(checked.blocks)) +
          reportLine(kEntriesLabel, std::to_string(checked.entries)) +
          reportLine(kPackedSizeLabel, std::to_string(packedSize(checked.blockBytes))) +
          reportLine(kRecordBytesLabel, std::to_string(checked.recordBytes)) +
          reportLine(kImageBytesLabel, std::to_string(image.bytes)) + "  " +
          utf16ToUtf8(pick(kImageIntact)) + "\n");
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
    auto image = readImage(ui, path, words);
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
  for (size_t w = 0; w < words.size(); ++w) {
    const std::string& word = words[w];
    bool found = false;
    for (const Image& image : images) {
      const auto& [entry, error] = image.found[w];
      if (!entry) {
        if (!error.empty()) {
          showWarning(ui, std::u16string(pick(kDamaged)) + utf8ToUtf16(image.path + ": " + error));
          status = kExitFailed;
        }
        continue;
      }
      found = true;
      writeConsoleText(ConsoleStream::Output,
                       (paths.size() > 1 ? image.path + ":" : std::string()) + entry->headword +
                           "\t" + entry->text + "\n");
    }
    if (!found && !images.empty()) {
      showWarning(ui, std::u16string(pick(kNotFound)) + utf8ToUtf16(word));
      status = kExitFailed;
    }
  }
  return status;
}

}  // namespace lexora
