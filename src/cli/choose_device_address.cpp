#include "cli/choose_device_address.h"

#include "link/socket/default_device_address.h"
#include "platform/application.h"
#include "platform/text_codec.h"

namespace lexora {

std::string chooseDeviceAddress(const std::optional<std::string>& commandLine) {
  if (commandLine && !commandLine->empty()) return *commandLine;
  const std::u16string stored = applicationSettings().read(u"Link", u"device");
  if (!stored.empty()) return utf16ToUtf8(stored);
  return defaultDeviceAddress();
}

}  // namespace lexora
