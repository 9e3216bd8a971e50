// The settings store in the registry.
#include "platform/settings.h"

#include <windows.h>

#include "base/text_codec.h"

namespace lexora {
namespace {
std::wstring keyPath(const std::string& app, std::u16string_view section) {
  std::u16string k = u"Software\\Lexora\\" + utf8ToUtf16(app) + u"\\" + std::u16string(section);
  return std::wstring(k.begin(), k.end());
}
std::wstring wide(std::u16string_view s) {
  return std::wstring(s.begin(), s.end());
}
}  // namespace

Settings::Settings(std::string applicationName) : applicationName_(std::move(applicationName)) {}

std::u16string Settings::read(std::u16string_view section, std::u16string_view entry) const {
  wchar_t buffer[1024];
  DWORD size = sizeof buffer;
  if (RegGetValueW(HKEY_CURRENT_USER, keyPath(applicationName_, section).c_str(),
                   wide(entry).c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) {
    return {};
  }
  return std::u16string(buffer, buffer + wcsnlen(buffer, size / sizeof(wchar_t)));
}

bool Settings::write(std::u16string_view section, std::u16string_view entry,
                     std::u16string_view value) {
  const std::wstring v = wide(value);
  // REG_SZ is stored with its terminating NUL.
  return RegSetKeyValueW(HKEY_CURRENT_USER, keyPath(applicationName_, section).c_str(),
                         wide(entry).c_str(), REG_SZ, v.c_str(),
                         static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::optional<SettingsProblem> Settings::problem() const {
  return std::nullopt;  // a registry value is read bounded, and nothing else is there
}

}  // namespace lexora
