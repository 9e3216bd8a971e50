// Where the socket connectivity service finds the handheld: "unix:PATH" (a Unix-domain
// socket) or "HOST:PORT" (TCP, meant for the loopback address), as text and parsed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lexora {

struct DeviceAddress {
  enum class Kind { Unix, Tcp };
  Kind kind = Kind::Unix;
  std::string path;   // Unix
  std::string host;   // TCP: a name or numeric address, without brackets
  uint16_t port = 0;  // TCP; 0 asks the system for a free port when listening

  std::string text() const;
};

// The bytes a Unix socket's path may fill, its terminating zero included (sun_path).
inline constexpr size_t kUnixSocketPathCapacity = 108;

// nullopt with `error` when `text` is neither form (or its path cannot be a socket's).
std::optional<DeviceAddress> parseDeviceAddress(std::string_view text, std::string& error);

// Whether `path` fits a Unix socket address; false with `error` when it is empty or long.
bool fitsUnixSocketPath(const std::string& path, std::string& error);

}  // namespace lexora
