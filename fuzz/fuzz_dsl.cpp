// The DSL reader, and the packer on what it loads, on arbitrary file contents.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "pack/block_packer.h"
#include "platform/ansi_code_page.h"
#include "sources/dsl_reader.h"

namespace {

class SilentUserInterface : public lexora::UserInterface {
 public:
  lexora::MessageAnswer showMessage(std::u16string_view, lexora::MessageIcon,
                                    lexora::MessageButtons) override {
    return lexora::MessageAnswer::Ok;
  }
  void setStatus(std::u16string_view) override {}
  std::optional<std::u16string> askPassword(std::u16string_view) override { return std::nullopt; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The reader takes a path; the first byte also picks a single- or a multi-byte page for
  // files without a byte-order mark.
  static const std::string path = "/tmp/lexora-fuzz-dsl-" + std::to_string(getpid()) + ".dsl";
  lexora::chooseAnsiCodePage(size > 0 && (data[0] & 1) ? "CP936" : "CP1252");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  SilentUserInterface ui;
  lexora::LoadedDictionary dictionary;
  if (lexora::readDslDictionary(dictionary, std::filesystem::path(path), ui) != 0) __builtin_trap();
  if (!lexora::packDictionary(dictionary, lexora::PackOptions{})) __builtin_trap();
  return 0;
}
