// Stream sockets to and from a DeviceAddress: the PC side connects, lexora-handheld listens.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "link/socket/device_address.h"
#include "link/socket/unique_fd.h"

namespace lexora {

// A connected stream socket, or an invalid one with `error` (nothing listening, refused,
// no connection within `timeout`).
UniqueFd connectToDevice(const DeviceAddress& address, std::chrono::milliseconds timeout,
                         std::string& error);

// Whether the process at the other end of the connected Unix socket `fd` runs as user
// `uid`. False with `error` when it does not or the system cannot tell: in a shared folder
// another user may have created the socket first, to be sent what was meant for us.
bool peerRunsAs(int fd, uint32_t uid, std::string& error);
// peerRunsAs for the user this process runs as.
bool peerIsThisUser(int fd, std::string& error);

// A listening socket; `bound` receives the address actually bound (the port chosen for 0).
// A Unix socket is created readable by its owner only; a stale socket file is replaced,
// one a running handheld still answers on is not. Invalid with `error` on failure.
UniqueFd listenForService(const DeviceAddress& address, DeviceAddress& bound, std::string& error);

}  // namespace lexora
