#include "link/socket/device_address.h"

namespace lexora {

std::string DeviceAddress::text() const {
  if (kind == Kind::Unix) return "unix:" + path;
  const bool bracket = host.find(':') != std::string::npos;
  return (bracket ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool fitsUnixSocketPath(const std::string& path, std::string& error) {
  constexpr size_t capacity = kUnixSocketPathCapacity;
  if (!path.empty() && path.size() < capacity) return true;
  error = "socket path is empty or longer than " + std::to_string(capacity - 1) + " bytes: " + path;
  return false;
}

std::optional<DeviceAddress> parseDeviceAddress(std::string_view text, std::string& error) {
  DeviceAddress address;
  if (text.starts_with("unix:")) {
    address.kind = DeviceAddress::Kind::Unix;
    address.path = std::string(text.substr(5));
    if (!fitsUnixSocketPath(address.path, error)) return std::nullopt;
    return address;
  }
  const size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size()) {
    error = "not an address (unix:PATH or HOST:PORT): " + std::string(text);
    return std::nullopt;
  }
  std::string_view host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  unsigned long port = 0;
  for (char c : text.substr(colon + 1)) {
    if (c < '0' || c > '9' || port > 65535) {
      error = "not a port number: " + std::string(text.substr(colon + 1));
      return std::nullopt;
    }
    port = port * 10 + static_cast<unsigned long>(c - '0');
  }
  if (port > 65535) {
    error = "not a port number: " + std::string(text.substr(colon + 1));
    return std::nullopt;
  }
  address.kind = DeviceAddress::Kind::Tcp;
  address.host = std::string(host);
  address.port = static_cast<uint16_t>(port);
  return address;
}

}  // namespace lexora
