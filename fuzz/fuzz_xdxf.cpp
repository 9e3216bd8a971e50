// The XDXF reader, and the packer on what it loads, on arbitrary file contents.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "pack/block_packer.h"
#include "sources/xdxf_reader.h"

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
  static const std::string path = "/tmp/lexora-fuzz-xdxf-" + std::to_string(getpid()) + ".xdxf";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  SilentUserInterface ui;
  lexora::LoadedDictionary dictionary;
  lexora::readXdxfDictionary(dictionary, std::filesystem::path(path), ui);
  // Whatever was read, read or not, packs.
  if (!lexora::packDictionary(dictionary, lexora::PackOptions{})) __builtin_trap();
  return 0;
}
