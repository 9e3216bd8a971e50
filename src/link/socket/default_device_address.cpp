#include "link/socket/default_device_address.h"

#include <unistd.h>

#include <cstdlib>

namespace lexora {

std::string defaultDeviceAddress() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string("unix:") + runtime + "/lexora-handheld.sock";
  return "unix:/tmp/lexora-handheld-" + std::to_string(getuid()) + ".sock";
}

}  // namespace lexora
