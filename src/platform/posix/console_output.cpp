// Console output on POSIX systems: terminals take UTF-8 bytes and escape sequences as they
// are.
#include <cstdio>

#include "platform/console.h"

namespace lexora {
namespace {

std::FILE* standardFile(ConsoleStream stream) {
  return stream == ConsoleStream::Output ? stdout : stderr;
}

}  // namespace

void writeConsoleText(ConsoleStream stream, std::string_view text) {
  // Flushed at once: a log being read as it grows, or a program that is killed, must still
  // have every line written so far.
  std::FILE* file = standardFile(stream);
  std::fwrite(text.data(), 1, text.size(), file);
  std::fflush(file);
}

void rewriteConsoleLine(ConsoleStream stream, std::string_view text) {
  std::FILE* file = standardFile(stream);
  std::fputs("\r\033[K", file);
  std::fwrite(text.data(), 1, text.size(), file);
  std::fflush(file);
}

}  // namespace lexora
