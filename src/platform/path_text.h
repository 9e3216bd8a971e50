// Paths as text and text as paths. On POSIX a path is bytes, shown as UTF-8 (an
// undecodable byte becomes U+FFFD, as the codec does); on Windows it is UTF-16 already.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace lexora {

// The path as the user sees it, for status lines, names and messages.
std::u16string pathText(const std::filesystem::path& path);

// The path a text names (a file chosen in a dialog or typed by the user).
std::filesystem::path pathFromText(std::u16string_view text);

// The path a command-line argument names, and the other way round: the argument's bytes
// on POSIX, whatever their encoding; UTF-8 (see commandLineArguments) on Windows.
std::filesystem::path pathFromArgument(const std::string& argument);
std::string pathAsArgument(const std::filesystem::path& path);

// True for the characters that separate folders in a path's text: '\' on Windows;
// elsewhere '/' and also '\', for paths written the Windows way.
bool isPathSeparator(char16_t c);

}  // namespace lexora
