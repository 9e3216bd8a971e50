#include "cli/send_service.h"
#include "link/com/com_service_win.h"

namespace lexora {

// The vendor's service finds the handheld itself: there is no address to choose.
bool sendTakesDeviceOption() {
  return false;
}

std::optional<SendService> chooseSendService(const std::optional<std::string>& device,
                                             std::string& error) {
  if (device) {
    error =
        "--device is not used here: the handheld is reached through its vendor's "
        "connectivity service";
    return std::nullopt;
  }
  return SendService{vendorServiceFactory(), "the vendor's connectivity service",
                     [] { return false; }};
}

}  // namespace lexora
