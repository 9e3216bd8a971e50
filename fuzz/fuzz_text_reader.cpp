// The text dictionary reader, and the packer on what it loads, on arbitrary file contents.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/text_codec.h"
#include "pack/block_packer.h"
#include "platform/ansi_code_page.h"
#include "reader_input.h"
#include "sources/text_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The reader takes a path; the first byte also picks a single- or a multi-byte page.
  static const std::string path = "/tmp/lexora-fuzz-text-" + std::to_string(getpid()) + ".txt";
  lexora::chooseAnsiCodePage(size > 0 && (data[0] & 1) ? "CP936" : "CP1252");
  if (!writeFuzzInput(path, data, size)) return 0;

  SilentUserInterface ui;
  lexora::LoadedDictionary dictionary;
  if (lexora::readTextDictionary(dictionary, std::filesystem::path(path), ui) != 0)
    __builtin_trap();
  if (!lexora::packDictionary(dictionary, lexora::PackOptions{})) __builtin_trap();
  return 0;
}
