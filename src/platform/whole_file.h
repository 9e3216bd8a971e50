// Reading a whole file into memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lexora {

// The file's bytes; nullopt with `error` (in English, with the system's reason) when it
// cannot be opened or read, or is not a regular file (a device would never end).
std::optional<std::vector<uint8_t>> readWholeFile(const std::filesystem::path& path,
                                                  std::string& error);

}  // namespace lexora
