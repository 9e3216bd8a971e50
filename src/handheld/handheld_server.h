// `lexora-handheld serve`: the device end of the socket connectivity service. Each
// connection is served on a thread of its own; faults can be injected for tests.
#pragma once

#include <climits>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "link/socket/device_address.h"
#include "link/variant.h"

namespace lexora::handheld {

struct ServeOptions {
  DeviceAddress listen;
  std::filesystem::path store;
  std::optional<std::string> password;  // UTF-8, as given on the command line
  int32_t attempts = 10;
  Variant pin = Variant::fromInt32(0x2A3B4C5D);

  // Faults for tests.
  bool noDevice = false;    // announce no device at all
  bool twoDevices = false;  // a second device, which has no Lexora channel
  bool refuseWrites = false;
  int64_t refuseWritesAfter = 0;  // writes accepted before the refusals start
  enum class AckFault { None, NoAck, WrongType, Short, Overlong };
  AckFault ackFault = AckFault::None;
  uint8_t wrongAckType = 101;
  int64_t faultFirst = 1;  // which acknowledgements (counted from 1) the fault applies to
  int64_t faultLast = INT64_MAX;
  int64_t closeAfter = 0;  // close the channel on receiving this many messages (0: never)
  int ackDelayMs = 0;
};

// Listens and serves until SIGINT or SIGTERM. Prints "listening on ADDRESS" on stdout once
// ready. Returns the process's exit code.
int serve(const ServeOptions& options);

}  // namespace lexora::handheld
