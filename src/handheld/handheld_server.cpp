#include "handheld/handheld_server.h"

#include <openssl/crypto.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "handheld/conversation.h"
#include "link/connectivity_service.h"
#include "link/password_answer.h"
#include "link/socket/device_protocol.h"
#include "link/socket/frame_socket.h"
#include "link/socket/socket_connect.h"
#include "platform/bytes.h"
#include "platform/text_codec.h"

namespace lexora::handheld {
namespace {

namespace dp = device_protocol;

constexpr std::chrono::milliseconds kGreetingWait{10000};

int gSignalPipe[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(gSignalPipe[1], &byte, 1);
}

std::mutex gLogMutex;
void log(const std::string& text) {
  std::lock_guard lock(gLogMutex);
  std::cerr << "lexora-handheld: " << text << std::endl;
}

std::span<const uint8_t> textBytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

class Session {
 public:
  Session(const ServeOptions& options, const FaultPlan& faults, std::atomic<int32_t>& attempts,
          std::shared_ptr<dp::FrameSocket> socket, int number)
      : options_(options),
        faults_(faults),
        attempts_(attempts),
        socket_(std::move(socket)),
        prefix_("connection " + std::to_string(number) + ": "),
        store_(options.store),
        conversation_(store_, [this](const std::string& text) { log(prefix_ + text); }) {}

  void run() {
    if (!greet()) return;
    dp::FrameError error;
    for (;;) {
      dp::Frame frame;
      if (!socket_->read(frame, error)) {
        if (error.kind == dp::FrameError::Kind::Malformed) {
          fail(error.detail);
        } else if (error.kind != dp::FrameError::Kind::Closed) {
          log(prefix_ + error.detail);
        }
        break;
      }
      if (frame.type == dp::kClose) break;
      if (frame.type == dp::kError) {
        log(prefix_ + "the PC reported: " + dp::payloadText(frame.payload));
        break;
      }
      if (frame.type == dp::kOpenChannel && !open_) {
        if (!openChannel(frame.payload)) break;
        continue;
      }
      if (frame.type == dp::kWrite && open_) {
        if (!takeWrite(frame.payload)) break;
        continue;
      }
      fail("malformed frame: type " + std::to_string(frame.type) + " out of place");
      break;
    }
    conversation_.abandon();
  }

 private:
  bool greet() {
    dp::Frame frame;
    dp::FrameError error;
    if (!socket_->read(frame, error, kGreetingWait)) {
      if (error.kind == dp::FrameError::Kind::Malformed) {
        fail(error.detail);
      } else {
        log(prefix_ + error.detail);
      }
      return false;
    }
    if (frame.type != dp::kHello || frame.payload.size() != 5 ||
        std::memcmp(frame.payload.data(), dp::kMagic, 4) != 0) {
      fail("malformed frame: expected the greeting");
      return false;
    }
    if (frame.payload[4] != dp::kVersion) {
      fail("unsupported protocol version " + std::to_string(frame.payload[4]));
      return false;
    }
    std::vector<dp::DeviceDescription> devices;
    const std::u16string pinName(kPinPropertyName);
    if (!faults_.noDevice) {
      devices.push_back(
          {{{u"Name", Variant::fromString(u"Lexora handheld")}, {pinName, options_.pin}}});
      if (faults_.twoDevices) {
        devices.push_back({{{u"Name", Variant::fromString(u"Second handheld")},
                            {pinName, Variant::fromInt32(1)}}});
      }
    }
    return send(dp::kDevices, dp::encodeDevices(devices));
  }

  bool openChannel(const std::vector<uint8_t>& payload) {
    if (payload.empty()) {
      fail("malformed frame: channel request without a device");
      return false;
    }
    const size_t device = payload[0];
    const std::string name(payload.begin() + 1, payload.end());
    const size_t deviceCount = faults_.noDevice ? 0 : faults_.twoDevices ? 2 : 1;
    if (device >= deviceCount) return refuse("no device " + std::to_string(device));
    if (device != 0) return refuse("nothing listens on channel \"" + name + "\" on that device");
    if (name != utf16ToUtf8(kChannelName))
      return refuse("nothing listens on channel \"" + name + "\"");
    if (options_.password && !checkPassword()) return false;
    log(prefix_ + "channel \"" + name + "\" open");
    open_ = true;
    return send(dp::kChannelOpened, {}) && send(dp::kQuery, {});
  }

