#include <cstdlib>
#include <optional>
#include <string>

#include "support/test_support.h"

namespace lexora::test {

struct SettingsRedirect::State {
  TempDir config;
  std::optional<std::string> oldXdg;
};

SettingsRedirect::SettingsRedirect() : state_(new State) {
  if (const char* old = std::getenv("XDG_CONFIG_HOME")) state_->oldXdg = old;
  ::setenv("XDG_CONFIG_HOME", state_->config.path().c_str(), 1);
}

SettingsRedirect::~SettingsRedirect() {
  if (state_->oldXdg) {
    ::setenv("XDG_CONFIG_HOME", state_->oldXdg->c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace lexora::test
