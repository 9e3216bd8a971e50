// lexora-cli pack and info: load and pack files, then write the image or describe it.
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>

#include "base/format_text.h"
#include "base/text_codec.h"
#include "cli/commands.h"
#include "cli/report_labels.h"
#include "job/load_and_pack.h"
#include "job/packing_texts.h"
#include "pack/packed_image.h"
#include "platform/atomic_file.h"
#include "platform/console.h"
#include "platform/file.h"
#include "platform/path_text.h"
#include "platform/ui_language.h"
#include "sources/dsl_reader.h"

namespace lexora {
namespace {

constexpr BilingualText kWriteFailed{u"写入压缩映像失败。", u"Writing the packed image failed."};
constexpr BilingualText kSameOutput{
    u"两个词典会写到同一个压缩映像，未写出后者：",
    u"Two dictionaries would be written to the same packed image; the second was not written: "};
constexpr BilingualText kNothingToPack{
    u"词典中没有可打包的词条，未写出压缩映像。",
    u"The dictionary has no entries to pack; no image was written."};
constexpr BilingualText kLeftOut{u"未打包（词头超过255字节）：{count}",
                                 u"left out (headwords over 255 bytes): {count}"};
constexpr BilingualText kImageExists{
    u"压缩映像已存在，未覆盖（使用 --force 可覆盖）。",
    u"The packed image already exists and was not replaced (use --force to replace it)."};
constexpr BilingualText kFolderUnusable{u"无法在输出文件夹中写入压缩映像，未打包任何词典。",
                                        u"Packed images cannot be written in the output folder; "
                                        u"nothing was packed."};
constexpr BilingualText kNotToTerminal{
    u"压缩映像不写到终端（使用 --force 仍可写出）。",
    u"A packed image is not written to a terminal (use --force to write it anyway)."};

// The packed size in bytes and megabytes.
std::string sizeLine(int32_t size) {
  return utf16ToUtf8(packedSizeText(size));
}

ConsoleUserInterface commandInterface(const CommandLine& line) {
  return ConsoleUserInterface(ConsoleUserInterface::Answers::Ask,
                              ConsoleUserInterface::PasswordSource::Terminal, line.detail);
}

// Where an image goes when -o does not say: named after the input file, as gzip names its
// output (wn.ifo -> wn.lxp), in the current folder or --output-dir. The input's own name
// rather than the dictionary's: it is what the user typed, and it stays readable (spaces,
// any letters) where a name made from the dictionary would need escaping.
std::filesystem::path defaultImagePath(const std::string& file,
                                       const std::optional<std::string>& outputDir) {
  std::filesystem::path name = pathFromArgument(file).filename();
  // A compressed DSL file (wn.dsl.dz) is named for what it holds: wn.lxp, not wn.dsl.lxp.
  if (isCompressedDslPath(pathText(name))) name.replace_extension();
  name.replace_extension(".lxp");
  return outputDir ? pathFromArgument(*outputDir) / name : name;
}

// The image file compared across one run: two spellings of one path are one file.
std::filesystem::path comparedPath(const std::filesystem::path& out) {
  std::error_code noWorkingFolder;  // then the path is compared as given
  std::filesystem::path key = std::filesystem::absolute(out, noWorkingFolder);
  return (noWorkingFolder ? out : key).lexically_normal();
}

// Makes --output-dir when it is missing and checks that files can be made in it, so that a
// folder that is a file, a dangling link, a loop or read-only is refused before anything
// is loaded. 0, or the system's reason.
int prepareOutputFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return error.value();
  if (!std::filesystem::is_directory(std::filesystem::status(folder, error)))
    return error ? error.value() : ENOTDIR;
  return canCreateFilesIn(folder) ? 0 : errno;
}

bool writeToStandardOutput(const PackedDictionary& packed) {
  const std::vector<uint8_t> image = serializePackedImage(packed);
  if (image.empty()) return false;  // a name or block too long for a message
  setBinaryMode(stdout);
  // A failed write is reported when standard output is flushed at the end of the run.
  std::fwrite(image.data(), 1, image.size(), stdout);
  return true;
}

// Loads and packs each file in turn and hands the result to `use`, which returns false when
// it failed. The run's exit status: failed when any file did.
template <class Use>
int forEachPackedFile(const CommandLine& line, Use use) {
  ConsoleUserInterface ui = commandInterface(line);
  int status = kExitOk;
  for (const std::string& file : line.operands) {
    // Operands are the system's own path bytes, opened whatever their encoding.
    auto result = loadAndPackFile(pathFromArgument(file), ui, {.markupAsText = line.markupAsText});
    if (result) ui.finishStatus();
    if (!result || !use(file, *result, ui)) status = kExitFailed;
    // A dictionary with nothing in it is no success, though it is still described (info).
    if (result && blockCount(result->packed.dictionary) == 0) status = kExitFailed;
  }
  return status;
}

}  // namespace

