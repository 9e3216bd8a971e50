#include "link/socket/device_protocol.h"

#include <algorithm>

#include "base/bytes.h"
#include "base/text_codec.h"

namespace lexora::device_protocol {
namespace {

constexpr uint32_t kMaxText = 4096;

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}
  bool take(size_t size, std::span<const uint8_t>& out) {
    if (data_.size() - offset_ < size) return false;
    out = data_.subspan(offset_, size);
    offset_ += size;
    return true;
  }
  bool byte(uint8_t& out) {
    std::span<const uint8_t> b;
    if (!take(1, b)) return false;
    out = b[0];
    return true;
  }
  bool u16(uint16_t& out) {
    std::span<const uint8_t> b;
    if (!take(2, b)) return false;
    out = static_cast<uint16_t>(b[0] << 8 | b[1]);
    return true;
  }
  bool text(std::u16string& out) {
    uint16_t size = 0;
    std::span<const uint8_t> b;
    if (!u16(size) || !take(size, b)) return false;
    out = utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
    return true;
  }
  bool atEnd() const { return offset_ == data_.size(); }

 private:
  std::span<const uint8_t> data_;
  size_t offset_ = 0;
};

void appendText(std::vector<uint8_t>& out, std::u16string_view text) {
  std::string utf8 = utf16ToUtf8(text);
  // Too long for its 16-bit length: cut before the character that passes it, so that the
  // text still reads as a shorter text rather than ending in a broken character.
  if (utf8.size() > 0xFFFF) {
    size_t cut = 0xFFFF;
    while (cut > 0 && (static_cast<uint8_t>(utf8[cut]) & 0xC0) == 0x80) --cut;
    utf8.resize(cut);
  }
  out.push_back(static_cast<uint8_t>(utf8.size() >> 8));
  out.push_back(static_cast<uint8_t>(utf8.size()));
  out.insert(out.end(), utf8.begin(), utf8.end());
}

}  // namespace

std::optional<uint32_t> maxPayload(uint8_t type, Side from) {
  if (type == kClose) return 0;
  if (type == kError) return kMaxText;
  if (from == Side::Pc) {
    switch (type) {
      case kHello:
        return 5;
      case kOpenChannel:
        return 1 + kMaxText;
      case kPasswordAnswer:
        return 21;
      case kWrite:
        return 0xFFFF;
      default:
        return std::nullopt;
    }
  }
  switch (type) {
    case kDevices:
      return 0xFFFF;
    case kPasswordChallenge:
      return 4;
    case kChannelOpened:
    case kQuery:
      return 0;
    case kChannelRefused:
      return kMaxText;
    case kWriteResult:
      return 1;
    case kMessage:
      return 0xFFFF;
    default:
      return std::nullopt;
  }
}

std::vector<uint8_t> encodeDevices(const std::vector<DeviceDescription>& devices) {
  std::vector<uint8_t> out;
  out.push_back(static_cast<uint8_t>(std::min<size_t>(devices.size(), 255)));
  for (size_t d = 0; d < devices.size() && d < 255; ++d) {
    const auto& properties = devices[d].properties;
    out.push_back(static_cast<uint8_t>(std::min<size_t>(properties.size(), 255)));
    for (size_t p = 0; p < properties.size() && p < 255; ++p) {
      appendText(out, properties[p].name);
      const Variant& value = properties[p].value;
      out.push_back(static_cast<uint8_t>(value.type));
      if (value.type == Variant::Type::Int32) {
        appendBigEndian32(out, static_cast<uint32_t>(value.int32));
      } else if (value.type == Variant::Type::String) {
        appendText(out, value.string);
      }
    }
  }
  return out;
}

std::optional<std::vector<DeviceDescription>> decodeDevices(std::span<const uint8_t> payload,
                                                            std::string& error) {
  ByteReader reader(payload);
  uint8_t count = 0;
  std::vector<DeviceDescription> devices;
  auto malformed = [&] {
    error = "malformed device list";
    return std::nullopt;
  };
  if (!reader.byte(count)) return malformed();
  devices.resize(count);
  for (auto& device : devices) {
    uint8_t propertyCount = 0;
    if (!reader.byte(propertyCount)) return malformed();
    device.properties.resize(propertyCount);
    for (auto& property : device.properties) {
      uint8_t kind = 0;
      if (!reader.text(property.name) || !reader.byte(kind)) return malformed();
      if (kind == static_cast<uint8_t>(Variant::Type::Int32)) {
        std::span<const uint8_t> b;
        if (!reader.take(4, b)) return malformed();
        property.value = Variant::fromInt32(static_cast<int32_t>(readBigEndian32(b.data())));
      } else if (kind == static_cast<uint8_t>(Variant::Type::String)) {
        std::u16string text;
        if (!reader.text(text)) return malformed();
        property.value = Variant::fromString(std::move(text));
      } else if (kind != static_cast<uint8_t>(Variant::Type::Empty)) {
        return malformed();
      }
    }
  }
  if (!reader.atEnd()) return malformed();
  return devices;
}

std::string payloadText(std::span<const uint8_t> payload) {
  return std::string(reinterpret_cast<const char*>(payload.data()), payload.size());
}

}  // namespace lexora::device_protocol
