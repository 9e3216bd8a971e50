// Running our programs on Windows: CreateProcessW with files for the three streams.
// (SpawnedProgram, with its signals and pseudo-terminal, exists only on POSIX.)
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/text_codec.h"
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

// Why a call failed, for the test's failure message.
std::string lastErrorText(const char* call) {
  return std::string(call) + " failed with error " + std::to_string(GetLastError());
}

// One attempt; false (with the reason in `run.err`) when the program could not be started.
bool runOnce(const std::wstring& commandLine, const TempDir& dir, ProgramRun& run) {
  HANDLE in = inheritable(dir / "in", false);
  HANDLE out = inheritable(dir / "out", true);
  HANDLE err = inheritable(dir / "err", true);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  std::wstring line = commandLine;  // CreateProcessW may write to it
  const bool started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  const std::string notStarted = started ? "" : lastErrorText("CreateProcessW");
  CloseHandle(in);
  CloseHandle(out);
  CloseHandle(err);
  if (!started) {
    run.err = notStarted;
    return false;
  }
  std::string failure;
  const DWORD waited = WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 0;
  if (waited == WAIT_FAILED) {
    failure = lastErrorText("WaitForSingleObject");
  } else if (waited != WAIT_OBJECT_0) {
    failure = "still running after 60 s; killed";
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
  } else if (!GetExitCodeProcess(process.hProcess, &code)) {
    failure = lastErrorText("GetExitCodeProcess");
  } else {
    run.exitStatus = static_cast<int>(code);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  run.out = readFile(dir / "out");
  run.err = readFile(dir / "err");
  if (!failure.empty()) run.err += "\n[test runner: " + failure + "]";
  return true;
}

}  // namespace

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input) {
  TempDir dir;
  writeFile(dir / "in", input);
  std::wstring line;
  appendQuoted(line, wide(program));
  for (const std::string& argument : arguments) {
    line += L' ';
    appendQuoted(line, wide(argument));
  }
  // Under Wine on a loaded machine, CreateProcessW now and then fails with
  // ERROR_INTERNAL_ERROR (1359) and the program is never run: about once in 200 runs of the
  // CLI tests beside two busy processes. A start that fails is tried again; a program that
  // started is never run a second time, so nothing the program itself does is retried.
  ProgramRun run;
  std::string reasons;
  for (int attempt = 0; attempt < 3; ++attempt) {
    run = ProgramRun{};
    if (runOnce(line, dir, run)) return run;
    reasons += "[test runner: " + run.err + "]\n";
    std::fprintf(stderr, "[test runner: %s; trying again]\n", run.err.c_str());
    Sleep(200);
  }
  run.err = reasons;
  return run;
}

std::string builtProgram(const std::string& relative) {
  return std::string(LEXORA_BINARY_DIR) + "/" + relative + ".exe";
}

}  // namespace lexora::test
