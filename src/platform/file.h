// Opening files by their std::filesystem::path: bytes on POSIX, whatever their encoding;
// UTF-16 on Windows. One implementation per system in posix/file.cpp and win32/file.cpp.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace lexora {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens an existing file for binary reading; nullptr when it cannot be opened or is a
// directory (which POSIX would let fopen open, only to fail at the first read).
FilePtr openForReading(const std::filesystem::path& path);

// Creates (or truncates) a file for binary writing; nullptr with errno set when it cannot.
FilePtr openForWriting(const std::filesystem::path& path);

// A descriptor open for reading, for libraries that take one (zlib's gzdopen); -1 when the
// file cannot be opened or is a directory. The caller closes it with closeDescriptor.
int openDescriptorForReading(const std::filesystem::path& path);
void closeDescriptor(int descriptor);

// Flushes the stream and asks the system to put its data on the disk; false (errno set)
// when either fails.
bool flushToDisk(std::FILE* file);

// Renames `from` over `to`, replacing an existing `to`; false (errno set) when it cannot.
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace lexora
