// The transfer message reader and writer: the input's first bytes choose the sizes of the
// pieces the rest is fed in. Feeding in pieces gives what one whole feed gives, the damage
// at the end is the same, and what the writer encodes of the messages is the stream again.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pack/transfer_message.h"

using namespace lexora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t pattern = 1 + data[0] % 8;  // how many piece sizes follow
  if (size < 1 + pattern) return 0;
  const std::span<const uint8_t> sizes(data + 1, pattern);
  const std::span<const uint8_t> stream(data + 1 + pattern, size - 1 - pattern);

  std::optional<MessageDamage> damage;
  const std::vector<TransferMessage> whole = readMessages(stream, damage);

  MessageReader reader;
  std::vector<TransferMessage> pieces;
  size_t at = 0;
  for (size_t i = 0; at < stream.size(); ++i) {
    // A size byte of 0 feeds nothing, which the reader must take in its stride.
    const size_t n = std::min<size_t>(stream.size() - at, sizes[i % sizes.size()]);
    reader.feed(stream.subspan(at, n), pieces);
    at += n;
    if (i > 4 * stream.size() + 8) break;  // all sizes 0
  }
  if (at < stream.size()) return 0;
  if (pieces != whole) __builtin_trap();
  const auto end = reader.endOfInput();
  if (end.has_value() != damage.has_value() || reader.midMessage() != damage.has_value()) {
    __builtin_trap();
  }
  if (damage && (end->offset != damage->offset || end->kind != damage->kind)) __builtin_trap();
  if (damage && damage->text().empty()) __builtin_trap();

  std::vector<uint8_t> encoded;
  for (const TransferMessage& m : whole) {
    if (m.offset != encoded.size() || !appendMessage(encoded, m.type, m.payload)) {
      __builtin_trap();
    }
  }
  const size_t complete = damage ? damage->offset : stream.size();
  if (encoded.size() != complete || !std::equal(encoded.begin(), encoded.end(), stream.begin())) {
    __builtin_trap();
  }

  MessageDamage single;
  const bool one = readSingleMessage(stream, single).has_value();
  if (one != (whole.size() == 1 && !damage)) __builtin_trap();
  return 0;
}
