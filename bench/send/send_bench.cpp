// Sends a packed image to lexora-handheld over the local socket service and reports the
// throughput, the mean acknowledgement round trip and the share of time spent waiting
// for acknowledgements.
//
// usage: send_bench IMAGE [--device ADDR]
// Without --device it starts lexora-handheld itself on a Unix socket in a temporary folder.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "base/user_interface.h"
#include "link/send_packed_dictionary.h"
#include "link/socket/socket_service.h"
#include "link/usb_link.h"
#include "pack/packed_image.h"
#include "platform/whole_file.h"

extern char** environ;

namespace lexora {
namespace {

using Clock = std::chrono::steady_clock;

struct Timing {
  Clock::duration inWrites{};
  Clock::duration waitingForAcks{};
  Clock::time_point lastWriteStart{};
  Clock::time_point lastWriteEnd{};
  Clock::duration ackRoundTrips{};  // from the start of a message's last write to its ack
  Clock::time_point lastCallEnd{};
  Clock::duration gaps{};  // from the end of one channel call to the start of the next
  Clock::duration inReads{};
  int64_t writes = 0;
  int64_t acks = 0;
};

// Pass-through service objects; the channel notes when writes end and reads come.
class TimedChannel final : public RefCounted<IChannel> {
 public:
  TimedChannel(IChannel* inner, Timing& timing) : inner_(Ref<IChannel>::adopt(inner)), t_(timing) {}
  HResult Read(uint8_t* buffer, uint32_t capacity, uint32_t* delivered) override {
    // The link reads right after the data-ready signal, so this is when the ack was in hand.
    const auto now = Clock::now();
    const auto r0 = now;
    t_.waitingForAcks += now - t_.lastWriteEnd;
    t_.ackRoundTrips += now - t_.lastWriteStart;
    ++t_.acks;
    const HResult st = inner_->Read(buffer, capacity, delivered);
    t_.lastCallEnd = Clock::now();
    t_.inReads += t_.lastCallEnd - r0;
    return st;
  }
  HResult Write(const uint8_t* data, uint32_t count) override {
    const auto start = Clock::now();
    t_.lastWriteStart = start;
    if (t_.lastCallEnd != Clock::time_point{}) t_.gaps += start - t_.lastCallEnd;
    const HResult status = inner_->Write(data, count);
    t_.lastWriteEnd = Clock::now();
    t_.inWrites += t_.lastWriteEnd - start;
    t_.lastCallEnd = t_.lastWriteEnd;
    ++t_.writes;
    return status;
  }

 private:
  Ref<IChannel> inner_;
  Timing& t_;
};

class TimedDevice final : public RefCounted<IDevice> {
 public:
  TimedDevice(IDevice* inner, Timing& timing) : inner_(Ref<IDevice>::adopt(inner)), t_(timing) {}
  HResult GetProperties(IPropertyCollection** properties) override {
    return inner_->GetProperties(properties);
  }
  HResult OpenChannel(std::u16string_view name, IChannelEvents* sink, IChannel** channel) override {
    IChannel* inner = nullptr;
    const HResult status = inner_->OpenChannel(name, sink, &inner);
    *channel = inner ? new TimedChannel(inner, t_) : nullptr;
    return status;
  }

 private:
  Ref<IDevice> inner_;
  Timing& t_;
};

class TimedDevices final : public RefCounted<IDeviceCollection> {
 public:
  TimedDevices(IDeviceCollection* inner, Timing& timing)
      : inner_(Ref<IDeviceCollection>::adopt(inner)), t_(timing) {}
  HResult GetCount(uint32_t* count) override { return inner_->GetCount(count); }
  HResult GetItem(int32_t index, IDevice** device) override {
    IDevice* inner = nullptr;
    const HResult status = inner_->GetItem(index, &inner);
    *device = inner ? new TimedDevice(inner, t_) : nullptr;
    return status;
  }

 private:
  Ref<IDeviceCollection> inner_;
  Timing& t_;
};

class TimedManager final : public RefCounted<IDeviceManager> {
 public:
  TimedManager(IDeviceManager* inner, Timing& timing)
      : inner_(Ref<IDeviceManager>::adopt(inner)), t_(timing) {}
  HResult GetDevices(IDeviceCollection** devices) override {
    IDeviceCollection* inner = nullptr;
    const HResult status = inner_->GetDevices(&inner);
    *devices = inner ? new TimedDevices(inner, t_) : nullptr;
    return status;
  }
  HResult GetHandheldReason(std::u16string* reason) override {
    return inner_->GetHandheldReason(reason);
  }

