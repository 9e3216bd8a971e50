#include "handheld/password_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

#include "link/password_answer.h"
#include "platform/text_codec.h"

namespace lexora::handheld {

std::optional<std::string> readPasswordFile(const std::string& source, std::string& error) {
  const bool fromStandardInput = source == "-";
  const std::string shown = fromStandardInput ? "standard input" : "the password file " + source;
  std::string line;
  // A stream rather than a whole read: a pipe such as <(pass show handheld) is a fine source.
  std::ifstream file;
  if (!fromStandardInput) {
    file.open(source, std::ios::binary);
    if (!file) {
      error = "cannot read " + shown + ": " + std::strerror(errno != 0 ? errno : EIO);
      return std::nullopt;
    }
  }
  std::istream& in = fromStandardInput ? std::cin : file;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.empty()) {
    error = shown + " holds no password on its first line";
    return std::nullopt;
  }
  if (utf8ToUtf16(line).size() > kPasswordMaxCharacters) {
    error = "the password in " + shown + " is longer than the " +
            std::to_string(kPasswordMaxCharacters) + " characters a sender can type";
    std::fill(line.begin(), line.end(), '\0');
    return std::nullopt;
  }
  return line;
}

}  // namespace lexora::handheld
