#include "pack/packed_image_check.h"

#include <algorithm>
#include <string_view>

#include "pack/transfer_message.h"
#include "platform/text_codec.h"
#include "sources/entry_map.h"

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

// The offset of the first byte that is not part of valid UTF-8, or npos. Strict as the
// text codec is (no overlong forms, surrogates or code points past U+10FFFF), so that a
// name passes here exactly when it survives a round trip through UTF-16 unchanged.
size_t firstInvalidUtf8(std::string_view text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    size_t need = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      return i;
    }
    if (n - i - 1 < need) return i;
    for (size_t j = 1; j <= need; ++j) {
      const unsigned char t = s[i + j];
      if (j == 1 ? (t < lo || t > hi) : (t & 0xC0) != 0x80) return i;
    }
    i += 1 + need;
  }
  return std::string_view::npos;
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

std::optional<std::vector<DecodedEntry>> PackedImageChecker::checkBlock(const PackedBlock& block,
                                                                        std::string& error) {
  const uint64_t at = offset_;
  const size_t index = blocks_++;
  offset_ += 2 * kMessageHeaderSize + block.keyBytes.size() + block.packedBytes.size();
  const std::string where =
      "block " + std::to_string(index) + " (key message at offset " + std::to_string(at) + ")";
  auto entries = decodeBlock(block, error);
  if (!entries) {
    error = where + ": " + error;
    return std::nullopt;
  }
  // The key item's own offset: its length byte, behind the key message's header.
  uint64_t item = at + kMessageHeaderSize;
  for (const DecodedEntry& e : *entries) {
    std::string key = asciiLower(e.headword);
    if (entries_ > 0 && !mayFollow(previousKey_, key)) {
      error = "headword \"" + e.headword + "\" at offset " + std::to_string(item) + " in " + where +
              " is out of key order";
      return std::nullopt;
    }
    previousKey_ = std::move(key);
    item += 1 + e.headword.size();
    recordBytes_ += 2 + e.text.size();
    ++entries_;
  }
  return entries;
}

std::optional<CheckedImage> checkPackedImage(std::span<const uint8_t> image, std::string& error) {
  auto dictionary = parsePackedImage(image, error);
  if (!dictionary) return std::nullopt;
  PackedImageChecker checker;
  // The name's bytes as they are in the image: the parsed name has been through UTF-16.
  // A parsed image starts with its name message, which lies within the longest message.
  std::optional<MessageDamage> damage;
  const std::vector<TransferMessage> first = readMessages(
      image.first(std::min(image.size(), kMessageHeaderSize + kMaxMessagePayload)), damage);
  const std::string_view name(reinterpret_cast<const char*>(first.front().payload.data()),
                              first.front().payload.size());
  if (!checker.checkName(name, error)) return std::nullopt;
  for (const PackedBlock& block : dictionary->blocks) {
    if (!checker.checkBlock(block, error)) return std::nullopt;
  }
  return CheckedImage{std::move(*dictionary), checker.entries(), checker.recordBytes()};
}

}  // namespace lexora
