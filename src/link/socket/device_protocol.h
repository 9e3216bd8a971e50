// The wire format between the socket connectivity service (PC side) and lexora-handheld
// (device side); docs/device-protocol.md describes it. Every frame is a type byte, a
// 32-bit big-endian payload length and the payload (FrameSocket reads and writes them). A
// frame of a type the receiving side does not expect, or longer than its type allows, ends
// the connection.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/variant.h"

namespace lexora::device_protocol {

inline constexpr uint8_t kMagic[4] = {'L', 'X', 'H', 'H'};
inline constexpr uint8_t kVersion = 1;

enum FrameType : uint8_t {
  // PC -> device
  kHello = 0x01,           // magic, version
  kOpenChannel = 0x02,     // device index (1 byte), channel name (UTF-8)
  kPasswordAnswer = 0x03,  // 1 = answered / 0 = refused, then the 20-byte digest
  kWrite = 0x04,           // the bytes of one channel write
  // device -> PC
  kDevices = 0x81,            // device list, see encodeDevices
  kPasswordChallenge = 0x82,  // attempts remaining, signed 32-bit
  kChannelOpened = 0x83,      // empty
  kChannelRefused = 0x84,     // reason (UTF-8)
  kWriteResult = 0x85,        // 0 = accepted, anything else = refused
  kMessage = 0x86,            // one incoming message, delivered as one channel read
  kQuery = 0x87,              // empty; the PC calls the sink's OnQuery
  // either way
  kClose = 0x05,  // empty; the channel ends
  kError = 0x7F,  // reason (UTF-8); the sender closes the connection after it
};

enum class Side { Pc, Device };

// The largest payload a frame of `type` may carry when sent by `from`; nullopt when such a
// frame is not part of the protocol.
std::optional<uint32_t> maxPayload(uint8_t type, Side from);

struct Frame {
  uint8_t type = 0;
  std::vector<uint8_t> payload;
};

struct DeviceProperty {
  std::u16string name;
  Variant value;
};
struct DeviceDescription {
  std::vector<DeviceProperty> properties;
};

// Devices payload: count (1 byte); per device its property count (1 byte) and per
// property: name length (2 bytes) and UTF-8 name, value kind (0 empty, 1 int32, 2 string),
// then a 4-byte integer or a 2-byte length and UTF-8 text.
std::vector<uint8_t> encodeDevices(const std::vector<DeviceDescription>& devices);
std::optional<std::vector<DeviceDescription>> decodeDevices(std::span<const uint8_t> payload,
                                                            std::string& error);

// The payload as text (a reason in a Refused or Error frame), bytes unchanged.
std::string payloadText(std::span<const uint8_t> payload);

}  // namespace lexora::device_protocol
