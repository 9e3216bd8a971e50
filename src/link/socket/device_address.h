// Where the socket connectivity service finds the handheld: "unix:PATH" (a Unix-domain
// socket) or "HOST:PORT" (TCP, meant for the loopback address), and the sockets for both.
#pragma once

#include <chrono>
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

// nullopt with `error` when `text` is neither form.
std::optional<DeviceAddress> parseDeviceAddress(std::string_view text, std::string& error);

// unix:$XDG_RUNTIME_DIR/lexora-handheld.sock, or unix:/tmp/lexora-handheld-UID.sock when
// XDG_RUNTIME_DIR is unset.
std::string defaultDeviceAddress();

// The address to use: `commandLine` when given, else the "Link"/"device" setting, else the
// default above.
std::string chooseDeviceAddress(const std::optional<std::string>& commandLine);

// An owned file descriptor.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  ~UniqueFd() { reset(); }
  int get() const { return fd_; }
  int release();
  void reset(int fd = -1);
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// A connected stream socket, or an invalid one with `error`.
UniqueFd connectToDevice(const DeviceAddress& address, std::chrono::milliseconds timeout,
                         std::string& error);

// A listening socket; `bound` receives the address actually bound (the port chosen for 0).
// A Unix socket is created readable by its owner only; a stale socket file is replaced.
UniqueFd listenForService(const DeviceAddress& address, DeviceAddress& bound, std::string& error);

}  // namespace lexora
