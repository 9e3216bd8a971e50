// Winsock for the socket service on Windows: started once per process, and a socket
// handle kept in UniqueFd's int (Windows hands out handle values that fit 32 bits, so
// that they pass between 32- and 64-bit processes).
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

namespace lexora::winsock {

// Starts Winsock on first use (and leaves it running for the process). False with `error`
// when it cannot start.
bool start(std::string& error);

inline SOCKET handle(int fd) {
  return static_cast<SOCKET>(static_cast<unsigned int>(fd));
}

inline int fdOf(SOCKET socket) {
  return static_cast<int>(static_cast<unsigned int>(socket));
}

// The text of the last Winsock error, after `what`.
std::string lastError(const char* what);

}  // namespace lexora::winsock