  // False when the channel was refused or the connection failed.
  bool checkPassword() {
    const auto expected = passwordDigest(utf8ToUtf16(*options_.password));
    for (;;) {
      const int32_t remaining = attempts_.load();
      if (remaining <= 0) return refuse("no password attempts left");
      std::vector<uint8_t> challenge;
      appendBigEndian32(challenge, static_cast<uint32_t>(remaining));
      if (!send(dp::kPasswordChallenge, challenge)) return false;
      dp::Frame frame;
      dp::FrameError error;
      if (!socket_->read(frame, error)) {
        log(prefix_ + "waiting for the password: " + error.detail);
        return false;
      }
      if (frame.type != dp::kPasswordAnswer || frame.payload.size() != 21) {
        fail("malformed frame: expected the password answer");
        return false;
      }
      if (frame.payload[0] == 0) return refuse("the password was not given");
      if (expected && CRYPTO_memcmp(frame.payload.data() + 1, expected->data(), 20) == 0) {
        return true;
      }
      const int32_t left = --attempts_;
      log(prefix_ + "wrong password, " + std::to_string(left) + " attempts left");
      if (left <= 0) return refuse("wrong password; no attempts left");
    }
  }

  bool takeWrite(const std::vector<uint8_t>& bytes) {
    ++writes_;
    const bool refused = faults_.refusesWrite(writes_);
    const uint8_t result[1] = {static_cast<uint8_t>(refused ? 1 : 0)};
    if (!send(dp::kWriteResult, result)) return false;
    if (refused) return true;
    std::vector<TransferMessage> messages;
    reader_.feed(bytes, messages);
    for (const TransferMessage& message : messages) {
      ++messages_;
      if (faults_.closeAfter > 0 && messages_ >= faults_.closeAfter) {
        log(prefix_ + "closing the channel after " + std::to_string(messages_) + " messages");
        conversation_.abandon();
        send(dp::kClose, {});
        return false;
      }
      if (auto ack = conversation_.handle(message)) {
        if (!acknowledge(*ack)) return false;
      }
    }
    return true;
  }

  bool acknowledge(const Acknowledgement& ack) {
    ++acks_;
    std::vector<uint8_t> bytes;
    // A reason is never near a message's size; cut rather than send nothing.
    appendMessage(bytes, ack.type,
                  textBytes(ack.text).first(std::min(ack.text.size(), kMaxMessagePayload)));
    if (!faults_.spoilAcknowledgement(acks_, bytes)) return true;
    if (faults_.ackDelayMs > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(faults_.ackDelayMs));
    }
    return send(dp::kMessage, bytes);
  }

  bool refuse(const std::string& reason) {
    log(prefix_ + "refused the channel: " + reason);
    send(dp::kChannelRefused, textBytes(reason));
    return false;
  }

  void fail(const std::string& reason) {
    log(prefix_ + reason);
    dp::FrameError ignored;
    socket_->write(dp::kError, textBytes(reason), ignored);
  }

  bool send(uint8_t type, std::span<const uint8_t> payload) {
    dp::FrameError error;
    if (socket_->write(type, payload, error)) return true;
    log(prefix_ + error.detail);
    return false;
  }

  const ServeOptions& options_;
  const FaultPlan& faults_;
  std::atomic<int32_t>& attempts_;
  std::shared_ptr<dp::FrameSocket> socket_;
  const std::string prefix_;
  DictionaryStore store_;
  Conversation conversation_;
  MessageReader reader_;
  bool open_ = false;
  int64_t writes_ = 0;
  int64_t messages_ = 0;
  int64_t acks_ = 0;
};

struct Worker {
  std::shared_ptr<dp::FrameSocket> socket;
  std::shared_ptr<std::atomic<bool>> finished;
  std::thread thread;
};

}  // namespace

int serve(const ServeOptions& options, const FaultPlan& faults) {
  DeviceAddress bound;
  std::string error;
  UniqueFd listener = listenForService(options.listen, bound, error);
  if (!listener) {
    log(error);
    return 1;
  }
  if (pipe(gSignalPipe) != 0) {
    log(std::string("pipe: ") + std::strerror(errno));
    return 1;
  }
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::cout << "listening on " << bound.text() << std::endl;
  log("store " + options.store.string());

  std::atomic<int32_t> attempts{options.attempts};
  std::list<Worker> workers;
  int connections = 0;
  for (;;) {
    pollfd fds[2] = {{listener.get(), POLLIN, 0}, {gSignalPipe[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      log(std::string("poll: ") + std::strerror(errno));
      break;
    }
    if (fds[1].revents) break;
    if (!(fds[0].revents & POLLIN)) continue;
    UniqueFd client(accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!client) continue;
    workers.remove_if([](Worker& w) {
      if (!w.finished->load()) return false;
      w.thread.join();
      return true;
    });
    auto socket = std::make_shared<dp::FrameSocket>(std::move(client), dp::Side::Pc);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    const int number = ++connections;
    std::thread thread([&options, &faults, &attempts, socket, finished, number] {
      Session(options, faults, attempts, socket, number).run();
      socket->shutdown();
      finished->store(true);
    });
    workers.push_back({socket, finished, std::move(thread)});
  }

  for (Worker& w : workers) w.socket->shutdown();
  for (Worker& w : workers) w.thread.join();
  if (bound.kind == DeviceAddress::Kind::Unix) unlink(bound.path.c_str());
  log("stopped");
  return 0;
}

}  // namespace lexora::handheld
