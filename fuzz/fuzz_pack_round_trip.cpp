// Entries -> addEntry -> packDictionary -> image -> checkPackedImage -> decoded entries: what
// comes back is the merged input, in key order, within the format's caps, and the dropped
// and shortened counts say what is missing. Input: lines of headword TAB explanation; a
// headword led by 0x01 n becomes 250 + n % 16 bytes long, an explanation led by 0x02 and
// two bytes becomes incompressible bytes (see expand), so that small inputs reach the
// 255-byte and 65,535-byte limits. The expansions of one input share one budget (beyond it
// a marked field stays as it is): megabytes of random bytes, deflated at level 9, made a
// run crawl without reaching any further limit.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "base/text_codec.h"
#include "dictionary/entry_map.h"
#include "pack/block_packer.h"
#include "pack/packed_image.h"
#include "pack/packed_image_check.h"
#include "pack/transfer_message.h"

using namespace lexora;

namespace {

struct KeyOrder {
  bool operator()(const std::string& a, const std::string& b) const {
    return compareKeys(a, b) < 0;
  }
};

// Room for one record at the cap and some smaller ones: enough for the 65,537-byte buffer
// rule and a cut or shortened record, or for small records merged under one key to fill a
// block that must be split. Every expanded byte is deflated at level 9 and inflated again,
// so this budget, not the input's size, sets the cost of a run.
constexpr size_t kExpansionBudget = 65536 + 8192;

std::string expand(std::string_view field, bool headword, uint32_t seed, size_t& budget) {
  if (headword && field.size() >= 2 && field[0] == '\x01') {
    return std::string(250 + static_cast<uint8_t>(field[1]) % 16, 'H') +
           std::string(field.substr(2));
  }
  if (!headword && field.size() >= 3 && field[0] == '\x02') {
    // Mostly under a kilobyte (a few close a block; many merged under one key fill one);
    // rarely just around the 65,535-byte cap, where records are cut and shortened.
    const auto hi = static_cast<uint8_t>(field[1]), lo = static_cast<uint8_t>(field[2]);
    const size_t n = hi < 0xF0 ? size_t{hi} * 4 + lo % 4 : 65400 + size_t{hi - 0xF0u} * 64 + lo;
    if (n > budget) return std::string(field);
    budget -= n;
    std::string out(n + 3, '\0');
    uint32_t x = seed | 1;
    for (size_t i = 0; i < n; i += 4) {
      x ^= x << 13, x ^= x >> 17, x ^= x << 5;
      std::memcpy(out.data() + i, &x, 4);
    }
    out.resize(n);
    return out;
  }
  return std::string(field);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  LoadedDictionary loaded;
  loaded.name = u"fuzz";
  std::map<std::string, std::string, KeyOrder> expected;  // key -> merged record data
  size_t start = 0, budget = kExpansionBudget;
  for (uint32_t line = 1; start < input.size(); ++line) {
    const size_t end = std::min(input.find('\n', start), input.size());
    const std::string_view text = input.substr(start, end - start);
    start = end + 1;
    const size_t tab = std::min(text.find('\t'), text.size());
    const std::u16string headword = utf8ToUtf16(expand(text.substr(0, tab), true, line, budget));
    const std::string explanation =
        expand(tab < text.size() ? text.substr(tab + 1) : std::string_view(), false, line, budget);
    const std::u16string key = asciiLower(headword);
    const std::string entry = utf16ToUtf8(headword) + "\t" + explanation;
    addEntry(loaded.entries, key, entry);
    if (key.empty()) continue;  // adds nothing
    auto [it, fresh] = expected.try_emplace(utf16ToUtf8(key), entry);
    if (!fresh) it->second += "\t" + entry;
  }

  loaded.entries.freeze();
  auto packed = packDictionary(loaded, PackOptions{.threads = 2});
  if (!packed) __builtin_trap();
  for (const PackedBlock& b : packed->dictionary.blocks) {
    if (!fitsMessage(b.keyBytes.size()) || !fitsMessage(b.packedBytes.size())) __builtin_trap();
  }
  const std::vector<uint8_t> image = serializePackedImage(packed->dictionary);
  std::string error;
  const auto checked = checkPackedImage(image, error);  // keys strictly ascending included
  if (!checked) __builtin_trap();

  const auto parsed = parsePackedImage(image, error);
  if (!parsed || parsed->blocks.size() != checked->blocks) __builtin_trap();

  std::vector<DecodedEntry> decoded;
  for (const PackedBlock& b : parsed->blocks) {
    auto entries = decodeBlock(b, error);
    if (!entries) __builtin_trap();
    decoded.insert(decoded.end(), entries->begin(), entries->end());
  }

  int64_t dropped = 0, shortened = 0;
  size_t next = 0;
  for (const auto& [key, record] : expected) {
    if (key.size() > 255) {
      ++dropped;
      continue;
    }
    if (next >= decoded.size()) __builtin_trap();
    const DecodedEntry& got = decoded[next++];
    const size_t length = std::min<size_t>(record.size(), kMaxMessagePayload);
    const std::string_view text = std::string_view(record).substr(0, length).substr(key.size() + 1);
    if (got.headword != std::string_view(record).substr(0, key.size())) __builtin_trap();
    if (got.text != text || record.size() > length) {
      // Cut at the cap (on a character boundary) or further so that its block's stream fits
      // a message: a prefix, counted once.
      if (got.text.size() > text.size() || !text.starts_with(got.text)) __builtin_trap();
      ++shortened;
    }
  }
  if (next != decoded.size()) __builtin_trap();
  if (dropped != packed->droppedLongHeadwords || shortened != packed->shortenedRecords) {
    __builtin_trap();
  }
  return 0;
}
