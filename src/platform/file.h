// Opening files by their std::filesystem::path: bytes on POSIX, whatever their encoding;
// UTF-16 on Windows. One implementation per system in posix/file.cpp and win32/file.cpp.
#pragma once

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace lexora {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The errno the open-for-reading functions leave when the path, after following links,
// names something other than a regular file (a folder, a device, a FIFO): a folder fails
// at the first read, /dev/zero never ends, and a FIFO would block the open itself.
inline constexpr int kNotARegularFile = EINVAL;

// The reason an open failed, in English: "not a regular file" for kNotARegularFile, else
// the system's text for `error`.
std::string openFailureReason(int error);

// Opens an existing regular file for binary reading; nullptr with errno set when it cannot.
FilePtr openForReading(const std::filesystem::path& path);

// Opens a file for binary writing, creating or truncating it; nullptr with errno set.
FilePtr openForWriting(const std::filesystem::path& path);

// Creates a new file for binary writing at `path`, failing (EEXIST) when anything is there
// already, a link included; nullptr with errno set when it cannot.
FilePtr createNewFile(const std::filesystem::path& path);

// Whether new files can be made in the existing folder `folder` (false, errno set, when it is
// read-only for this user or on a read-only file system). Windows: always true, its folders'
// read-only mark does not keep files out; a failure shows when the file is made.
bool canCreateFilesIn(const std::filesystem::path& folder);

// Gives `file` the permission bits of the existing file `model`; false when it cannot.
bool copyPermissions(std::FILE* file, const std::filesystem::path& model);

// A descriptor open for reading a regular file, for libraries that take one (zlib's
// gzdopen); -1 with errno set when it cannot. The caller closes it with closeDescriptor.
int openDescriptorForReading(const std::filesystem::path& path);
void closeDescriptor(int descriptor);

// Flushes the stream and asks the system to put its data on the disk; false (errno set)
// when either fails.
bool flushToDisk(std::FILE* file);

// Makes an already open stream (standard output, say) carry bytes unchanged, with no line-end
// translation; false when it cannot.
bool setBinaryMode(std::FILE* stream);

// Renames `from` over `to`, replacing an existing `to`; false (errno set) when it cannot.
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace lexora
