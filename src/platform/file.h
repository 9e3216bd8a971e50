// Opening files by their UTF-16 path (UTF-8 on disk outside Windows).
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace lexora {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens an existing file for binary reading; nullptr when it cannot be opened or is a
// directory (which POSIX would let fopen open, only to fail at the first read).
FilePtr openForReading(std::u16string_view path);

// The path as the operating system's file functions take it outside Windows.
std::string nativePath(std::u16string_view path);

}  // namespace lexora
