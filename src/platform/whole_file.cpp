#include "platform/whole_file.h"

#include <cerrno>
#include <cstring>

#include "base/text_codec.h"
#include "platform/file.h"
#include "platform/path_text.h"

namespace lexora {

std::optional<std::vector<uint8_t>> readWholeFile(const std::filesystem::path& path,
                                                  std::string& error) {
  FilePtr file = openForReading(path);
  if (!file) {
    error = "cannot open " + utf16ToUtf8(pathText(path)) + ": " + openFailureReason(errno);
    return std::nullopt;
  }
  std::vector<uint8_t> bytes;
  uint8_t buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
    bytes.insert(bytes.end(), buffer, buffer + n);
  if (std::ferror(file.get()) != 0) {
    error = "cannot read " + utf16ToUtf8(pathText(path));
    return std::nullopt;
  }
  return bytes;
}

}  // namespace lexora
