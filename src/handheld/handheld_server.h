// `lexora-handheld serve`: the device end of the socket connectivity service. Each
// connection is served on a thread of its own; faults can be injected for tests.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "handheld/fault_plan.h"
#include "link/socket/device_address.h"
#include "link/variant.h"

namespace lexora::handheld {

struct ServeOptions {
  DeviceAddress listen;
  std::filesystem::path store;
  std::optional<std::string> password;  // UTF-8, as given on the command line
  int32_t attempts = 10;
  Variant pin = Variant::fromInt32(0x2A3B4C5D);
  // Limits that keep the emulator serving under hostile use: connections beyond
  // maxConnections are turned away with a reason, a connection that does not complete its
  // greeting or any later frame within idleTimeout (silent, or sending a byte at a time)
  // is closed, and blocks beyond maxMemoryBytes held across all connections are refused.
  size_t maxConnections = 32;
  std::chrono::milliseconds idleTimeout{10 * 60 * 1000};
  uint64_t maxMemoryBytes = 1ull << 30;
};

// Listens and serves until SIGINT or SIGTERM, making the faults of `faults` (none by
// default). Prints "listening on ADDRESS" on stdout once ready. Returns the exit code.
int serve(const ServeOptions& options, const FaultPlan& faults = {});

}  // namespace lexora::handheld
