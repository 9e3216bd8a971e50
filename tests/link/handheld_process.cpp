#include "link/handheld_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

namespace lexora::test {
namespace {

pid_t spawn(const std::vector<std::string>& args, int stdoutFd, const std::string& stderrPath) {
  std::vector<char*> argv;
  const std::string program = HandheldProcess::binary();
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
  posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0600);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int waitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

std::string HandheldProcess::binary() {
  return LEXORA_BINARY_DIR "/src/handheld/lexora-handheld";
}

HandheldProcess::HandheldProcess(std::vector<std::string> extraArgs, const std::string& password) {
  const std::string socketPath = (dir_ / "h.sock").string();
  std::vector<std::string> args = {"serve", "--listen", "unix:" + socketPath, "--store",
                                   store().string()};
  if (!password.empty()) {
    args.push_back("--password-file");
    args.push_back(writeFile(dir_ / "password", password + "\n").string());
  }
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return;
  pid_ = spawn(args, out[1], (dir_ / "stderr.txt").string());
  close(out[1]);
  // Ready once it says where it listens.
  std::string said;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (pid_ > 0 && said.find('\n') == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[256];
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    said.append(buffer, static_cast<size_t>(n));
  }
  close(out[0]);
  if (said.rfind("listening on ", 0) != 0) {
    stop();
    return;
  }
  address_ = said.substr(13, said.find('\n') - 13);
}

HandheldProcess::~HandheldProcess() {
  stop();
}

int HandheldProcess::stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  const int status = waitFor(pid_);
  pid_ = -1;
  return status;
}

std::string HandheldProcess::log() const {
  return readFile(dir_ / "stderr.txt");
}

HandheldProcess::Result HandheldProcess::run(const std::vector<std::string>& args) {
  TempDir dir;
  Result result;
  const int out = open((dir / "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const pid_t pid = spawn(args, out, (dir / "err.txt").string());
  close(out);
  if (pid <= 0) return result;
  result.status = waitFor(pid);
  result.out = readFile(dir / "out.txt");
  result.err = readFile(dir / "err.txt");
  return result;
}

}  // namespace lexora::test
