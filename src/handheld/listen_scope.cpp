#include "handheld/listen_scope.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace lexora::handheld {
namespace {

bool isLoopback(const sockaddr* address) {
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    return (ntohl(v4->sin_addr.s_addr) >> 24) == 127;
  }
  if (address->sa_family == AF_INET6) {
    const in6_addr& v6 = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
    if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
  }
  return false;
}

}  // namespace

bool listensOnLoopbackOnly(const DeviceAddress& address) {
  if (address.kind == DeviceAddress::Kind::Unix) return true;
  if (address.host.empty()) return false;  // the wildcard address
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(address.host.c_str(), nullptr, &hints, &found) != 0) return false;
  bool loopback = found != nullptr;
  for (const addrinfo* a = found; a; a = a->ai_next) {
    if (!isLoopback(a->ai_addr)) loopback = false;
  }
  freeaddrinfo(found);
  return loopback;
}

}  // namespace lexora::handheld
