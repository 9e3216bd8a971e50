#include "pack/packed_image_check.h"

#include <algorithm>
#include <string_view>

#include "base/text_codec.h"
#include "dictionary/key_order.h"
#include "pack/transfer_message.h"

namespace lexora {
namespace {

// Whether `key` may follow `previous` in strictly ascending key order. A lone surrogate in a
// headword is sent as U+FFFD but ordered by its own code unit, so once either key reaches a
// U+FFFD their order cannot be told from the image and is let pass.
bool mayFollow(std::string_view previous, std::string_view key) {
  constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  const size_t cut = std::min(previous.find(kReplacement), key.find(kReplacement));
  if (cut == std::string_view::npos) return compareKeys(previous, key) < 0;
  const size_t n = std::min({previous.size(), key.size(), cut});
  if (previous.substr(0, n) != key.substr(0, n)) return compareKeys(previous, key) < 0;
  return n == cut || (previous.size() == n && key.size() > n);
}

}  // namespace

bool PackedImageChecker::checkName(std::string_view utf8Name, std::string& error) {
  offset_ = kMessageHeaderSize + utf8Name.size();
  const size_t bad = firstInvalidUtf8(utf8Name);
  if (bad == std::string_view::npos) return true;
  error =
      "the name is not valid UTF-8 (at offset " + std::to_string(kMessageHeaderSize + bad) + ")";
  return false;
}

bool PackedImageChecker::checkBlock(const PackedBlock& block, std::string& error) {
  const uint64_t at = offset_;
  const size_t index = blocks_++;
  offset_ += 2 * kMessageHeaderSize + block.keyBytes.size() + block.packedBytes.size();
  // Only a refusal names the block: a block that passes costs no text.
  const auto where = [&] {
    return "block " + std::to_string(index) + " (key message at offset " + std::to_string(at) + ")";
  };
  const std::vector<EntryView>* entries = reader_.read(block, error);
  if (!entries) {
    error = where() + ": " + error;
    return false;
  }
  // The key item's own offset: its length byte, behind the key message's header.
  uint64_t item = at + kMessageHeaderSize;
  for (const EntryView& e : *entries) {
    key_.assign(e.headword);
    asciiLowerInPlace(key_);
    if (entries_ > 0 && !mayFollow(previousKey_, key_)) {
      error = "headword \"" + std::string(e.headword) + "\" at offset " + std::to_string(item) +
              " in " + where() + " is out of key order";
      return false;
    }
    previousKey_.swap(key_);
    item += 1 + e.headword.size();
    recordBytes_ += 2 + e.text.size();
    ++entries_;
  }
  return true;
}

std::optional<CheckedImage> checkPackedImage(PackedImageReader& image, std::string& error) {
  PackedImageChecker checker;
  std::string name;
  if (!image.readName(name, error) || !checker.checkName(name, error)) return std::nullopt;
  PackedBlock block;
  for (;;) {
    switch (image.nextBlock(block, error)) {
      case PackedImageReader::Step::Block:
        if (!checker.checkBlock(block, error)) return std::nullopt;
        break;
      case PackedImageReader::Step::End:
        return CheckedImage{utf8ToUtf16(name), image.blocks(), image.blockBytes(),
                            checker.entries(), checker.recordBytes()};
      case PackedImageReader::Step::Damaged:
        return std::nullopt;
    }
  }
}

std::optional<CheckedImage> checkPackedImage(std::span<const uint8_t> image, std::string& error) {
  PackedImageReader reader(image);
  return checkPackedImage(reader, error);
}

}  // namespace lexora