 private:
  Ref<IDeviceManager> inner_;
  Timing& t_;
};

class QuietUserInterface : public UserInterface {
 public:
  MessageAnswer showMessage(std::u16string_view, MessageIcon, MessageButtons) override {
    ++failures;
    return MessageAnswer::Ok;
  }
  void setStatus(std::u16string_view) override {}
  std::optional<std::u16string> askPassword(std::u16string_view) override { return std::nullopt; }
  int failures = 0;
};

// lexora-handheld serving on a Unix socket of its own; its store and log in `dir`.
pid_t startHandheld(const std::filesystem::path& dir, std::string& address) {
  const std::string program = LEXORA_BINARY_DIR "/src/handheld/lexora-handheld";
  address = "unix:" + (dir / "h.sock").string();
  const std::string store = (dir / "store").string();
  const std::string log = (dir / "handheld.log").string();
  std::vector<std::string> args = {program, "serve", "--listen", address, "--store", store};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  for (int i = 0; i < 100 && !std::filesystem::exists(dir / "h.sock"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return pid;
}

int run(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: send_bench IMAGE [--device ADDR]\n";
    return 2;
  }
  std::string error;
  auto bytes = readWholeFile(argv[1], error);
  auto dictionary = bytes ? parsePackedImage(*bytes, error) : std::nullopt;
  if (!dictionary) {
    std::cerr << argv[1] << ": " << error << "\n";
    return 1;
  }
  std::string address;
  pid_t handheld = -1;
  const auto dir =
      std::filesystem::temp_directory_path() / ("lexora-send-bench-" + std::to_string(getpid()));
  if (argc >= 4 && std::string(argv[2]) == "--device") {
    address = argv[3];
  } else {
    std::filesystem::create_directories(dir);
    handheld = startHandheld(dir, address);
  }

  Timing timing;
  SocketServiceOptions options;
  options.address = address;
  options.diagnostics = [](const std::string& text) { std::cerr << text << "\n"; };
  ServiceFactory socket = socketServiceFactory(options);
  ServiceFactory timed = [&](IDeviceManager** manager) {
    IDeviceManager* inner = nullptr;
    const HResult status = socket(&inner);
    *manager = inner ? new TimedManager(inner, timing) : nullptr;
    return status;
  };
  QuietUserInterface ui;
  Event stop(Event::Reset::Auto);
  Ref<USBLink> link = USBLink::create(kChannelName, ui, timed);
  int status = 1;
  if (link->Open() != 0) {
    std::cerr << "cannot open the channel at " << address << "\n";
  } else {
    const auto start = Clock::now();
    const bool sent = SendPackedDictionary(*link, *dictionary, stop, ui);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    link->Close();
    const double megabytes = static_cast<double>(bytes->size()) / 1e6;
    const double ackWait = std::chrono::duration<double>(timing.waitingForAcks).count();
    const double inWrites = std::chrono::duration<double>(timing.inWrites).count();
    std::printf("image            %.1f MB, %zu blocks\n", megabytes, dictionary->blocks.size());
    std::printf("result           %s (%d failure messages)\n", sent ? "sent" : "FAILED",
                ui.failures);
    std::printf("time             %.2f s\n", seconds);
    std::printf("throughput       %.2f MB/s\n", megabytes / seconds);
    std::printf("writes           %lld (%.1f us each, %.0f%% of the time)\n",
                static_cast<long long>(timing.writes), inWrites / double(timing.writes) * 1e6,
                100 * inWrites / seconds);
    const double roundTrips = std::chrono::duration<double>(timing.ackRoundTrips).count();
    std::printf(
        "acknowledgements %lld, mean round trip %.1f us (from the start of the "
        "message's last write)\n",
        static_cast<long long>(timing.acks), roundTrips / double(timing.acks) * 1e6);
    std::printf("waiting for acks %.2f s after the last write, %.1f%% of the time\n", ackWait,
                100 * ackWait / seconds);
    const double gaps = std::chrono::duration<double>(timing.gaps).count();
    std::printf("between calls    %.2f s on the PC side, %.1f%% of the time\n", gaps,
                100 * gaps / seconds);
    status = sent ? 0 : 1;
  }
  link.reset();
  if (handheld > 0) {
    kill(handheld, SIGTERM);
    waitpid(handheld, nullptr, 0);
    std::filesystem::remove_all(dir);
  }
  return status;
}

}  // namespace
}  // namespace lexora

int main(int argc, char** argv) {
  return lexora::run(argc, argv);
}
