// The one warning a run gives when its stored settings were set aside (a link to a device,
// a FIFO, a file far larger than settings are), so that the user learns why the stored
// language or device address was not used.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace lexora {

struct SettingsWarning {
  std::u16string text;  // in the interface language, naming the file
  std::filesystem::path file;
  int systemError = 0;  // the errno of the failure, for interfaces that name the reason
};

// The warning for the application's settings, or nullopt when they were usable or the
// warning was already taken in this run (whichever interface takes it shows it).
std::optional<SettingsWarning> takeSettingsWarning();

}  // namespace lexora
