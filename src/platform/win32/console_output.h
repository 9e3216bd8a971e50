// Writing to a Windows console or to what standard output and error were redirected to,
// given the handle: the parts of console.h's output that tests drive with a console and a
// file of their own.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string_view>

namespace lexora {

// True when `handle` is a console (not a file, a pipe or a missing handle).
bool isConsoleHandle(HANDLE handle);

// Writes `text` (UTF-8): to a console as UTF-16 with WriteConsoleW, after flushing
// `stream`; otherwise as bytes through `stream`, whose handle `handle` is. False when the
// console refused it.
bool writeTextTo(HANDLE handle, std::FILE* stream, std::string_view text);

// Clears the console row the cursor is on, puts the cursor at its start and writes `text`
// there. False when `console` is not a console.
bool rewriteConsoleRow(HANDLE console, std::FILE* stream, std::string_view text);

}  // namespace lexora
