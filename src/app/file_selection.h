// What Browse makes of the files the open-file dialog returns: the selected paths in the
// dialog's order, and the file box's text, those paths joined by ";".
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lexora {

struct FileSelection {
  // The files themselves: on POSIX the bytes a name was given in, even those the file box
  // cannot show (a name from the command line that is not UTF-8).
  std::vector<std::filesystem::path> paths;
  std::u16string text;  // the file box: the paths as text, joined by ";"
};

// The selection of `paths`, order kept.
FileSelection makeFileSelection(std::vector<std::filesystem::path> paths);

// A file dialog's result applied to `current`: nullopt (cancelled or failed) keeps it.
FileSelection applyFileDialogResult(const FileSelection& current,
                                    std::optional<std::vector<std::u16string>> chosen);

// The capacity, in UTF-16 characters, of the buffer the Windows open-file dialog fills.
inline constexpr size_t kOpenFileBufferCharacters = 52000;

// The Windows open-file buffer (multiple selection, Explorer style) with `fileOffset`, the
// dialog's offset of the first name: one full path, or a folder, NUL, names each ended by
// NUL and a final NUL. Returns the full paths in order; a folder's final "\" (a drive
// root) is not doubled. Reading stops at the buffer's end if the final NUL is missing.
std::vector<std::u16string> parseOpenFileBuffer(std::u16string_view buffer, size_t fileOffset);

}  // namespace lexora
