#include "link/socket/default_device_address.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/text_codec.h"
#include "platform/application.h"

namespace lexora {

std::string chooseDeviceAddress(const std::optional<std::string>& given) {
  if (given && !given->empty()) return *given;
  const std::u16string stored = applicationSettings().read(u"Link", u"device");
  if (!stored.empty()) return utf16ToUtf8(stored);
  return defaultDeviceAddress();
}

std::optional<std::filesystem::path> sharedTmpSocketFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::nullopt;
  return std::filesystem::path("/tmp") / ("lexora-" + std::to_string(geteuid()));
}

std::string defaultDeviceAddress() {
  if (auto folder = sharedTmpSocketFolder()) return "unix:" + (*folder / "handheld.sock").string();
  return std::string("unix:") + std::getenv("XDG_RUNTIME_DIR") + "/lexora-handheld.sock";
}

bool preparePrivateFolder(const std::filesystem::path& folder, std::string& error) {
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    error = "cannot create " + folder.string() + ": " + std::strerror(errno);
    return false;
  }
  // lstat: a link planted in the folder's place must not lead elsewhere.
  struct stat info;
  if (lstat(folder.c_str(), &info) != 0) {
    error = "cannot examine " + folder.string() + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid() || (info.st_mode & 077) != 0) {
    error = folder.string() +
            " is not a private folder of this user (it must be a folder of yours with mode "
            "0700); remove it or choose another address";
    return false;
  }
  return true;
}

}  // namespace lexora
