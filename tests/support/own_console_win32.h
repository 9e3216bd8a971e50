// A Windows console of a test's own, and what it shows, read back from its screen buffer.
#pragma once

#include <windows.h>

#include <string>

namespace lexora::test {

// Leaves whatever console the process had and makes a new one (Wine: its window console),
// with inheritable handles to its screen buffer and input; at the end the console is left
// and the standard handles are put back as they were.
class OwnConsole {
 public:
  OwnConsole() {
    for (int i = 0; i < 3; ++i) saved_[i] = GetStdHandle(kStandard[i]);
    FreeConsole();
    if (!AllocConsole()) return;
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    output_ =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherited, OPEN_EXISTING, 0, nullptr);
    input_ = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
  }
  ~OwnConsole() {
    if (output_ != INVALID_HANDLE_VALUE) CloseHandle(output_);
    if (input_ != INVALID_HANDLE_VALUE) CloseHandle(input_);
    FreeConsole();
    for (int i = 0; i < 3; ++i) SetStdHandle(kStandard[i], saved_[i]);
  }
  OwnConsole(const OwnConsole&) = delete;
  OwnConsole& operator=(const OwnConsole&) = delete;

  bool usable() const { return output_ != INVALID_HANDLE_VALUE && input_ != INVALID_HANDLE_VALUE; }
  HANDLE output() const { return output_; }
  HANDLE input() const { return input_; }

 private:
  static constexpr DWORD kStandard[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  HANDLE saved_[3] = {};
  HANDLE output_ = INVALID_HANDLE_VALUE;
  HANDLE input_ = INVALID_HANDLE_VALUE;
};

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
