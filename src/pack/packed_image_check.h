// The one check of a packed dictionary, made the way the handheld reads one: the name is
// UTF-8, every block's record stream inflates, its items pair up with the key items, and
// the keys ascend strictly across the whole dictionary (look-ups search by key). Damage is
// named with its byte offset in the image. Used by `inspect` and by the emulator.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pack/block_reader.h"
#include "pack/packed_dictionary.h"
#include "pack/packed_image.h"
#include "pack/packed_image_reader.h"

namespace lexora {

// Checks a dictionary message by message, as it arrives: the name first, then each block
// in order. One checker per dictionary.
class PackedImageChecker {
 public:
  // False, with `error`, when the name is not valid UTF-8.
  bool checkName(std::string_view utf8Name, std::string& error);
  // Checks the next block; false with `error` when it is damaged or its keys do not ascend
  // from the previous block's. A refused block still counts for later offsets.
  bool checkBlock(const PackedBlock& block, std::string& error);

  uint64_t entries() const { return entries_; }
  uint64_t recordBytes() const { return recordBytes_; }  // all record items, inflated

 private:
  uint64_t offset_ = 0;  // of the next block's key message in the image
  size_t blocks_ = 0;
  uint64_t entries_ = 0;
  uint64_t recordBytes_ = 0;
  std::string previousKey_;  // the last key checked, lower-cased
  std::string key_;          // the key being checked: kept to reuse its room
  BlockReader reader_;
};

// What a check found in an image whose every block passed.
struct CheckedImage {
  std::u16string name;
  size_t blocks = 0;
  uint64_t blockBytes = 0;  // every key and record payload (see packedSize)
  uint64_t entries = 0;
  uint64_t recordBytes = 0;
};

// Reads and checks an image to its end a block at a time, stopping at the first damage;
// nullopt with `error` (naming the offset) when damaged.
std::optional<CheckedImage> checkPackedImage(PackedImageReader& image, std::string& error);
std::optional<CheckedImage> checkPackedImage(std::span<const uint8_t> image, std::string& error);

}  // namespace lexora
