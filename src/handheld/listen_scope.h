// Whether `lexora-handheld serve` would be reachable from other machines: the link carries
// dictionaries and password answers unencrypted, so only the local machine is served unless
// the user says otherwise.
#pragma once

#include "link/socket/device_address.h"

namespace lexora::handheld {

// True for a Unix socket, and for a TCP host every address of which is a loopback one
// (127.0.0.0/8, ::1, a v4-mapped 127 address). False for the wildcard addresses, for other
// addresses, and for a host name that does not resolve.
bool listensOnLoopbackOnly(const DeviceAddress& address);

}  // namespace lexora::handheld
