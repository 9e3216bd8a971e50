// The data file readers on an arbitrary file: the dictzip table in memory, and the
// whole data-file reader (plain, gzip stream, or dictzip with its fall-back) on disk.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "base/text_codec.h"
#include "sources/dictzip_reader.h"
#include "sources/stardict_data.h"

namespace {

// Block positions spread over the data and beyond its end, in a scattered order.
void readSome(auto& reader, uint64_t size) {
  std::string block;
  uint64_t offset = 0;
  for (int i = 0; i < 64; ++i) {
    offset = (offset * 2654435761u + 97) % (size + 200);
    const auto length = static_cast<uint32_t>((offset * 31 + 7) % 3000);
    reader.read(offset, length, block);
    if (block.size() > length) __builtin_trap();
  }
}

struct DataAdapter {
  lexora::StarDictData& data;
  void read(uint64_t offset, uint32_t size, std::string& block) {
    data.readBlock(offset, size, block);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (auto reader = lexora::DictzipReader::open(std::make_unique<lexora::MemoryInput>(bytes))) {
    readSome(*reader, reader->size());
  }
  static const std::string path = "/tmp/lexora-fuzz-" + std::to_string(getpid()) + ".dict.dz";
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    // A small memory limit, so that a stream's far part goes through the temporary file.
    if (auto file =
            lexora::StarDictData::open(std::filesystem::path(path), {.memoryBytes = 4096})) {
      DataAdapter adapter{*file};
      readSome(adapter, size * 4);
    }
  }
  return 0;
}
