// The settings store: string values by section and entry; posix/settings.cpp and
// win32/settings.cpp hold the two stores.
// On Windows the registry key HKEY_CURRENT_USER\Software\Lexora\<application>\<section>;
// elsewhere the INI file $XDG_CONFIG_HOME/Lexora/<application>.conf (~/.config when
// XDG_CONFIG_HOME is unset), "[section]" lines and "entry=value" lines, as QSettings lays it out.
#pragma once

#include <string>
#include <string_view>

namespace lexora {

class Settings {
 public:
  explicit Settings(std::string applicationName);

  // The stored value, or the empty string when there is none (or it cannot be read).
  std::u16string read(std::u16string_view section, std::u16string_view entry) const;

  // Stores the value; false when it could not be written. Other entries are kept.
  bool write(std::u16string_view section, std::u16string_view entry, std::u16string_view value);

 private:
  std::string applicationName_;
};

}  // namespace lexora
