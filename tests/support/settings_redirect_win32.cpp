#include <windows.h>

#include <atomic>
#include <string>

#include "support/test_support.h"

namespace lexora::test {

// HKEY_CURRENT_USER is replaced, for this process, by a fresh key of its own, so a test
// neither sees nor changes what an earlier test (or the user) stored.
struct SettingsRedirect::State {
  std::wstring path;
  HKEY key = nullptr;
};

SettingsRedirect::SettingsRedirect() : state_(new State) {
  static std::atomic<int> counter{0};
  state_->path = L"Software\\LexoraTests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(counter++);
  if (RegCreateKeyExW(HKEY_CURRENT_USER, state_->path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &state_->key, nullptr) == ERROR_SUCCESS) {
    RegOverridePredefKey(HKEY_CURRENT_USER, state_->key);
  }
}

SettingsRedirect::~SettingsRedirect() {
  if (!state_->key) return;
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegCloseKey(state_->key);
  RegDeleteTreeW(HKEY_CURRENT_USER, state_->path.c_str());
}

}  // namespace lexora::test
