// `lexora-cli send` of a text dictionary to lexora-handheld, against the floor of its
// conversation: a ping-pong over a Unix socket pair with one round trip per message the
// handheld acknowledges (the name, each key and record pair) and the handheld's side
// inflating each record. The two alternate round by round, since the machine is shared.
//
// usage: lexora-bench-send TEXT_DICTIONARY [ROUNDS]
//
// Both are timed from the name message to the last block's acknowledgement: the end flag
// makes the emulator store (and sync) the whole image, which the floor has no counterpart
// for. The CLI's part starts at its status line for the name and ends at "End sending";
// the CPU time of each process is read from /proc at those two lines.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/text_codec.h"
#include "pack/packed_image.h"
#include "platform/whole_file.h"

extern char** environ;

namespace lexora {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const std::string kCli = LEXORA_BINARY_DIR "/src/cli/lexora-cli";
const std::string kHandheld = LEXORA_BINARY_DIR "/src/handheld/lexora-handheld";

struct Measure {
  double seconds = 0;
  double pcCpu = 0;        // the sending process (all its threads)
  double handheldCpu = 0;  // the handheld's process
  bool ok = false;
};

double since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double rusageSeconds(const rusage& r) {
  return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
         static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// User and system time of a running process, from /proc.
double processCpu(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(in, line);
  // Fields after the command name, which is in parentheses and may hold spaces.
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

bool sendAll(int fd, std::vector<iovec> parts) {
  iovec* part = parts.data();
  size_t count = parts.size();
  while (count > 0) {
    const ssize_t n = writev(fd, part, static_cast<int>(count));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    size_t sent = static_cast<size_t>(n);
    while (count > 0 && sent >= part->iov_len) {
      sent -= part->iov_len;
      ++part;
      --count;
    }
    if (count > 0) {
      part->iov_base = static_cast<uint8_t*>(part->iov_base) + sent;
      part->iov_len -= sent;
    }
  }
  return true;
}

// Messages (type, 16-bit big-endian length, payload) from a socket, read in large pieces.
class MessageStream {
 public:
  explicit MessageStream(int fd) : fd_(fd), buffer_(1 << 17) {}
  bool next(uint8_t& type, std::vector<uint8_t>& payload) {
    if (!fill(3)) return false;
    type = buffer_[begin_];
    const size_t length = static_cast<size_t>(buffer_[begin_ + 1] << 8 | buffer_[begin_ + 2]);
    if (!fill(3 + length)) return false;
    payload.assign(buffer_.begin() + static_cast<ptrdiff_t>(begin_ + 3),
                   buffer_.begin() + static_cast<ptrdiff_t>(begin_ + 3 + length));
    begin_ += 3 + length;
    return true;
  }

 private:
  bool fill(size_t wanted) {
    while (end_ - begin_ < wanted) {
      if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
      }
      const ssize_t n = recv(fd_, buffer_.data() + end_, buffer_.size() - end_, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      end_ += static_cast<size_t>(n);
    }
    return true;
  }
  int fd_;
  std::vector<uint8_t> buffer_;
  size_t begin_ = 0, end_ = 0;
};

// The handheld's side of the floor: acknowledges the name, each record (inflated first)
// and the end flag with the three bytes 64 00 00.
int floorHandheld(int fd) {
  MessageStream stream(fd);
  std::vector<uint8_t> payload;
  std::vector<uint8_t> inflated(1 << 20);
  uint8_t type = 0;
  static const uint8_t ack[3] = {100, 0, 0};
  while (stream.next(type, payload)) {
    if (type == 2) continue;  // the key: its record's acknowledgement covers it
    if (type == 3) {
      uLongf size = inflated.size();
      if (uncompress(inflated.data(), &size, payload.data(), payload.size()) != Z_OK) return 1;
    }
    if (send(fd, ack, sizeof ack, MSG_NOSIGNAL) != 3) return 1;
    if (type == 4) return 0;
  }
  return 1;
}

bool awaitAck(MessageStream& stream) {
  uint8_t type = 0;
  std::vector<uint8_t> payload;
  return stream.next(type, payload) && type == 100;
}

Measure runFloor(const PackedDictionary& dictionary, const std::string& nameBytes) {
  Measure m;
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return m;
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    _exit(floorHandheld(fds[1]));
  }
  close(fds[1]);
  const int fd = fds[0];
  MessageStream acks(fd);
  auto header = [](uint8_t type, size_t length) {
    return std::array<uint8_t, 3>{type, static_cast<uint8_t>(length >> 8),
                                  static_cast<uint8_t>(length)};
  };
  auto part = [](const void* data, size_t size) { return iovec{const_cast<void*>(data), size}; };
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = Clock::now();
  bool ok = true;
  auto nameHeader = header(1, nameBytes.size());
  ok = sendAll(fd, {part(nameHeader.data(), 3), part(nameBytes.data(), nameBytes.size())}) &&
       awaitAck(acks);
  for (size_t i = 0; ok && i < dictionary.blocks.size(); ++i) {
    const PackedBlock& block = dictionary.blocks[i];
    auto keyHeader = header(2, block.keyBytes.size());
    auto recordHeader = header(3, block.packedBytes.size());
    ok = sendAll(fd, {part(keyHeader.data(), 3), part(block.keyBytes.data(), block.keyBytes.size()),
                      part(recordHeader.data(), 3),
                      part(block.packedBytes.data(), block.packedBytes.size())}) &&
         awaitAck(acks);
  }
  m.seconds = since(start);
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  const uint8_t endFlag[3] = {4, 0, 0};
  ok = ok && sendAll(fd, {part(endFlag, 3)}) && awaitAck(acks);
  close(fd);
  int status = 0;
  rusage child_usage{};
  wait4(child, &status, 0, &child_usage);
  m.pcCpu = rusageSeconds(after) - rusageSeconds(before);
  m.handheldCpu = rusageSeconds(child_usage);
  m.ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return m;
}

pid_t spawn(const std::vector<std::string>& args, int out, int err) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_adddup2(&actions, err, 2);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// lexora-cli send against a fresh lexora-handheld, timed by the CLI's status lines.
Measure runSend(const fs::path& text, const fs::path& dir) {
  Measure m;
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string address = "unix:" + (dir / "h.sock").string();
  const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const int log = open((dir / "handheld.log").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  const pid_t handheld = spawn(
      {kHandheld, "serve", "--listen", address, "--store", (dir / "store").string()}, devNull, log);
  for (int i = 0; i < 500 && !fs::exists(dir / "h.sock"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return m;
  const pid_t cli =
      spawn({kCli, "--lang", "en", "send", "--yes", "--device", address, text.string()}, pipeFds[1],
            pipeFds[1]);
  close(pipeFds[1]);
  FILE* lines = fdopen(pipeFds[0], "r");
  char* line = nullptr;
  size_t capacity = 0;
  Clock::time_point start;
  double cliCpu = 0, handheldCpu = 0;
  bool started = false;
  while (getline(&line, &capacity, lines) > 0) {
    const std::string_view shown(line);
    if (!started && shown.starts_with("Send dictionary's name ")) {
      start = Clock::now();
      cliCpu = processCpu(cli);
      handheldCpu = processCpu(handheld);
      started = true;
    } else if (started && shown.starts_with("End sending...") && m.seconds == 0) {
      m.seconds = since(start);
      m.pcCpu = processCpu(cli) - cliCpu;
      m.handheldCpu = processCpu(handheld) - handheldCpu;
    }
  }
  free(line);
  fclose(lines);
  int status = 0;
  waitpid(cli, &status, 0);
  kill(handheld, SIGTERM);
  waitpid(handheld, nullptr, 0);
  close(devNull);
  close(log);
  m.ok = m.seconds > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return m;
}

void print(const char* what, const Measure& m) {
  std::printf("  %-6s %6.2f s   CPU: PC %5.2f s, handheld %5.2f s%s\n", what, m.seconds, m.pcCpu,
              m.handheldCpu, m.ok ? "" : "   FAILED");
}

int run(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: lexora-bench-send TEXT_DICTIONARY [ROUNDS]\n";
    return 2;
  }
  const fs::path text = argv[1];
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const fs::path dir =
      fs::temp_directory_path() / ("lexora-bench-send-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path image = dir / "image.lxp";
  // The floor sends the very blocks `send` makes.
  const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const pid_t packer = spawn({kCli, "pack", text.string(), "-o", image.string()}, devNull, 2);
  int status = 0;
  waitpid(packer, &status, 0);
  close(devNull);
  std::string error;
  auto bytes = readWholeFile(image, error);
  auto dictionary = bytes ? parsePackedImage(*bytes, error) : std::nullopt;
  if (!dictionary) {
    std::cerr << image << ": " << error << "\n";
    return 1;
  }
  const std::string nameBytes = utf16ToUtf8(dictionary->name);
  std::printf("%s: %zu blocks, %.1f MB packed\n", text.c_str(), dictionary->blocks.size(),
              static_cast<double>(bytes->size()) / 1e6);

  std::vector<double> ratios;
  bool ok = true;
  for (int r = 1; r <= rounds; ++r) {
    const Measure floor = runFloor(*dictionary, nameBytes);
    const Measure sent = runSend(text, dir / "send");
    std::printf("round %d: send / floor = %.2f\n", r, sent.seconds / floor.seconds);
    print("floor", floor);
    print("send", sent);
    ok = ok && floor.ok && sent.ok;
    ratios.push_back(sent.seconds / floor.seconds);
  }
  std::sort(ratios.begin(), ratios.end());
  std::printf("send / floor: best %.2f, median %.2f (target <= 1.5)\n", ratios.front(),
              ratios[ratios.size() / 2]);
  fs::remove_all(dir);
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace lexora

int main(int argc, char** argv) {
  return lexora::run(argc, argv);
}
