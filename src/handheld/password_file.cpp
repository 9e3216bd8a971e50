#include "handheld/password_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/bounded_line.h"
#include "base/text_codec.h"
#include "link/password_answer.h"
#include "platform/file.h"

namespace lexora::handheld {
namespace {

// Reads blocks until the first line is whole, too long, or the input ends: /dev/zero or an
// endless pipe on standard input costs no more than the bound. False (errno set) when a
// read fails.
bool readFirstLine(int descriptor, BoundedLine& line) {
  char block[256];
  bool readFailed = false;
  while (!line.done()) {
    const ssize_t n = ::read(descriptor, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      readFailed = n < 0;
      break;
    }
    line.add(std::string_view(block, static_cast<size_t>(n)));
  }
  std::fill(block, block + sizeof block, '\0');
  return !readFailed;
}

}  // namespace

std::optional<std::string> readPasswordFile(const std::string& source, std::string& error) {
  const bool fromStandardInput = source == "-";
  const std::string shown = fromStandardInput ? "standard input" : "the password file " + source;
  // Only a regular file: a FIFO would wait for a writer, a device might never end. A pipe
  // is still a fine source on standard input: --password-file - < <(pass show handheld).
  const int descriptor = fromStandardInput ? STDIN_FILENO : openDescriptorForReading(source);
  if (descriptor < 0) {
    error = "cannot read " + shown + ": " + openFailureReason(errno);
    return std::nullopt;
  }
  BoundedLine line(kPasswordLineMaxBytes);
  const bool read = readFirstLine(descriptor, line);
  const int readError = errno;
  if (!fromStandardInput) closeDescriptor(descriptor);
  if (!read) {
    error = "cannot read " + shown + ": " + std::strerror(readError);
    return std::nullopt;
  }
  if (line.tooLong()) {
    error = "the first line of " + shown + " is longer than " +
            std::to_string(kPasswordLineMaxBytes) + " bytes; it holds no password";
    return std::nullopt;
  }
  std::string password = line.take();
  if (password.empty()) {
    error = shown + " holds no password on its first line";
    return std::nullopt;
  }
  if (utf8ToUtf16(password).size() > kPasswordMaxCharacters) {
    error = "the password in " + shown + " is longer than the " +
            std::to_string(kPasswordMaxCharacters) + " characters a sender can type";
    std::fill(password.begin(), password.end(), '\0');
    return std::nullopt;
  }
  return password;
}

}  // namespace lexora::handheld
