// lexora-cli send: the transfer job from a terminal.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <iostream>
#include <thread>

#include "cli/choose_device_address.h"
#include "cli/commands.h"
#include "job/transfer_job.h"
#include "link/socket/device_address.h"
#include "link/socket/socket_service.h"
#include "platform/text_codec.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

constexpr BilingualText kStopping{u"正在停止……（再按一次 Ctrl-C 立即退出）",
                                  u"Stopping... (press Ctrl-C again to quit at once)"};
constexpr BilingualText kNoHandheldAt{u"没有手机在此地址应答：", u"No handheld answered at "};

// The command line has no buttons; the job's button changes have nothing to show.
class ConsoleDialog : public TransferDialog {
 public:
  explicit ConsoleDialog(ConsoleUserInterface& ui) : ui_(ui) {}
  UserInterface& ui() override { return ui_; }
  void enableSendButton(bool) override {}
  void enableStopButton(bool) override {}

 private:
  ConsoleUserInterface& ui_;
};

// Turns Ctrl-C into the Stop button while it lives: the first asks the job to stop, the
// second quits at once. Signals are taken on a thread of their own with sigtimedwait, so
// no work happens in a signal handler.
class InterruptWatcher {
 public:
  explicit InterruptWatcher(std::function<void()> onFirst) : onFirst_(std::move(onFirst)) {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    // Blocked before any other thread starts, so every thread inherits the mask.
    pthread_sigmask(SIG_BLOCK, &set_, &previous_);
    thread_ = std::thread([this] { watch(); });
  }
  ~InterruptWatcher() {
    done_ = true;
    thread_.join();
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }

 private:
  void watch() {
    int count = 0;
    const timespec tick{0, 100 * 1000 * 1000};
    while (!done_) {
      if (sigtimedwait(&set_, nullptr, &tick) != SIGINT) continue;
      if (++count == 1) {
        std::fprintf(stderr, "\n%s\n", utf16ToUtf8(kStopping.pick()).c_str());
        onFirst_();
      } else {
        std::fflush(stdout);
        _exit(130);
      }
    }
  }

  std::function<void()> onFirst_;
  sigset_t set_{}, previous_{};
  std::atomic<bool> done_{false};
  std::thread thread_;
};

// Answers password challenges with a line read from standard input, for scripts.
class StdinPasswordInterface : public ConsoleUserInterface {
 public:
  using ConsoleUserInterface::ConsoleUserInterface;
  std::optional<std::u16string> askPassword(std::u16string_view) override {
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    std::u16string password = utf8ToUtf16(line);
    std::fill(line.begin(), line.end(), '\0');
    if (password.size() > 14) password.resize(14);
    return password;
  }
};

}  // namespace

int sendCommand(const CommandLine& line) {
  std::unique_ptr<ConsoleUserInterface> ui =
      line.passwordFromStdin ? std::make_unique<StdinPasswordInterface>(line.answers)
                             : std::make_unique<ConsoleUserInterface>(line.answers);
  ConsoleDialog dialog(*ui);

  const std::string address = chooseDeviceAddress(line.device);
  std::string error;
  if (!parseDeviceAddress(address, error)) {
    std::fprintf(stderr, "lexora-cli: %s\n", error.c_str());
    return kExitUsage;
  }
  SocketServiceOptions options;
  options.address = address;

  TransferJobParameters parameters;
  for (const std::string& file : line.operands)
    parameters.selectedPaths.push_back(utf8ToUtf16(file));
  parameters.service = socketServiceFactory(options);

  TransferOutcome outcome;
  {
    // The watcher is made first, so the job's threads start with Ctrl-C blocked.
    // A Ctrl-C before the job exists still stops it: the request waits in `stopAsked`.
    std::atomic<TransferJob*> running{nullptr};
    std::atomic<bool> stopAsked{false};
    InterruptWatcher interrupts([&] {
      stopAsked = true;
      if (TransferJob* job = running.load()) job->stop();
    });
    TransferJob job(dialog, std::move(parameters));
    running = &job;
    if (stopAsked) job.stop();
    job.wait();
    running = nullptr;
    outcome = job.outcome();
  }
  ui->finishStatus();

  if (!outcome.linkOpened) {
    std::fprintf(stderr, "%s%s\n", utf16ToUtf8(kNoHandheldAt.pick()).c_str(), address.c_str());
    return kExitNoChannel;
  }
  return outcome.filesSent == outcome.filesSelected ? kExitOk : kExitFailed;
}

}  // namespace lexora
