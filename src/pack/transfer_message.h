// The transfer message, the one unit of the conversation with the handheld and of the packed
// image: a type byte, the payload length N (16 bits, big-endian) and N payload bytes. This is
// the only place that knows that layout; everything else writes and reads messages here.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/bytes.h"

namespace lexora {

// Other values may arrive too (a reader passes them on; the receiver decides).
enum class MessageType : uint8_t {
  Name = 1,
  Key = 2,
  Record = 3,
  End = 4,
  Acknowledgement = 100,
  Refusal = 101,  // the emulator's acknowledgement of a message it could not handle
};

inline constexpr size_t kMessageHeaderSize = 3;
inline constexpr size_t kMaxMessagePayload = 65535;

inline bool fitsMessage(size_t payloadLength) {
  return payloadLength <= kMaxMessagePayload;
}

struct TransferMessage {
  MessageType type{};
  std::vector<uint8_t> payload;
  uint64_t offset = 0;  // of its type byte in the bytes fed to the reader
  bool operator==(const TransferMessage&) const = default;
};

// The header for a payload of `length` bytes. REQUIRES: fitsMessage(length).
std::array<uint8_t, kMessageHeaderSize> messageHeader(MessageType type, size_t length);
// The header less its type byte, for a writer that sends the type apart (WriteBlock).
// REQUIRES: fitsMessage(length).
std::array<uint8_t, kMessageHeaderSize - 1> messageLengthField(size_t length);

// Appends one whole message. Returns false, appending nothing, when the payload does not fit.
bool appendMessage(std::vector<uint8_t>& out, MessageType type, std::span<const uint8_t> payload);

// What is wrong with bytes that should be whole messages.
struct MessageDamage {
  enum class Kind {
    TruncatedHeader,   // fewer than 3 bytes left for a header
    TruncatedPayload,  // the payload is shorter than its announced length
    TrailingBytes,     // bytes follow the one message that was expected
  };
  Kind kind{};
  uint64_t offset = 0;       // of the damaged message (or of the trailing bytes)
  size_t announced = 0;      // TruncatedPayload: the announced length
  size_t available = 0;      // bytes there were (payload bytes, or the trailing bytes' count)
  MessageType type{};        // TruncatedPayload: the type byte
  std::string text() const;  // in English, for logs and detail texts
};

// Cuts a byte stream fed in pieces of any size into messages. Never fails while fed: any
// prefix of a stream is valid; only an end in the middle of a message is damage.
class MessageReader {
 public:
  // Appends every message that the bytes complete to `out`.
  void feed(std::span<const uint8_t> bytes, std::vector<TransferMessage>& out);
  // True when bytes of an unfinished message are held.
  bool midMessage() const { return headerHeld_ > 0; }
  // If the input ended now: nullopt when it ends between messages, the damage otherwise.
  std::optional<MessageDamage> endOfInput() const;

 private:
  // The unfinished message only: its header (as far as it came), then its payload.
  std::array<uint8_t, kMessageHeaderSize> header_{};
  size_t headerHeld_ = 0;
  std::vector<uint8_t> payload_;
  uint64_t offset_ = 0;  // stream offset of the next message's type byte
};

// Follows where the messages of a byte stream fed in pieces end, keeping nothing of them
// but an unfinished header: for a sender that needs to know what its bytes complete.
class MessageBoundaries {
 public:
  // Follows `bytes`; the type of each message they complete, in order, goes to `completed`.
  template <class Completed>
  void feed(std::span<const uint8_t> bytes, Completed&& completed) {
    while (!bytes.empty()) {
      if (headerHeld_ < kMessageHeaderSize) {
        const size_t n = std::min(kMessageHeaderSize - headerHeld_, bytes.size());
        std::copy_n(bytes.begin(), n, header_.begin() + static_cast<std::ptrdiff_t>(headerHeld_));
        headerHeld_ += n;
        bytes = bytes.subspan(n);
        if (headerHeld_ < kMessageHeaderSize) return;
        payloadLeft_ = readBigEndian16(header_.data() + 1);
      }
      const size_t n = std::min(payloadLeft_, bytes.size());
      payloadLeft_ -= n;
      bytes = bytes.subspan(n);
      if (payloadLeft_ > 0) return;
      headerHeld_ = 0;
      completed(MessageType{header_[0]});
    }
  }

 private:
  std::array<uint8_t, kMessageHeaderSize> header_{};
  size_t headerHeld_ = 0;
  size_t payloadLeft_ = 0;
};

// A whole buffer as messages: every complete one; `damage` is set when the buffer ends
// inside a message (and reset otherwise).
std::vector<TransferMessage> readMessages(std::span<const uint8_t> bytes,
                                          std::optional<MessageDamage>& damage);

// Exactly one message that fills `bytes` (a channel read delivers one message whole);
// nullopt with `damage` when the bytes are short of it or longer than it.
std::optional<TransferMessage> readSingleMessage(std::span<const uint8_t> bytes,
                                                 MessageDamage& damage);

}  // namespace lexora
