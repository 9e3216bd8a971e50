// The XDXF reader, and the packer on what it loads, on arbitrary file contents.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "pack/block_packer.h"
#include "reader_input.h"
#include "sources/xdxf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/lexora-fuzz-xdxf-" + std::to_string(getpid()) + ".xdxf";
  if (!writeFuzzInput(path, data, size)) return 0;

  SilentUserInterface ui;
  lexora::LoadedDictionary dictionary;
  lexora::readXdxfDictionary(dictionary, std::filesystem::path(path), ui);
  // Whatever was read, read or not, packs.
  if (!lexora::packDictionary(dictionary, lexora::PackOptions{})) __builtin_trap();
  return 0;
}
