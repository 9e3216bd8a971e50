#include "platform/application.h"

namespace lexora {
namespace {
std::string& nameStorage() {
  static std::string name = "Lexora";
  return name;
}
}  // namespace

void setApplicationName(std::string name) {
  nameStorage() = std::move(name);
}
const std::string& applicationName() {
  return nameStorage();
}
Settings applicationSettings() {
  return Settings(applicationName());
}

}  // namespace lexora
