// The connectivity service `lexora-cli send` reaches the handheld through: on Windows the
// handheld vendor's COM server (send_service_vendor.cpp); elsewhere our socket service at
// the address --device, the setting or the default names (send_service_socket.cpp).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "link/connectivity_service.h"

namespace lexora {

struct SendService {
  ServiceFactory factory;
  // Shown after the reason the channel did not open: the address, or the service's name.
  std::string where;
  // True once the run found only a peer of another user where the handheld should be.
  std::function<bool()> foundForeignPeer;
};

// Whether send takes --device on this system: only our socket service has an address.
bool sendTakesDeviceOption();

// The service for this run; nullopt with `error` set when `device` (--device) is unusable.
std::optional<SendService> chooseSendService(const std::optional<std::string>& device,
                                             std::string& error);

}  // namespace lexora
