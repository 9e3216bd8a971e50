// Writing a file so that it is either wholly replaced or left as it was: the bytes go to a
// new temporary file beside the target, which is flushed to the disk and then renamed over
// it. A link is followed and its target replaced (the link stays); an existing file keeps
// its permissions; a device or FIFO is written straight into, since it cannot be replaced.
// The temporary file is removed when a signal ends the program meanwhile, and every failure
// names the file being replaced, not the temporary one the user never asked for.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/file.h"
#include "platform/removed_on_termination.h"

namespace lexora {

class AtomicFile {
 public:
  // What may be written at `path`: anything, or only a regular file (one that may not be
  // there yet), where a device or FIFO is refused rather than written into.
  enum class Target { Any, RegularOnly };

  // Starts writing `path`; nullopt with `error` when the temporary file (created
  // exclusively, never through a link) or the device cannot be opened, or `path` is a folder
  // (or, with Target::RegularOnly, a device or FIFO).
  static std::optional<AtomicFile> create(const std::filesystem::path& path, std::string& error,
                                          Target target = Target::Any);

  // Called with each temporary name after it is chosen and before the file is created, so
  // that a test can plant something there; nullptr (the default) for none.
  static void setTemporaryNameHookForTesting(void (*hook)(const std::filesystem::path& temp));

  // Discards the temporary file unless commit() succeeded.
  ~AtomicFile();
  AtomicFile(AtomicFile&& other) noexcept;
  AtomicFile& operator=(AtomicFile&&) = delete;

  // Appends bytes; a failure is remembered and reported by commit().
  void write(std::span<const uint8_t> bytes);

  // Flushes, syncs and renames over the target. False with `error` (English, with the
  // system's reason) when any write or step failed; the target is then untouched.
  bool commit(std::string& error);

  // The file replaced (links followed), as failures name it.
  const std::filesystem::path& path() const { return path_; }

 private:
  AtomicFile(std::filesystem::path path, std::filesystem::path temp, FilePtr file,
             std::optional<RemovedOnTermination> removal);

  std::filesystem::path path_;      // the file replaced, after following links
  std::filesystem::path temp_;      // empty when writing straight into a device, or moved from
  std::unique_ptr<char[]> buffer_;  // file_'s; it outlives the stream
  FilePtr file_;
  std::optional<RemovedOnTermination> removedOnSignal_;  // while temp_ exists
  bool written_ = true;
  int writeError_ = 0;
  bool committed_ = false;
};

}  // namespace lexora
