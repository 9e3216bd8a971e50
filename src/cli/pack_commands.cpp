// lexora-cli pack and info: load and pack files, then write the image or describe it.
#include <cstdio>
#include <filesystem>
#include <map>

#include "cli/commands.h"
#include "job/load_and_pack.h"
#include "job/packing_texts.h"
#include "pack/image_file_name.h"
#include "pack/packed_image.h"
#include "platform/path_text.h"
#include "platform/text_codec.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

constexpr BilingualText kWriteFailed{u"写入压缩映像失败：", u"Writing the packed image failed: "};
constexpr BilingualText kSameOutput{
    u"两个词典会写到同一个压缩映像，未写出后者：",
    u"Two dictionaries would be written to the same packed image; the second was not written: "};
constexpr BilingualText kNothingToPack{
    u"词典中没有可打包的词条，未写出压缩映像。",
    u"The dictionary has no entries to pack; no image was written."};
constexpr BilingualText kLeftOut{u"未打包（词头超过255字节）：",
                                 u"left out (headwords over 255 bytes): "};

// The first line of the size question: the packed size in bytes and megabytes.
std::string sizeLine(int32_t size) {
  const std::string question = utf16ToUtf8(sizeQuestion(size));
  return question.substr(0, question.find('\n'));
}

// Loads and packs each file in turn and hands the result to `use`, which returns false when
// it failed. The run's exit status: failed when any file did.
template <class Use>
int forEachPackedFile(const CommandLine& line, Use use) {
  ConsoleUserInterface ui;
  int status = kExitOk;
  for (const std::string& file : line.operands) {
    // Operands are the system's own path bytes, opened whatever their encoding.
    auto result = loadAndPackFile(pathFromArgument(file), ui);
    if (result) ui.finishStatus();
    if (!result || !use(file, *result, ui)) status = kExitFailed;
    // A dictionary with nothing in it is no success, though it is still described (info).
    if (result && result->packed.dictionary.blocks.empty()) status = kExitFailed;
  }
  return status;
}

}  // namespace

int packCommand(const CommandLine& line) {
  // The images written in this run and the files they came from: two dictionaries whose
  // names map to one image file must not silently replace each other.
  std::map<std::filesystem::path, std::u16string> written;
  return forEachPackedFile(
      line, [&](const std::string& file, LoadedAndPacked& result, ConsoleUserInterface& ui) {
        const PackedDictionary& packed = result.packed.dictionary;
        std::printf("%s\n", sizeLine(packedSize(packed)).c_str());
        if (packed.blocks.empty()) {
          showWarning(ui, kNothingToPack.pick());
          return false;
        }

        std::filesystem::path out;
        if (line.output) {
          out = pathFromArgument(*line.output);
        } else {
          out = pathFromArgument(line.outputDir.value_or(".")) /
                pathFromArgument(packedImageFileName(utf16ToUtf8(packed.name)));
          std::error_code ignored;  // a folder that cannot be made shows up as a write failure
          std::filesystem::create_directories(out.parent_path(), ignored);
        }
        std::error_code noWorkingFolder;  // then the path is compared as given
        std::filesystem::path key = std::filesystem::absolute(out, noWorkingFolder);
        key = (noWorkingFolder ? out : key).lexically_normal();
        if (const auto earlier = written.find(key); earlier != written.end()) {
          showWarning(ui, std::u16string(kSameOutput.pick()) + earlier->second + u", " +
                              pathText(pathFromArgument(file)) + u" -> " + pathText(out));
          return false;
        }
        std::string error;
        if (!writePackedImage(out, packed, error)) {
          showWarning(ui, std::u16string(kWriteFailed.pick()) + utf8ToUtf16(error));
          return false;
        }
        written.emplace(key, pathText(pathFromArgument(file)));
        std::printf("%s\n", pathAsArgument(out).c_str());
        return true;
      });
}

int infoCommand(const CommandLine& line) {
  return forEachPackedFile(
      line, [](const std::string& file, LoadedAndPacked& result, ConsoleUserInterface&) {
        const PackedDictionary& packed = result.packed.dictionary;
        const int64_t leftOut = result.packed.droppedLongHeadwords;
        // The entries the image holds, not those loaded: long headwords are left out.
        const auto entries = static_cast<int64_t>(result.loaded.entries.size()) - leftOut;
        std::printf("%s\n  name: %s\n  entries: %lld\n", file.c_str(),
                    utf16ToUtf8(packed.name).c_str(), static_cast<long long>(entries));
        if (leftOut > 0) {
          std::printf("  %s%lld\n", utf16ToUtf8(kLeftOut.pick()).c_str(),
                      static_cast<long long>(leftOut));
        }
        std::printf("  blocks: %zu\n  packed size: %d\n  %s\n", packed.blocks.size(),
                    packedSize(packed), sizeLine(packedSize(packed)).c_str());
        return true;
      });
}

}  // namespace lexora
