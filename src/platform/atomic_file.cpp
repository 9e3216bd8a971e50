#include "platform/atomic_file.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>
#include <utility>

#include "base/text_codec.h"
#include "platform/path_text.h"

namespace lexora {
namespace {

std::string shown(const std::filesystem::path& path) {
  return utf16ToUtf8(pathText(path));
}

// The file a chain of links ends at (which need not exist yet), so that writing through a
// link replaces its target and keeps the link.
std::filesystem::path followLinks(std::filesystem::path path) {
  std::error_code error;
  for (int hops = 0; hops < 40; ++hops) {  // the system's own limit on a chain of links
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) break;
    const std::filesystem::path target = std::filesystem::read_symlink(path, error);
    if (error) break;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path;
}

void (*gTemporaryNameHook)(const std::filesystem::path&) = nullptr;

// A new file beside `path` with a name nobody can predict, created exclusively: a file or
// link planted there by someone else makes the creation fail instead of being written
// through. Another name is tried when one is taken. Its removal on a terminating signal is
// armed before the file is made, so that no signal finds it made and not yet armed; only a
// signal within a failed attempt could remove another's file, and then only one whose
// unpredictable name this attempt drew.
FilePtr createTemporaryBeside(const std::filesystem::path& path, std::filesystem::path& temp,
                              std::optional<RemovedOnTermination>& removal) {
  static thread_local std::mt19937_64 random(
      std::random_device{}() ^
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%012llx.part",
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFULL));
    temp = path;
    temp += suffix;
    if (gTemporaryNameHook) gTemporaryNameHook(temp);
    removal.emplace(temp);
    if (FilePtr file = createNewFile(temp)) return file;
    const int reason = errno;
    removal.reset();
    errno = reason;
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path path, std::filesystem::path temp, FilePtr file,
                       std::optional<RemovedOnTermination> removal)
    : path_(std::move(path)),
      temp_(std::move(temp)),
      file_(std::move(file)),
      removedOnSignal_(std::move(removal)) {
  // An image comes in messages of a few KiB: a large buffer turns thousands of writes
  // into a few dozen.
  constexpr size_t kBufferBytes = 1 << 20;
  buffer_ = std::make_unique_for_overwrite<char[]>(kBufferBytes);
  std::setvbuf(file_.get(), buffer_.get(), _IOFBF, kBufferBytes);
}

void AtomicFile::setTemporaryNameHookForTesting(void (*hook)(const std::filesystem::path&)) {
  gTemporaryNameHook = hook;
}

std::optional<AtomicFile> AtomicFile::create(const std::filesystem::path& requested,
                                             std::string& error, Target target) {
  std::error_code ignored;
  // The system follows the links here, magic ones (/dev/stdout) included.
  const std::filesystem::file_status status = std::filesystem::status(requested, ignored);
  if (std::filesystem::is_directory(status)) {
    error = "cannot write " + shown(requested) + ": " + std::strerror(EISDIR);
    return std::nullopt;
  }
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    if (target == Target::RegularOnly) {
      error = "cannot write " + shown(requested) + ": " + openFailureReason(kNotARegularFile);
      return std::nullopt;
    }
    // A device or FIFO (`-o /dev/null`) cannot be replaced by a file: write into it.
    FilePtr file = openForWriting(requested);
    if (!file) {
      error = "cannot open " + shown(requested) + ": " + std::strerror(errno);
      return std::nullopt;
    }
    return AtomicFile(requested, {}, std::move(file), std::nullopt);
  }
  const std::filesystem::path path = followLinks(requested);
  std::filesystem::path temp;
  std::optional<RemovedOnTermination> removal;
  FilePtr file = createTemporaryBeside(path, temp, removal);
  if (!file) {
    const int reason = errno;
    error = "cannot create " + shown(path) + ": " + std::strerror(reason);
    return std::nullopt;
  }
  AtomicFile result(path, std::move(temp), std::move(file), std::move(removal));
  if (std::filesystem::is_regular_file(status) && !copyPermissions(result.file_.get(), path)) {
    error = "cannot copy the permissions of " + shown(path) + ": " + std::strerror(errno);
    return std::nullopt;
  }
  return result;
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : path_(std::move(other.path_)),
      temp_(std::exchange(other.temp_, {})),
      buffer_(std::move(other.buffer_)),
      file_(std::move(other.file_)),
      removedOnSignal_(std::move(other.removedOnSignal_)),
      written_(other.written_),
      writeError_(other.writeError_),
      committed_(other.committed_) {}

AtomicFile::~AtomicFile() {
  file_.reset();
  if (committed_ || temp_.empty()) return;  // committed, a device, or moved from
  std::error_code ignored;
  std::filesystem::remove(temp_, ignored);
  removedOnSignal_.reset();
}

void AtomicFile::write(std::span<const uint8_t> bytes) {
  if (!written_ || bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
    written_ = false;
    writeError_ = errno;
  }
}

bool AtomicFile::commit(std::string& error) {
  const bool direct = temp_.empty();
  // A device or FIFO cannot be synced (fsync fails with EINVAL); flushing is all there is.
  if (written_ && !(direct ? std::fflush(file_.get()) == 0 : flushToDisk(file_.get()))) {
    written_ = false;
    writeError_ = errno;
  }
  const int closeError = std::fclose(file_.release()) == 0 ? 0 : errno;
  if (!written_ || closeError != 0) {
    error =
        "cannot write " + shown(path_) + ": " + std::strerror(written_ ? closeError : writeError_);
    return false;
  }
  if (!direct && !replaceFile(temp_, path_)) {
    error = "cannot replace " + shown(path_) + ": " + std::strerror(errno);
    return false;
  }
  committed_ = true;
  removedOnSignal_.reset();
  return true;
}

}  // namespace lexora
