// The socket connectivity service: reaches lexora-handheld over a Unix-domain socket or
// TCP and answers the link's calls as the vendor's service would. Wire format:
// docs/device-protocol.md.
//
// GetDevices connects and asks the handheld for its devices; nothing listening means no
// device (count 0). OpenChannel starts a reader thread that calls the sink: the password
// challenge, OnDataReady per incoming message, OnChannelClosed once the channel ends. A
// channel call that waits for the handheld takes its frames from the socket itself while
// the reader thread stands aside, and then calls OnDataReady on its own thread. Releasing
// the channel closes it and waits for the reader thread.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "link/connectivity_service.h"

namespace lexora {

struct SocketServiceOptions {
  std::string address;  // "unix:PATH" or "HOST:PORT"
  std::chrono::milliseconds connectWait{5000};
  // How long the handheld may take to answer the greeting, an open and each write.
  std::chrono::milliseconds replyWait{30000};
  // Told (in English) why a connection could not be made or ended abnormally. Called on
  // the caller's or the reader thread; may be empty.
  std::function<void(const std::string&)> diagnostics;
  // Told (in English) when a Unix socket at the address is served by another user, which
  // is then not used (it shows as no device). May be empty.
  std::function<void(const std::string&)> foreignPeer;
};

// A factory for USBLink. Creating the manager fails only for an address that cannot be
// parsed; an unreachable handheld shows up as an empty device collection.
ServiceFactory socketServiceFactory(SocketServiceOptions options);

}  // namespace lexora
