#include <atomic>
#include <memory>

#include "cli/send_service.h"
#include "link/socket/default_device_address.h"
#include "link/socket/device_address.h"
#include "link/socket/socket_service.h"

namespace lexora {

bool sendTakesDeviceOption() {
  return true;
}

std::optional<SendService> chooseSendService(const std::optional<std::string>& device,
                                             std::string& error) {
  const std::string address = chooseDeviceAddress(device);
  if (!parseDeviceAddress(address, error)) return std::nullopt;
  SocketServiceOptions options;
  options.address = address;
  // Set on the job's thread, read once the job has ended.
  auto foreign = std::make_shared<std::atomic<bool>>(false);
  options.foreignPeer = [foreign](const std::string&) { foreign->store(true); };
  return SendService{socketServiceFactory(options), address, [foreign] { return foreign->load(); }};
}

}  // namespace lexora
