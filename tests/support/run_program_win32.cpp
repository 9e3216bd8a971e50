// Running our programs on Windows: CreateProcessW with files for the three streams.
// (SpawnedProgram, with its signals and pseudo-terminal, exists only on POSIX.)
#include <windows.h>

#include <string>

#include "platform/text_codec.h"
#include "support/run_program.h"
#include "support/test_support.h"

namespace lexora::test {
namespace {

std::wstring wide(const std::string& utf8) {
  const std::u16string text = utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

// Quotes one argument so that CommandLineToArgvW (and the C runtime) give it back as is.
void appendQuoted(std::wstring& line, const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(2 * backslashes, L'\\');
  line += L'"';
}

HANDLE inheritable(const std::filesystem::path& path, bool write) {
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
  return CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes,
                     write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input) {
  TempDir dir;
  writeFile(dir / "in", input);
  ProgramRun run;
  HANDLE in = inheritable(dir / "in", false);
  HANDLE out = inheritable(dir / "out", true);
  HANDLE err = inheritable(dir / "err", true);
  std::wstring line;
  appendQuoted(line, wide(program));
  for (const std::string& argument : arguments) {
    line += L' ';
    appendQuoted(line, wide(argument));
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  const bool started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(in);
  CloseHandle(out);
  CloseHandle(err);
  if (!started) return run;
  if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
  } else {
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) run.exitStatus = static_cast<int>(code);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  run.out = readFile(dir / "out");
  run.err = readFile(dir / "err");
  return run;
}

std::string builtProgram(const std::string& relative) {
  return std::string(LEXORA_BINARY_DIR) + "/" + relative + ".exe";
}

}  // namespace lexora::test
