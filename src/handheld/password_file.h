// Where `lexora-handheld serve` takes its password from: a file or standard input, never
// the command line, where every user's `ps` would show it.
#pragma once

#include <optional>
#include <string>

namespace lexora::handheld {

// The first line of `source` ("-": standard input), without its line end. nullopt with
// `error` when it cannot be read, is not a regular file, holds no password, or one longer
// than the 14 characters a sender can type; at most kPasswordLineMaxBytes of it are read.
std::optional<std::string> readPasswordFile(const std::string& source, std::string& error);

}  // namespace lexora::handheld
