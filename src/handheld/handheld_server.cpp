#include "handheld/handheld_server.h"

#include <openssl/crypto.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <list>
#include <memory>
#include <system_error>
#include <thread>

#include "base/bytes.h"
#include "base/mutex.h"
#include "base/text_codec.h"
#include "handheld/conversation.h"
#include "handheld/gathering.h"
#include "handheld/log_text.h"
#include "handheld/memory_budget.h"
#include "link/connectivity_service.h"
#include "link/password_answer.h"
#include "link/socket/device_protocol.h"
#include "link/socket/frame_encoder.h"
#include "link/socket/frame_socket.h"
#include "link/socket/socket_connect.h"

namespace lexora::handheld {
namespace {

namespace dp = device_protocol;

int gSignalPipe[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(gSignalPipe[1], &byte, 1);
}

Mutex gLogMutex;  // one line at a time on standard error
// Every line is made printable here, whatever names from the PC it quotes.
void log(const std::string& text) {
  const std::string line = printableText(text, 2000);
  MutexLock lock(gLogMutex);
  std::cerr << "lexora-handheld: " << line << std::endl;
}

// A reason for the PC, printable and well inside the 4,096 bytes a reason frame may hold.
std::string wireReason(const std::string& reason) {
  return printableText(reason, 1000);
}

std::span<const uint8_t> textBytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// Set once the emulator is asked to stop; waits that a session makes on purpose (the
// acknowledgement delay) end at once then, so that stopping is prompt.
class StopFlag {
 public:
  void set() {
    MutexLock lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }
  // Waits `duration`; false when the emulator was asked to stop meanwhile.
  bool sleep(std::chrono::milliseconds duration) {
    MutexLock lock(mutex_);
    return !changed_.wait_for(mutex_, duration, [this]() REQUIRES(mutex_) { return stopped_; });
  }

 private:
  Mutex mutex_;
  std::condition_variable_any changed_;
  bool stopped_ GUARDED_BY(mutex_) = false;
};

// What every session shares with the others and with the listening loop.
struct Shared {
  const ServeOptions& options;
  const FaultPlan& faults;
  std::atomic<int32_t> attempts;
  MemoryBudget memory;
  StopFlag stop;
  Gathering endFlags;  // where the fault plan holds end flags
};

class Session {
 public:
  Session(Shared& shared, std::shared_ptr<dp::FrameSocket> socket, int number)
      : shared_(shared),
        options_(shared.options),
        faults_(shared.faults),
        attempts_(shared.attempts),
        socket_(std::move(socket)),
        prefix_("connection " + std::to_string(number) + ": "),
        store_(options_.store, faults_.predictableTempNames
                                   ? DictionaryStore::TempNames::Predictable
                                   : DictionaryStore::TempNames::Random),
        conversation_(
            store_, [this](const std::string& text) { note(text); }, 1ull << 30, &shared.memory) {}

