// The PC side of the socket service on Windows: TCP only (lexora-handheld runs elsewhere,
// so nothing here listens, and Unix-domain sockets are not used).
#include "link/socket/socket_connect.h"

#include <memory>

#include "link/socket/winsock/winsock.h"

namespace lexora {
namespace winsock {

bool start(std::string& error) {
  static const int started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
  }();
  if (started != 0) error = "cannot start Winsock (error " + std::to_string(started) + ")";
  return started == 0;
}

std::string lastError(const char* what) {
  return std::string(what) + ": Winsock error " + std::to_string(WSAGetLastError());
}

}  // namespace winsock

namespace {

struct AddrInfoDeleter {
  void operator()(addrinfo* info) const { freeaddrinfo(info); }
};

bool connectWithTimeout(SOCKET s, const sockaddr* address, int length,
                        std::chrono::milliseconds timeout, std::string& error) {
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  if (connect(s, address, length) != 0) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
      error = winsock::lastError("connect");
      return false;
    }
    WSAPOLLFD p{s, POLLOUT, 0};
    const int ready = WSAPoll(&p, 1, static_cast<INT>(timeout.count()));
    if (ready <= 0) {
      error = ready == 0 ? "connect: timed out" : winsock::lastError("poll");
      return false;
    }
    int socketError = 0;
    int size = sizeof socketError;
    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&socketError), &size);
    if (socketError != 0 || (p.revents & (POLLERR | POLLHUP))) {
      error = "connect: Winsock error " + std::to_string(socketError);
      return false;
    }
  }
  nonBlocking = 0;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  return true;
}

}  // namespace

UniqueFd connectToDevice(const DeviceAddress& address, std::chrono::milliseconds timeout,
                         std::string& error) {
  if (address.kind == DeviceAddress::Kind::Unix) {
    error = address.text() + ": Unix-domain sockets are not used on Windows";
    return {};
  }
  if (!winsock::start(error)) return {};
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(address.port);
  if (getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found) != 0) {
    error = address.text() + ": " + winsock::lastError("cannot resolve");
    return {};
  }
  const std::unique_ptr<addrinfo, AddrInfoDeleter> results(found);
  for (const addrinfo* a = found; a; a = a->ai_next) {
    const SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (s == INVALID_SOCKET) {
      error = winsock::lastError("socket");
      continue;
    }
    UniqueFd fd(winsock::fdOf(s));
    if (connectWithTimeout(s, a->ai_addr, static_cast<int>(a->ai_addrlen), timeout, error)) {
      return fd;
    }
  }
  error = address.text() + ": " + error;
  return {};
}

bool peerRunsAs(int, uint32_t, std::string& error) {
  error = "Unix-domain sockets are not used on Windows";
  return false;
}

bool peerIsThisUser(int fd, std::string& error) {
  return peerRunsAs(fd, 0, error);
}

UniqueFd listenForService(const DeviceAddress& address, DeviceAddress&, std::string& error) {
  error = address.text() + ": lexora-handheld does not run on Windows";
  return {};
}

}  // namespace lexora
