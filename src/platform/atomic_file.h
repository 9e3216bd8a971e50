// Writing a file so that it is either wholly replaced or left as it was: the bytes go to a
// temporary file beside the target, which is flushed to the disk and then renamed over it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "platform/file.h"

namespace lexora {

class AtomicFile {
 public:
  // Starts writing `path` (through "<path>.part"); nullopt with `error` when the temporary
  // file cannot be created.
  static std::optional<AtomicFile> create(const std::filesystem::path& path, std::string& error);

  // Discards the temporary file unless commit() succeeded.
  ~AtomicFile();
  AtomicFile(AtomicFile&& other) noexcept;
  AtomicFile& operator=(AtomicFile&&) = delete;

  // Appends bytes; a failure is remembered and reported by commit().
  void write(std::span<const uint8_t> bytes);

  // Flushes, syncs and renames over the target. False with `error` (English, with the
  // system's reason) when any write or step failed; the target is then untouched.
  bool commit(std::string& error);

 private:
  AtomicFile(std::filesystem::path path, std::filesystem::path temp, FilePtr file);

  std::filesystem::path path_;
  std::filesystem::path temp_;
  FilePtr file_;
  bool written_ = true;
  int writeError_ = 0;
  bool committed_ = false;
};

}  // namespace lexora
