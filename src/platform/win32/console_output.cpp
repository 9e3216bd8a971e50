// Console output on Windows. The C runtime hands a console UTF-8 one byte per write, and a
// console decodes each write on its own, so every non-ASCII character would show as
// replacement marks: a console is given UTF-16 instead. Redirected output stays UTF-8.
#include "platform/win32/console_output.h"

#include <algorithm>
#include <string>

#include "base/text_codec.h"
#include "platform/console.h"

namespace lexora {
namespace {

// Consoles have limited the size of one write; a piece this size passes every one of them.
constexpr size_t kPieceUnits = 8192;

bool isHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool writeWide(HANDLE console, std::u16string_view text) {
  while (!text.empty()) {
    size_t count = std::min(text.size(), kPieceUnits);
    // A character outside the BMP is never cut between two writes.
    if (count < text.size() && isHighSurrogate(text[count - 1])) --count;
    DWORD written = 0;
    if (!WriteConsoleW(console, text.data(), static_cast<DWORD>(count), &written, nullptr) ||
        written == 0) {
      return false;
    }
    text.remove_prefix(std::min<size_t>(written, text.size()));
  }
  return true;
}

HANDLE standardOutputHandle(ConsoleStream stream) {
  return GetStdHandle(stream == ConsoleStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

std::FILE* standardFile(ConsoleStream stream) {
  return stream == ConsoleStream::Output ? stdout : stderr;
}

}  // namespace

bool isConsoleHandle(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
         GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode);
}

bool writeTextTo(HANDLE handle, std::FILE* stream, std::string_view text) {
  if (!isConsoleHandle(handle)) {
    // Flushed at once: a log being read as it grows, or a program that is killed, must
    // still have every line written so far.
    const bool whole = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    return std::fflush(stream) == 0 && whole;
  }
  // What the C runtime still holds for this console comes first.
  std::fflush(stream);
  return writeWide(handle, utf8ToUtf16(text));
}

bool rewriteConsoleRow(HANDLE console, std::FILE* stream, std::string_view text) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!isConsoleHandle(console) || !GetConsoleScreenBufferInfo(console, &info)) return false;
  std::fflush(stream);
  const COORD rowStart{0, info.dwCursorPosition.Y};
  const auto width = static_cast<DWORD>(std::max<SHORT>(info.dwSize.X, 0));
  DWORD done = 0;
  FillConsoleOutputCharacterW(console, L' ', width, rowStart, &done);
  FillConsoleOutputAttribute(console, info.wAttributes, width, rowStart, &done);
  SetConsoleCursorPosition(console, rowStart);
  return writeWide(console, utf8ToUtf16(text));
}

void writeConsoleText(ConsoleStream stream, std::string_view text) {
  writeTextTo(standardOutputHandle(stream), standardFile(stream), text);
}

void rewriteConsoleLine(ConsoleStream stream, std::string_view text) {
  const HANDLE handle = standardOutputHandle(stream);
  // Not a console after all (the handle was changed): the text as a line of its own.
  if (!rewriteConsoleRow(handle, standardFile(stream), text)) {
    writeTextTo(handle, standardFile(stream), std::string(text) + "\n");
  }
}

}  // namespace lexora