  void run() {
    if (!greet()) return;
    dp::FrameError error;
    for (;;) {
      dp::Frame frame;
      if (!readFrame(frame, error, options_.idleTimeout)) {
        if (error.kind == dp::FrameError::Kind::Malformed) {
          fail(error.detail);
        } else if (error.kind == dp::FrameError::Kind::TimedOut) {
          note("closed: nothing came within the idle time-out");
        } else if (error.kind != dp::FrameError::Kind::Closed) {
          note(error.detail);
        }
        break;
      }
      if (frame.type == dp::kClose) break;
      if (frame.type == dp::kError) {
        note("the PC reported: " + dp::payloadText(frame.payload));
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
    flush();
    conversation_.abandon();
    reportUnlogged();
  }

 private:
  // A connection can make the emulator log as fast as it sends (unknown messages, refused
  // blocks): beyond a burst, it gets a few lines a second, and what was left out is counted.
  void note(const std::string& text) {
    using namespace std::chrono;
    const steady_clock::time_point now = steady_clock::now();
    logTokens_ =
        std::min(kLogBurst, logTokens_ + duration<double>(now - lastNote_).count() * kLogPerSecond);
    lastNote_ = now;
    if (logTokens_ < 1) {
      ++unlogged_;
      return;
    }
    logTokens_ -= 1;
    reportUnlogged();
    log(prefix_ + text);
  }
  void reportUnlogged() {
    if (unlogged_ == 0) return;
    log(prefix_ + std::to_string(unlogged_) + " lines were not logged");
    unlogged_ = 0;
  }

  bool greet() {
    dp::Frame frame;
    dp::FrameError error;
    // The greeting has the same time as every frame after it: a client that connects and
    // then trickles or says nothing holds a connection no longer than an idle one.
    if (!socket_->read(frame, error, options_.idleTimeout)) {
      if (error.kind == dp::FrameError::Kind::Malformed) {
        fail(error.detail);
      } else if (error.kind == dp::FrameError::Kind::TimedOut) {
        note("closed: no greeting within the idle time-out");
      } else {
        note(error.detail);
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
    note("channel \"" + name + "\" open");
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
      if (!readFrame(frame, error, options_.idleTimeout)) {
        note("waiting for the password: " + error.detail);
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
      note("wrong password, " + std::to_string(left) + " attempts left");
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
    for (TransferMessage& message : messages) {
      ++messages_;
      if (faults_.closeAfter > 0 && messages_ >= faults_.closeAfter) {
        note("closing the channel after " + std::to_string(messages_) + " messages");
        conversation_.abandon();
        send(dp::kClose, {});
        return false;
      }
      if (message.type == MessageType::End && faults_.gatherEndFlags > 1 && !gatherEndFlag()) {
        return false;
      }
      if (auto ack = conversation_.handle(std::move(message))) {
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
    if (faults_.ackDelayMs > 0 &&
        (!flush() || !shared_.stop.sleep(std::chrono::milliseconds(faults_.ackDelayMs)))) {
      return false;
    }
    return send(dp::kMessage, bytes);
  }

  // Holds the end flag until the fault plan's number of connections hold one. False when
  // the connection failed or the emulator is stopping.
  bool gatherEndFlag() {
    // Never for ever: a sender that gave up leaves a group short.
    constexpr std::chrono::milliseconds kGatherLimit{10000};
    if (!flush()) return false;
    note("holding the end flag until " + std::to_string(faults_.gatherEndFlags) +
         " connections hold one");
    return shared_.endFlags.meet(kGatherLimit);
  }

  bool refuse(const std::string& reason) {
    note("refused the channel: " + reason);
    send(dp::kChannelRefused, textBytes(wireReason(reason)));
    return false;
  }

  void fail(const std::string& reason) {
    note(reason);
    dp::FrameError ignored;
    socket_->write(dp::kError, textBytes(wireReason(reason)), ignored);
  }

  // Frames go out together when the session next has to wait for the PC (or ends): the
  // results of a run of writes and the acknowledgement they complete take one send, and
  // the PC's reader wakes once for them.
  bool send(uint8_t type, std::span<const uint8_t> payload) {
    socket_->queue(type, payload);
    queued_ = true;
    // The PC goes on writing without waiting for acceptances; anything else it may be
    // waiting for.
    urgent_ = urgent_ || type != dp::kWriteResult || payload.empty() || payload[0] != 0;
    return true;
  }
  bool flush() {
    queued_ = urgent_ = false;
    dp::FrameError error;
    if (socket_->flush(error)) return true;
    note(error.detail);
    return false;
  }
  bool readFrame(dp::Frame& frame, dp::FrameError& error, std::chrono::milliseconds timeout) {
    // Only a PC that confirms each write (its first, and all after a refusal) waits for an
    // acceptance: it gets it after this pause, while a PC that goes on writing has its next
    // write here first and wakes for the acknowledgement alone.
    constexpr std::chrono::milliseconds kAcceptancePause{1};
    if (queued_ && socket_->readWouldWait() &&
        (urgent_ || !socket_->awaitReadable(kAcceptancePause)) && !flush()) {
      error = {dp::FrameError::Kind::Closed, "sending failed"};
      return false;
    }
    return socket_->read(frame, error, timeout);
  }

  Shared& shared_;
  const ServeOptions& options_;
  const FaultPlan& faults_;
  std::atomic<int32_t>& attempts_;
  std::shared_ptr<dp::FrameSocket> socket_;
  const std::string prefix_;
  DictionaryStore store_;
  Conversation conversation_;
  MessageReader reader_;
  bool open_ = false;
  bool queued_ = false;  // frames wait in the socket's queue
  bool urgent_ = false;  // ... and one of them is more than an acceptance
  int64_t writes_ = 0;
  int64_t messages_ = 0;
  int64_t acks_ = 0;
  static constexpr double kLogBurst = 50;
  static constexpr double kLogPerSecond = 5;
  double logTokens_ = kLogBurst;
  std::chrono::steady_clock::time_point lastNote_ = std::chrono::steady_clock::now();
  int64_t unlogged_ = 0;
};

struct Worker {
  std::shared_ptr<dp::FrameSocket> socket;
  std::shared_ptr<std::atomic<bool>> finished;
  std::thread thread;
};

// Refuses a connection the emulator cannot serve: an Error frame saying why, then the end.
// Never waits: a client that does not read simply misses the reason.
void turnAway(int client, const std::string& reason) {
  std::vector<uint8_t> frame;
  dp::appendFrame(frame, dp::kError, textBytes(reason));
  [[maybe_unused]] ssize_t n =
      send(client, frame.data(), frame.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
  ::shutdown(client, SHUT_WR);
}

// Out of descriptors or memory: accepting again at once would only fail again.
bool isExhaustion(int error) {
  return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

// Removes the socket file however serving ends.
struct SocketFileGuard {
  std::string path;
  ~SocketFileGuard() {
    if (!path.empty()) unlink(path.c_str());
  }
};

// SIGINT and SIGTERM wake the accept loop through gSignalPipe. False (logged) when the pipe
// cannot be made.
bool watchStopSignals() {
  if (pipe(gSignalPipe) != 0) {
    log(std::string("pipe: ") + std::strerror(errno));
    return false;
  }
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return true;
}

// Takes connections until a stop signal, serving each on a thread of its own, and gives
// finished sessions' threads and descriptors back as it goes.
class AcceptLoop {
 public:
  AcceptLoop(int listener, Shared& shared) : listener_(listener), shared_(shared) {}
  AcceptLoop(const AcceptLoop&) = delete;
  AcceptLoop& operator=(const AcceptLoop&) = delete;
  // Stops the sessions still running and waits for them.
  ~AcceptLoop() {
    shared_.stop.set();
    shared_.endFlags.end();
    for (Worker& w : workers_) w.socket->shutdown();
    for (Worker& w : workers_) w.thread.join();
  }

  void run() {
    for (;;) {
      reap();
      const Wake wake = await();
      if (wake == Wake::Stop) return;
      if (wake == Wake::Connection) acceptOne();
    }
  }

 private:
  using Clock = std::chrono::steady_clock;
  enum class Wake { Connection, Nothing, Stop };

  // Joins the threads of finished sessions.
  void reap() {
    workers_.remove_if([](Worker& w) {
      if (!w.finished->load()) return false;
      w.thread.join();
      return true;
    });
  }

  // Waits for a connection (unless resting after exhaustion), a stop signal, or the time
  // to reap again.
  Wake await() {
    // Finished sessions give their descriptors back within this time, whether or not
    // anyone connects meanwhile.
    constexpr std::chrono::milliseconds kReapEvery{200};
    const Clock::time_point now = Clock::now();
    const bool resting = now < resumeAt_;
    std::chrono::milliseconds wait{-1};
    if (resting) wait = std::chrono::ceil<std::chrono::milliseconds>(resumeAt_ - now);
    if (!workers_.empty()) wait = wait.count() < 0 ? kReapEvery : std::min(wait, kReapEvery);
    pollfd fds[2] = {{listener_, static_cast<short>(resting ? 0 : POLLIN), 0},
                     {gSignalPipe[0], POLLIN, 0}};
    if (poll(fds, 2, static_cast<int>(wait.count())) < 0) {
      if (errno == EINTR) return Wake::Nothing;
      log(std::string("poll: ") + std::strerror(errno));
      return Wake::Stop;
    }
    if (fds[1].revents) return Wake::Stop;
    return !resting && (fds[0].revents & POLLIN) ? Wake::Connection : Wake::Nothing;
  }

  void acceptOne() {
    UniqueFd client(accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC));
    if (!client) {
      if (const int error = errno; isExhaustion(error)) rest(error);
      return;
    }
    backOff_ = std::chrono::milliseconds(0);
    const int number = ++connections_;
    reap();
    if (workers_.size() >= shared_.options.maxConnections) {
      log("connection " + std::to_string(number) + ": refused, " + std::to_string(workers_.size()) +
          " connections are being served");
      turnAway(client.get(), "the handheld serves at most " +
                                 std::to_string(shared_.options.maxConnections) +
                                 " connections at once; try again later");
      return;
    }
    startSession(std::move(client), number);
  }

  // Backs off (up to a second) until finished sessions have given resources back.
  void rest(int error) {
    if (backOff_.count() == 0) log(std::string("accept: ") + std::strerror(error));
    backOff_ =
        std::clamp(backOff_ * 2, std::chrono::milliseconds(25), std::chrono::milliseconds(1000));
    resumeAt_ = Clock::now() + backOff_;
  }

  void startSession(UniqueFd client, int number) {
    const int fd = client.get();
    auto socket = std::make_shared<dp::FrameSocket>(std::move(client), dp::Side::Pc);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    try {
      std::thread thread([&shared = shared_, socket, finished, number] {
        Session(shared, socket, number).run();
        socket->shutdown();
        finished->store(true);
      });
      workers_.push_back({socket, finished, std::move(thread)});
    } catch (const std::system_error& e) {
      // No thread to serve it: tell the PC and go on serving the others.
      log("connection " + std::to_string(number) + ": cannot start its thread: " + e.what());
      turnAway(fd, "the handheld cannot serve another connection now");
    }
  }

  const int listener_;
  Shared& shared_;
  std::list<Worker> workers_;
  std::chrono::milliseconds backOff_{0};
  Clock::time_point resumeAt_{};
  int connections_ = 0;
};

// Listens where the options say, with the stop signals watched, and tells where on
// standard output. Nothing (logged) when either fails; `socketFile` then already names a
// socket file made.
UniqueFd startListening(const ServeOptions& options, SocketFileGuard& socketFile) {
  DeviceAddress bound;
  std::string error;
  UniqueFd listener = listenForService(options.listen, bound, error);
  if (!listener) {
    log(error);
    return {};
  }
  if (bound.kind == DeviceAddress::Kind::Unix) socketFile.path = bound.path;
  if (!watchStopSignals()) return {};
  std::cout << "listening on " << bound.text() << std::endl;
  return listener;
}

}  // namespace

int serve(const ServeOptions& options, const FaultPlan& faults) {
  SocketFileGuard socketFile;
  const UniqueFd listener = startListening(options, socketFile);
  if (!listener) return 1;
  log("store " + options.store.string());

  Shared shared{options,
                faults,
                {options.attempts},
                MemoryBudget(options.maxMemoryBytes),
                {},
                Gathering(faults.gatherEndFlags)};
  AcceptLoop(listener.get(), shared).run();
  log("stopped");
  return 0;
}

}  // namespace lexora::handheld
