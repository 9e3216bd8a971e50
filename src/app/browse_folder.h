// Browse opens where the user last took files from: the folder of the last file chosen with
// Browse or dropped on the dialog, kept in the settings ("UI", "lastFolder") across runs.
#pragma once

#include <filesystem>
#include <string>

namespace lexora {

// The stored folder as text, or empty when none is stored or it no longer exists (the file
// dialog then opens where it would by itself).
std::u16string browseFolder();

// Stores the folder of `file`. A folder whose name does not survive being written as text
// (bytes that are not UTF-8) is not stored: it would come back as another folder.
void rememberBrowseFolder(const std::filesystem::path& file);

}  // namespace lexora
