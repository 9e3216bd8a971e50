#include "link/socket/socket_connect.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>

namespace lexora {
namespace {

std::string osError(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

bool fillUnixAddress(const std::string& path, sockaddr_un& address, std::string& error) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (!fitsUnixSocketPath(path, error)) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

struct AddrInfoDeleter {
  void operator()(addrinfo* info) const { freeaddrinfo(info); }
};

std::unique_ptr<addrinfo, AddrInfoDeleter> resolve(const DeviceAddress& address, bool passive,
                                                   std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | (passive ? AI_PASSIVE : 0);
  addrinfo* result = nullptr;
  const std::string port = std::to_string(address.port);
  const int rc = getaddrinfo(address.host.c_str(), port.c_str(), &hints, &result);
  if (rc != 0) {
    error = "cannot resolve " + address.host + ": " + gai_strerror(rc);
    return nullptr;
  }
  return std::unique_ptr<addrinfo, AddrInfoDeleter>(result);
}

// Small writes (a type byte, a length) must leave at once, not wait for more data.
void disableNagle(int fd) {
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool connectWithTimeout(int fd, const sockaddr* address, socklen_t length,
                        std::chrono::milliseconds timeout, std::string& error) {
  const int flags = fcntl(fd, F_GETFL);
  fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int rc = connect(fd, address, length);
  // A Unix socket whose backlog is full answers EAGAIN without connecting: the handheld is
  // busy, not gone, so ask again until the time is up.
  while (rc != 0 && errno == EAGAIN && address->sa_family == AF_UNIX) {
    if (std::chrono::steady_clock::now() >= deadline) {
      error = "connect: the handheld stayed busy";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    rc = connect(fd, address, length);
  }
  if (rc != 0) {
    if (errno != EINPROGRESS && errno != EAGAIN) {
      error = osError("connect");
      return false;
    }
    pollfd p{fd, POLLOUT, 0};
    const int ready = poll(&p, 1, static_cast<int>(timeout.count()));
    if (ready <= 0) {
      error = ready == 0 ? "connect: timed out" : osError("poll");
      return false;
    }
    int socketError = 0;
    socklen_t size = sizeof socketError;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &socketError, &size);
    if (socketError != 0) {
      error = std::string("connect: ") + std::strerror(socketError);
      return false;
    }
  }
  fcntl(fd, F_SETFL, flags);
  return true;
}

// Whether a process listens on the Unix socket: only a refused connection (or a vanished
// file) means nobody does; a full backlog (EAGAIN) is a busy listener, not a stale file.
bool someoneListens(const sockaddr_un& address) {
  UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd) return false;
  if (connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    return true;
  }
  return errno != ECONNREFUSED && errno != ENOENT;
}

}  // namespace

UniqueFd connectToDevice(const DeviceAddress& address, std::chrono::milliseconds timeout,
                         std::string& error) {
  if (address.kind == DeviceAddress::Kind::Unix) {
    sockaddr_un unixAddress;
    if (!fillUnixAddress(address.path, unixAddress, error)) return {};
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
      error = osError("socket");
      return {};
    }
    if (!connectWithTimeout(fd.get(), reinterpret_cast<const sockaddr*>(&unixAddress),
                            sizeof unixAddress, timeout, error)) {
      error = address.text() + ": " + error;
      return {};
    }
    return fd;
  }
  auto infos = resolve(address, false, error);
  if (!infos) return {};
  for (addrinfo* info = infos.get(); info; info = info->ai_next) {
    UniqueFd fd(socket(info->ai_family, info->ai_socktype | SOCK_CLOEXEC, info->ai_protocol));
    if (!fd) {
      error = osError("socket");
      continue;
    }
    if (connectWithTimeout(fd.get(), info->ai_addr, info->ai_addrlen, timeout, error)) {
      disableNagle(fd.get());
      return fd;
    }
  }
  error = address.text() + ": " + error;
  return {};
}

static_assert(sizeof(sockaddr_un{}.sun_path) == kUnixSocketPathCapacity);

bool peerRunsAs(int fd, uint32_t uid, std::string& error) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
    error = osError("cannot tell who serves the socket");
    return false;
  }
  if (peer.uid != uid) {
    error = "the socket is served by another user (uid " + std::to_string(peer.uid) +
            "), not by you; it was not used";
    return false;
  }
  return true;
}

bool peerIsThisUser(int fd, std::string& error) {
  return peerRunsAs(fd, geteuid(), error);
}

UniqueFd listenForService(const DeviceAddress& address, DeviceAddress& bound, std::string& error) {
  bound = address;
  if (address.kind == DeviceAddress::Kind::Unix) {
    sockaddr_un unixAddress;
    if (!fillUnixAddress(address.path, unixAddress, error)) return {};
    // A socket file nobody listens on is left over from an earlier run; one that answers
    // belongs to a running handheld, which is not to be taken over.
    struct stat info;
    if (lstat(address.path.c_str(), &info) == 0) {
      if (!S_ISSOCK(info.st_mode)) {
        error = address.path + " exists and is not a socket";
        return {};
      }
      if (someoneListens(unixAddress)) {
        error = address.path + ": another handheld is listening there";
        return {};
      }
      unlink(address.path.c_str());
    }
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
      error = osError("socket");
      return {};
    }
    const mode_t oldMask = umask(0077);
    const int rc =
        bind(fd.get(), reinterpret_cast<const sockaddr*>(&unixAddress), sizeof unixAddress);
    umask(oldMask);
    if (rc != 0 || listen(fd.get(), 16) != 0) {
      error = osError(("listen on " + address.text()).c_str());
      return {};
    }
    return fd;
  }
  auto infos = resolve(address, true, error);
  if (!infos) return {};
  for (addrinfo* info = infos.get(); info; info = info->ai_next) {
    UniqueFd fd(socket(info->ai_family, info->ai_socktype | SOCK_CLOEXEC, info->ai_protocol));
    if (!fd) continue;
    int on = 1;
    setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd.get(), info->ai_addr, info->ai_addrlen) != 0 || listen(fd.get(), 16) != 0) {
      error = osError(("listen on " + address.text()).c_str());
      continue;
    }
    sockaddr_storage actual{};
    socklen_t size = sizeof actual;
    if (getsockname(fd.get(), reinterpret_cast<sockaddr*>(&actual), &size) == 0) {
      if (actual.ss_family == AF_INET) {
        bound.port = ntohs(reinterpret_cast<sockaddr_in*>(&actual)->sin_port);
      } else if (actual.ss_family == AF_INET6) {
        bound.port = ntohs(reinterpret_cast<sockaddr_in6*>(&actual)->sin6_port);
      }
    }
    return fd;
  }
  return {};
}

}  // namespace lexora