int packCommand(const CommandLine& line) {
  ConsoleUserInterface ui = commandInterface(line);
  // The images written in this run and the files they came from: two dictionaries whose
  // images would be one file must not silently replace each other.
  std::map<std::filesystem::path, std::u16string> written;
  if (line.outputDir) {
    const std::filesystem::path folder =
        line.outputDir->empty() ? std::filesystem::path(".") : pathFromArgument(*line.outputDir);
    if (const int reason = prepareOutputFolder(folder); reason != 0) {
      ui.showFileWarning(pick(kFolderUnusable), folder, reason);
      return kExitFailed;
    }
  }
  int status = kExitOk;
  for (const std::string& file : line.operands) {
    const std::filesystem::path out =
        line.output ? pathFromArgument(*line.output) : defaultImagePath(file, line.outputDir);
    const bool toStandardOutput = line.output == "-";
    const std::filesystem::path key = comparedPath(out);
    // Everything that refuses the output is decided before a big dictionary is loaded.
    if (const auto earlier = written.find(key); !toStandardOutput && earlier != written.end()) {
      showWarning(ui, std::u16string(pick(kSameOutput)) + earlier->second + u", " +
                          pathText(pathFromArgument(file)) + u" -> " + pathText(out));
      status = kExitFailed;
      continue;
    }
    if (toStandardOutput && !line.force && isConsoleTerminal(ConsoleStream::Output)) {
      showWarning(ui, pick(kNotToTerminal));
      status = kExitFailed;
      continue;
    }
    // Only an existing regular file is an image to keep: a FIFO or a device (-o /dev/null)
    // is written into, and a dangling link gets its target made. Asked before loading, not
    // at the rename: an image another program makes meanwhile is replaced, as with gzip.
    std::error_code unknown;
    if (!toStandardOutput && !line.force &&
        std::filesystem::is_regular_file(std::filesystem::status(out, unknown))) {
      ui.showFileWarning(pick(kImageExists), out, EEXIST);
      status = kExitFailed;
      continue;
    }
    // Opened now, so that an output that cannot be written fails at once; a signal that
    // ends the run meanwhile removes the temporary file.
    std::string openError;
    std::optional<AtomicFile> image =
        toStandardOutput ? std::optional<AtomicFile>() : AtomicFile::create(out, openError);
    if (!toStandardOutput && !image) {
      showFileFailure(ui, kWriteFailed, openError);
      status = kExitFailed;
      continue;
    }

    // Operands are the system's own path bytes, opened whatever their encoding.
    auto result = loadAndPackFile(pathFromArgument(file), ui, {.markupAsText = line.markupAsText});
    if (!result) {
      status = kExitFailed;
      continue;
    }
    ui.finishStatus();
    PackedDictionary& packed = result->packed.dictionary;
    if (line.name) packed.name = utf8ToUtf16(*line.name);
    ui.note(sizeLine(packedSize(packed)));
    if (blockCount(packed) == 0) {
      showWarning(ui, pick(kNothingToPack));
      status = kExitFailed;
      continue;
    }
    if (toStandardOutput) {
      if (!writeToStandardOutput(packed)) {
        showFileFailure(ui, kWriteFailed, "-: the name or a block is longer than a message holds");
        status = kExitFailed;
      }
      continue;
    }
    std::string error;
    if (!writePackedImage(*image, packed, error)) {
      showFileFailure(ui, kWriteFailed, error);
      status = kExitFailed;
      continue;
    }
    written.emplace(key, pathText(pathFromArgument(file)));
    ui.note(utf16ToUtf8(pathText(out)));
  }
  return status;
}

int infoCommand(const CommandLine& line) {
  return forEachPackedFile(
      line, [](const std::string& file, LoadedAndPacked& result, ConsoleUserInterface&) {
        const PackedDictionary& packed = result.packed.dictionary;
        const int64_t leftOut = result.packed.droppedLongHeadwords;
        // The entries the image holds, not those loaded: long headwords are left out.
        const auto entries = static_cast<int64_t>(result.loaded.entries.size()) - leftOut;
        std::string report = file + "\n" + reportLine(kNameLabel, utf16ToUtf8(packed.name)) +
                             reportLine(kEntriesLabel, std::to_string(entries));
        if (leftOut > 0) {
          report += "  " + utf16ToUtf8(formatText(kLeftOut, {{u"count", leftOut}})) + "\n";
        }
        report += reportLine(kBlocksLabel, std::to_string(blockCount(packed))) +
                  reportLine(kPackedSizeLabel, std::to_string(packedSize(packed))) + "  " +
                  sizeLine(packedSize(packed)) + "\n";
        writeConsoleText(ConsoleStream::Output, report);
        return true;
      });
}

}  // namespace lexora
