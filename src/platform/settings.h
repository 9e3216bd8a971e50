// The settings store: string values by section and entry; posix/settings.cpp and
// win32/settings.cpp hold the two stores.
// On Windows the registry key HKEY_CURRENT_USER\Software\Lexora\<application>\<section>;
// elsewhere the INI file $XDG_CONFIG_HOME/Lexora/<application>.conf (~/.config when
// XDG_CONFIG_HOME is unset), "[section]" lines and "entry=value" lines, as QSettings lays it out.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace lexora {

// The largest settings file read: a few lines are all Lexora stores, and a link to
// /dev/zero or a file of millions of lines must cost no more than this.
inline constexpr size_t kSettingsMaxBytes = 64 * 1024;

// Why the stored settings were set aside: the file, and the errno of the failure
// (kNotARegularFile for a device, a FIFO or a folder; EFBIG past kSettingsMaxBytes).
struct SettingsProblem {
  std::filesystem::path file;
  int systemError = 0;
};

// The settings are read once per run (the first read or write) and kept; a write updates
// what is kept. Any thread may use them.
class Settings {
 public:
  explicit Settings(std::string applicationName);

  // The stored value, or the empty string when there is none (or it cannot be read).
  std::u16string read(std::u16string_view section, std::u16string_view entry) const;

  // Stores the value; false when it could not be written (in the INI file also when a text
  // holds a line break, which the file cannot keep). Other entries are kept.
  bool write(std::u16string_view section, std::u16string_view entry, std::u16string_view value);

  // nullopt when the settings were read, or there are none; else why they were set aside.
  // Then for the whole run every read gives the empty string and nothing is written, so
  // that a file the user may still want is not replaced. The registry never has one.
  std::optional<SettingsProblem> problem() const;

 private:
  std::string applicationName_;
};

}  // namespace lexora
