// What a Windows console shows, read back from its screen buffer for tests.
#pragma once

#include <windows.h>

#include <string>

namespace lexora::test {

// The characters of row `y` of `console`, trailing blanks dropped.
inline std::u16string consoleRow(HANDLE console, SHORT y) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(console, &info)) return u"";
  std::wstring cells(static_cast<size_t>(info.dwSize.X), L' ');
  DWORD read = 0;
  ReadConsoleOutputCharacterW(console, cells.data(), static_cast<DWORD>(cells.size()), {0, y},
                              &read);
  cells.resize(read);
  while (!cells.empty() && cells.back() == L' ') cells.pop_back();
  return std::u16string(cells.begin(), cells.end());
}

}  // namespace lexora::test
