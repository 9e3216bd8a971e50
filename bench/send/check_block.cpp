// The handheld's per-block work on a packed image, block by block as a send delivers it:
// the check it makes before acknowledging a record, against a plain `uncompress` of the
// same record stream (what the floor's handheld does). Each is run ROUNDS times.
//
// usage: check_block_bench IMAGE [ROUNDS]
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pack/packed_image.h"
#include "pack/packed_image_check.h"
#include "platform/whole_file.h"

int main(int argc, char** argv) {
  using namespace lexora;
  if (argc < 2) {
    std::fprintf(stderr, "usage: check_block_bench IMAGE [ROUNDS]\n");
    return 2;
  }
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  std::string error;
  const auto bytes = readWholeFile(argv[1], error);
  const auto dictionary = bytes ? parsePackedImage(*bytes, error) : std::nullopt;
  if (!dictionary || dictionary->blocks.empty()) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.empty() ? "no blocks" : error.c_str());
    return 1;
  }
  const auto& blocks = dictionary->blocks;
  using Clock = std::chrono::steady_clock;
  const auto perBlock = [&](Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() /
           static_cast<double>(blocks.size());
  };
  std::vector<uint8_t> records(65538);
  for (int round = 1; round <= rounds; ++round) {
    auto start = Clock::now();
    PackedImageChecker checker;
    for (const PackedBlock& b : blocks) {
      if (!checker.checkBlock(b, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
      }
    }
    const double check = perBlock(start);
    start = Clock::now();
    for (const PackedBlock& b : blocks) {
      uLongf length = records.size();
      if (uncompress(records.data(), &length, b.packedBytes.data(), b.packedBytes.size()) != Z_OK) {
        std::fprintf(stderr, "a record stream does not inflate\n");
        return 1;
      }
    }
    std::printf("round %d: per block, check %.1f us, uncompress %.1f us\n", round, check,
                perBlock(start));
  }
  return 0;
}
