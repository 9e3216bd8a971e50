#include "pack/transfer_message.h"

#include <algorithm>
#include <utility>

#include "base/bytes.h"

namespace lexora {
namespace {

uint8_t typeByte(MessageType type) {
  return static_cast<uint8_t>(type);
}

}  // namespace

std::array<uint8_t, kMessageHeaderSize - 1> messageLengthField(size_t length) {
  std::array<uint8_t, kMessageHeaderSize - 1> field{};
  writeBigEndian16(field.data(), static_cast<uint16_t>(length));
  return field;
}

std::array<uint8_t, kMessageHeaderSize> messageHeader(MessageType type, size_t length) {
  const auto field = messageLengthField(length);
  return {typeByte(type), field[0], field[1]};
}

bool appendMessage(std::vector<uint8_t>& out, MessageType type, std::span<const uint8_t> payload) {
  if (!fitsMessage(payload.size())) return false;
  const auto header = messageHeader(type, payload.size());
  out.insert(out.end(), header.begin(), header.end());
  out.insert(out.end(), payload.begin(), payload.end());
  return true;
}

std::string MessageDamage::text() const {
  const std::string at = "at offset " + std::to_string(offset);
  switch (kind) {
    case Kind::TruncatedHeader:
      return "truncated message header " + at;
    case Kind::TruncatedPayload:
      return "message of type " + std::to_string(typeByte(type)) + " " + at + " announces " +
             std::to_string(announced) + " bytes, but only " + std::to_string(available) +
             " remain";
    case Kind::TrailingBytes:
      return std::to_string(available) + " bytes follow the message, " + at;
  }
  return at;
}

void MessageReader::feed(std::span<const uint8_t> bytes, std::vector<TransferMessage>& out) {
  size_t used = 0;
  // First complete the message begun by earlier bytes, taking only what it still lacks.
  while (headerHeld_ > 0 && used < bytes.size()) {
    if (headerHeld_ < kMessageHeaderSize) {
      const size_t n = std::min(kMessageHeaderSize - headerHeld_, bytes.size() - used);
      std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(used), n,
                  header_.begin() + static_cast<std::ptrdiff_t>(headerHeld_));
      used += n;
      headerHeld_ += n;
      if (headerHeld_ < kMessageHeaderSize) continue;
      payload_.reserve(readBigEndian16(header_.data() + 1));
    }
    const size_t length = readBigEndian16(header_.data() + 1);
    const size_t n = std::min(length - payload_.size(), bytes.size() - used);
    payload_.insert(payload_.end(), bytes.begin() + static_cast<std::ptrdiff_t>(used),
                    bytes.begin() + static_cast<std::ptrdiff_t>(used + n));
    used += n;
    if (payload_.size() < length) continue;
    // The payload goes out as it is: gathered in pieces, it is not copied again.
    out.push_back({MessageType{header_[0]}, std::exchange(payload_, {}), offset_});
    offset_ += kMessageHeaderSize + length;
    headerHeld_ = 0;
  }
  // Then whole messages straight from the input, without copying them twice.
  const uint8_t* p = bytes.data() + used;
  size_t left = bytes.size() - used;
  while (left >= kMessageHeaderSize) {
    const size_t whole = kMessageHeaderSize + readBigEndian16(p + 1);
    if (left < whole) break;
    out.push_back(
        {MessageType{p[0]}, std::vector<uint8_t>(p + kMessageHeaderSize, p + whole), offset_});
    offset_ += whole;
    p += whole;
    left -= whole;
  }
  if (left == 0) return;
  headerHeld_ = std::min(left, kMessageHeaderSize);
  std::copy_n(p, headerHeld_, header_.begin());
  if (headerHeld_ < kMessageHeaderSize) return;
  payload_.reserve(readBigEndian16(header_.data() + 1));
  payload_.assign(p + kMessageHeaderSize, p + left);
}

std::optional<MessageDamage> MessageReader::endOfInput() const {
  if (headerHeld_ == 0) return std::nullopt;
  MessageDamage damage;
  damage.offset = offset_;
  if (headerHeld_ < kMessageHeaderSize) {
    damage.kind = MessageDamage::Kind::TruncatedHeader;
    damage.available = headerHeld_;
    return damage;
  }
  damage.kind = MessageDamage::Kind::TruncatedPayload;
  damage.type = MessageType{header_[0]};
  damage.announced = readBigEndian16(header_.data() + 1);
  damage.available = payload_.size();
  return damage;
}

std::vector<TransferMessage> readMessages(std::span<const uint8_t> bytes,
                                          std::optional<MessageDamage>& damage) {
  MessageReader reader;
  std::vector<TransferMessage> messages;
  reader.feed(bytes, messages);
  damage = reader.endOfInput();
  return messages;
}

std::optional<TransferMessage> readSingleMessage(std::span<const uint8_t> bytes,
                                                 MessageDamage& damage) {
  std::optional<MessageDamage> broken;
  const size_t whole = bytes.size() < kMessageHeaderSize
                           ? 0
                           : kMessageHeaderSize + readBigEndian16(bytes.data() + 1);
  auto messages = readMessages(bytes.first(std::min(whole, bytes.size())), broken);
  if (whole == 0 || broken) {
    damage = broken.value_or(
        MessageDamage{MessageDamage::Kind::TruncatedHeader, 0, 0, bytes.size(), MessageType{}});
    return std::nullopt;
  }
  if (bytes.size() > whole) {
    damage = {MessageDamage::Kind::TrailingBytes, whole, 0, bytes.size() - whole, MessageType{}};
    return std::nullopt;
  }
  return std::move(messages.front());
}

}  // namespace lexora
