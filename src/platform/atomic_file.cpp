#include "platform/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "platform/path_text.h"
#include "platform/text_codec.h"

namespace lexora {
namespace {

std::string shown(const std::filesystem::path& path) {
  return utf16ToUtf8(pathText(path));
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path path, std::filesystem::path temp, FilePtr file)
    : path_(std::move(path)), temp_(std::move(temp)), file_(std::move(file)) {}

std::optional<AtomicFile> AtomicFile::create(const std::filesystem::path& path,
                                             std::string& error) {
  std::filesystem::path temp = path;
  temp += ".part";
  FilePtr file = openForWriting(temp);
  if (!file) {
    error = "cannot create " + shown(temp) + ": " + std::strerror(errno);
    return std::nullopt;
  }
  return AtomicFile(path, std::move(temp), std::move(file));
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : path_(std::move(other.path_)),
      temp_(std::exchange(other.temp_, {})),
      file_(std::move(other.file_)),
      written_(other.written_),
      writeError_(other.writeError_),
      committed_(other.committed_) {}

AtomicFile::~AtomicFile() {
  if (committed_ || temp_.empty()) return;  // committed, or moved from
  file_.reset();
  std::error_code ignored;
  std::filesystem::remove(temp_, ignored);
}

void AtomicFile::write(std::span<const uint8_t> bytes) {
  if (!written_ || bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
    written_ = false;
    writeError_ = errno;
  }
}

bool AtomicFile::commit(std::string& error) {
  if (written_ && !flushToDisk(file_.get())) {
    written_ = false;
    writeError_ = errno;
  }
  const bool closed = std::fclose(file_.release()) == 0;
  if (!written_ || !closed) {
    error = "cannot write " + shown(temp_) + ": " + std::strerror(written_ ? errno : writeError_);
    return false;
  }
  if (!replaceFile(temp_, path_)) {
    error = "cannot rename " + shown(temp_) + " to " + shown(path_) + ": " + std::strerror(errno);
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace lexora
