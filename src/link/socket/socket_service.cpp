#include "link/socket/socket_service.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "link/socket/device_protocol.h"
#include "link/socket/frame_socket.h"
#include "link/socket/socket_connect.h"
#include "pack/transfer_message.h"
#include "platform/bytes.h"
#include "platform/text_codec.h"

namespace lexora {
namespace {

namespace dp = device_protocol;

constexpr size_t kMaxUnreadMessages = 1024;
// Writes handed over without their result, beyond which a write waits. The link reads an
// acknowledgement every few writes; this only bounds a handheld that stops answering.
constexpr size_t kMaxUnconfirmedWrites = 256;
// Bytes of writes kept for one send at most: a whole record message and its key.
constexpr size_t kMaxHeldBytes = 0x20000;
// How long the write that completes a message waits for the handheld's answer itself before
// it leaves it to the reader thread (the emulator answers a block within a millisecond).
constexpr std::chrono::milliseconds kAnswerWait{100};
// A caller that took frames from the socket is expected back within this time; the reader
// thread leaves the socket to it meanwhile.
constexpr std::chrono::milliseconds kCallerLease{20};
// A caller reads in slices of this time, so that it can keep to its own deadline.
constexpr std::chrono::milliseconds kCallerReadSlice{10};

// One connection to the handheld: the device list it announced and, once opened, its
// channel. Shared by the collection, device and channel objects made from it.
class Connection {
 public:
  Connection(UniqueFd fd, std::shared_ptr<const SocketServiceOptions> options)
      : socket_(std::move(fd), dp::Side::Device), options_(std::move(options)) {}
  ~Connection() { endChannel(); }

  bool greet() {
    std::vector<uint8_t> hello(std::begin(dp::kMagic), std::end(dp::kMagic));
    hello.push_back(dp::kVersion);
    dp::FrameError error;
    dp::Frame frame;
    if (!socket_.write(dp::kHello, hello, error) ||
        !socket_.read(frame, error, options_->replyWait)) {
      report("greeting the handheld: " + error.detail);
      return false;
    }
    if (frame.type == dp::kError) {
      report("the handheld reported: " + dp::payloadText(frame.payload));
      return false;
    }
    if (frame.type != dp::kDevices) {
      fail("malformed frame: expected the device list");
      return false;
    }
    std::string malformed;
    auto devices = dp::decodeDevices(frame.payload, malformed);
    if (!devices) {
      fail(malformed);
      return false;
    }
    devices_ = std::move(*devices);
    return true;
  }

  const std::vector<dp::DeviceDescription>& devices() const { return devices_; }

  HResult openChannel(int32_t index, std::u16string_view name, IChannelEvents* sink) {
    {
      std::lock_guard lock(mutex_);
      if (state_ != State::None) return kEFail;
      state_ = State::Opening;
    }
    std::vector<uint8_t> payload{static_cast<uint8_t>(index)};
    const std::string utf8 = utf16ToUtf8(name);
    payload.insert(payload.end(), utf8.begin(), utf8.end());
    dp::FrameError error;
    if (payload.size() > 1 + 4096 || !socket_.write(dp::kOpenChannel, payload, error)) {
      report("opening the channel: " + (error.detail.empty() ? "name too long" : error.detail));
      std::lock_guard lock(mutex_);
      state_ = State::Ended;
      return kEFail;
    }
    reader_ = std::thread(&Connection::runReader, this, Ref<IChannelEvents>::retain(sink));

    std::unique_lock lock(mutex_);
    // The user may take any time over the password; only the handheld's silence counts.
    while (
        !changed_.wait_for(lock, options_->replyWait, [&] { return state_ != State::Opening; })) {
      if (!inChallenge_) break;
    }
    // A channel that opened and ended at once still opened: its end is reported through
    // the sink like any other.
    if (wasOpened_) return kSOk;
    const bool timedOut = state_ == State::Opening;
    lock.unlock();
    if (timedOut) report("opening the channel: no answer in time");
    endChannel();
    return kEFail;
  }

  // Completes once the bytes are handed over, as a USB stack accepts a transfer; a refusal
  // by the handheld fails the next write or read. Until the handheld has accepted a write,
  // and once it has refused one, each write is sent at once and waits for its own result
  // instead, so that the link's halving meets every refusal at the write that caused it.
  //
  // Otherwise the writes of a message wait in the socket's queue until a message that the
  // handheld answers is complete: a block's key and record then travel in one send, and
  // the handheld wakes once per block rather than once per write.
  HResult write(const uint8_t* data, uint32_t count) {
    if (count > *dp::maxPayload(dp::kWrite, dp::Side::Pc)) return kEInvalidArg;
    if (!data && count > 0) return kEPointer;
    std::lock_guard writing(writeMutex_);
    std::unique_lock lock(mutex_);
    if (state_ != State::Open || takeRefusal()) return kEFail;
    const bool confirm = !accepted_ || refused_;
    if (!awaitResults(lock, confirm ? 0 : kMaxUnconfirmedWrites - 1) || takeRefusal()) {
      return kEFail;
    }
    ++unconfirmed_;
    lock.unlock();
    bool answered = false;
    boundaries_.feed({data, count}, [&](MessageType type) { answered |= isAnswered(type); });
    if (!confirm && !answered) {
      if (socket_.queue(dp::kWrite, {data, count}) < kMaxHeldBytes || sendHeld()) return kSOk;
      return kEFail;
    }
    dp::FrameError error;
    if (!socket_.write(dp::kWrite, {data, count}, error)) {
      report("writing: " + error.detail);
      socket_.shutdown();
      return kEFail;
    }
    lock.lock();
    if (confirm) return awaitResults(lock, 0) && !takeRefusal() ? kSOk : kEFail;
    // The link will wait for the answer next. Taken here, it wakes this thread straight
    // from the socket instead of waking the reader thread, which would then wake this one.
    const bool answer = awaitFrames(
        lock, [&] { return !messages_.empty() || refusals_ > 0; }, Clock::now() + kAnswerWait);
    // A slow answer is left to the reader thread, at once.
    if (!answer) {
      leaseUntil_ = {};
      turn_.notify_one();
    }
    return kSOk;
  }

  HResult read(uint8_t* buffer, uint32_t capacity, uint32_t* delivered) {
    if (!buffer || !delivered) return kEPointer;
    // Whatever a caller reads, the writes before it must have reached the handheld.
    if (!sendHeld()) return kEFail;
    std::unique_lock lock(mutex_);
    if (takeRefusal()) return kEFail;
    // The link reads after a data-ready call. One made for a refusal that a write has
    // reported since finds the message it waits for still to come.
    awaitFrames(
        lock, [&] { return !messages_.empty() || refusals_ > 0; },
        Clock::now() + options_->replyWait);
    if (takeRefusal() || messages_.empty()) return kEFail;
    std::vector<uint8_t> message = std::move(messages_.front());
    messages_.pop_front();
    if (message.size() > capacity) return kEFail;
    if (!message.empty()) std::memcpy(buffer, message.data(), message.size());
    *delivered = static_cast<uint32_t>(message.size());
    return kSOk;
  }

  // Closes the channel (if any) and waits for the reader to finish reporting it.
  void endChannel() {
    {
      std::lock_guard lock(mutex_);
      closingByPc_ = true;
    }
    turn_.notify_one();
    dp::FrameError ignored;
    bool open;
    {
      std::lock_guard lock(mutex_);
      open = state_ == State::Open;
    }
    if (open) socket_.write(dp::kClose, {}, ignored);
    socket_.shutdown();
    if (reader_.joinable()) {
      // The last reference can be dropped by the sink's release on the reader itself.
      if (reader_.get_id() == std::this_thread::get_id()) {
        reader_.detach();
      } else {
        reader_.join();
      }
    }
  }

 private:
  enum class State { None, Opening, Open, Ended };
  enum class Reader { Nobody, Thread, Caller };
  using Clock = std::chrono::steady_clock;
  // Why the connection ended, for the log (and for the handheld when it broke the protocol).
  struct End {
    std::string reason;
    bool protocolError = false;
  };

  // A key is answered together with the record that follows it; the handheld answers every
  // other message (one it does not know with a refusal).
  static bool isAnswered(MessageType type) { return type != MessageType::Key; }

  // Sends the writes waiting in the socket's queue. False when the connection failed.
  bool sendHeld() {
    dp::FrameError error;
    if (socket_.flush(error)) return true;
    report("writing: " + error.detail);
    socket_.shutdown();
    return false;
  }

  // Reports one refused write, if the handheld refused one since the last report. Under
  // mutex_.
  bool takeRefusal() {
    if (refusals_ == 0) return false;
    --refusals_;
    return true;
  }

  // Waits until at most `limit` writes await their result. False when the channel ended
  // first or the handheld stayed silent (which ends the connection).
  bool awaitResults(std::unique_lock<std::mutex>& lock, size_t limit) {
    if (unconfirmed_ <= limit) return true;
    // Results come only for writes the handheld has. Not sent under mutex_, which the
    // reader needs to take the results that may be filling the other direction.
    lock.unlock();
    const bool sent = sendHeld();
    lock.lock();
    if (!sent) return false;
    writerWaits_ = true;
    awaitFrames(
        lock, [&] { return unconfirmed_ <= limit; }, Clock::now() + options_->replyWait);
    writerWaits_ = false;
    if (unconfirmed_ <= limit) return true;
    if (state_ == State::Open) {
      lock.unlock();
      // A late result would be taken for a later write's: the connection cannot go on.
      fail("the handheld did not confirm a write in time");
      lock.lock();
    }
    return false;
  }

  static void runReader(Connection* connection, Ref<IChannelEvents> sink) {
    connection->readLoop(sink.get());
    // Nothing of the connection is touched after this: releasing the sink may destroy it.
    sink.reset();
  }

  // Waits until the socket is the reader thread's to read: while a caller takes the frames
  // and for a while after, since a caller that waited once will soon wait again. False with
  // `end` when a caller met the end of the connection and left it to the thread to report.
  bool awaitTurn(End& end) {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (pendingEnd_) {
        end = std::move(*pendingEnd_);
        pendingEnd_.reset();
        return false;
      }
      if (reading_ == Reader::Nobody &&
          (state_ != State::Open || closingByPc_ || Clock::now() >= leaseUntil_)) {
        break;
      }
      if (reading_ == Reader::Caller) {
        turn_.wait(lock);
      } else {
        turn_.wait_until(lock, leaseUntil_);
      }
    }
    reading_ = Reader::Thread;
    return true;
  }

  // The reader thread is done with a frame: a caller that waited meanwhile takes over.
  void handBack() {
    {
      std::lock_guard lock(mutex_);
      reading_ = Reader::Nobody;
      if (callerWaits_) leaseUntil_ = Clock::now() + kCallerLease;
      callerWaits_ = false;
    }
    changed_.notify_all();
  }

  // Waits until `done` holds or `deadline` passes; true when it holds. While no other thread
  // reads the socket, this one takes the frames itself. Under mutex_.
  template <class Done>
  bool awaitFrames(std::unique_lock<std::mutex>& lock, Done done, Clock::time_point deadline) {
    for (;;) {
      if (done()) return true;
      if (state_ != State::Open) return false;
      if (reading_ == Reader::Nobody && !pendingEnd_ && !closingByPc_) {
        reading_ = Reader::Caller;
        Ref<IChannelEvents> sink = Ref<IChannelEvents>::retain(sink_);
        lock.unlock();
        takeFramesAsCaller(sink.get());
        sink.reset();
        lock.lock();
        reading_ = Reader::Nobody;
        leaseUntil_ = Clock::now() + kCallerLease;
        if (pendingEnd_) turn_.notify_one();
        changed_.notify_all();
      } else {
        callerWaits_ = true;
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) return done();
      }
      if (Clock::now() >= deadline) return done();
    }
  }

  // A caller's turn at the socket: the next frame (if one comes within a slice of time) and
  // any others already buffered. An end of the connection is left to the reader thread.
  void takeFramesAsCaller(IChannelEvents* sink) {
    do {
      dp::Frame frame;
      dp::FrameError error;
      End end;
      if (!socket_.read(frame, error, kCallerReadSlice)) {
        if (error.kind == dp::FrameError::Kind::TimedOut) return;
        end = {std::move(error.detail), error.kind == dp::FrameError::Kind::Malformed};
      } else if (takeOpenFrame(frame, sink, end)) {
        continue;
      }
      std::lock_guard lock(mutex_);
      pendingEnd_ = std::move(end);
      return;
    } while (!socket_.readWouldWait());
  }

  void readLoop(IChannelEvents* sink) {
    {
      std::lock_guard lock(mutex_);
      sink_ = sink;
    }
    End end;
    bool opened = false;
    for (;;) {
      if (!awaitTurn(end)) break;
      dp::Frame frame;
      dp::FrameError error;
      if (!socket_.read(frame, error)) {
        end = {std::move(error.detail), error.kind == dp::FrameError::Kind::Malformed};
        break;
      }
      State state;
      {
        std::lock_guard lock(mutex_);
        state = state_;
      }
      if (state == State::Opening ? !takeOpeningFrame(frame, sink, end, opened)
                                  : !takeOpenFrame(frame, sink, end)) {
        break;
      }
      handBack();
    }

    bool quiet;
    {
      std::lock_guard lock(mutex_);
      quiet = closingByPc_;
      sink_ = nullptr;
    }
    if (end.protocolError) {
      dp::FrameError ignored;
      socket_.write(dp::kError,
                    {reinterpret_cast<const uint8_t*>(end.reason.data()), end.reason.size()},
                    ignored);
    }
    socket_.shutdown();
    if (!quiet) report(end.reason);
    {
      std::lock_guard lock(mutex_);
      state_ = State::Ended;
    }
    changed_.notify_all();
    if (opened) sink->OnChannelClosed();
  }

  // Takes one frame while the channel is being opened. False when it ends the connection.
  bool takeOpeningFrame(dp::Frame& frame, IChannelEvents* sink, End& end, bool& opened) {
    if (frame.type == dp::kPasswordChallenge && frame.payload.size() == 4) {
      answerChallenge(sink, static_cast<int32_t>(readBigEndian32(frame.payload.data())));
      return true;
    }
    if (frame.type == dp::kChannelOpened) {
      opened = true;
      {
        std::lock_guard lock(mutex_);
        state_ = State::Open;
        wasOpened_ = true;
      }
      changed_.notify_all();
      return true;
    }
    if (frame.type == dp::kChannelRefused) {
      end = {"the handheld refused the channel: " + dp::payloadText(frame.payload), false};
      return false;
    }
    if (frame.type == dp::kClose || frame.type == dp::kError || frame.type == dp::kQuery) {
      return takeOpenFrame(frame, sink, end);
    }
    end = outOfPlace(frame);
    return false;
  }

  // Takes one frame of the open channel, on the reader thread or a caller's. False when it
  // ends the connection.
  bool takeOpenFrame(dp::Frame& frame, IChannelEvents* sink, End& end) {
    if (frame.type == dp::kClose) {
      end = {"the handheld closed the channel", false};
      return false;
    }
    if (frame.type == dp::kError) {
      end = {"the handheld reported: " + dp::payloadText(frame.payload), false};
      return false;
    }
    if (frame.type == dp::kQuery) {
      sink->OnQuery();
      return true;
    }
    if (frame.type == dp::kWriteResult && frame.payload.size() == 1) {
      bool known = false;
      bool wake = false;
      {
        std::lock_guard lock(mutex_);
        if (unconfirmed_ > 0) {
          known = true;
          --unconfirmed_;
          if (frame.payload[0] == 0) {
            accepted_ = true;
          } else {
            ++refusals_;
            refused_ = true;
            // No write waits for it: the link may be waiting for an acknowledgement
            // that the refused bytes will never bring.
            wake = !writerWaits_;
          }
        }
      }
      if (known) {
        changed_.notify_all();
        if (wake) sink->OnDataReady();
        return true;
      }
    } else if (frame.type == dp::kMessage) {
      {
        std::lock_guard lock(mutex_);
        // The PC reads one message per acknowledgement it waits for; a handheld that
        // sends far more is not following the protocol.
        if (messages_.size() >= kMaxUnreadMessages) {
          end = {"malformed: the handheld sent too many unread messages", true};
          return false;
        }
        messages_.push_back(std::move(frame.payload));
      }
      changed_.notify_all();
      sink->OnDataReady();
      return true;
    }
    end = outOfPlace(frame);
    return false;
  }

  static End outOfPlace(const dp::Frame& frame) {
    return {"malformed frame: type " + std::to_string(frame.type) + " out of place", true};
  }

  void answerChallenge(IChannelEvents* sink, int32_t attempts) {
    {
      std::lock_guard lock(mutex_);
      inChallenge_ = true;
    }
    uint8_t answer[20] = {};
    const HResult status = sink->OnPasswordChallenge(attempts, answer);
    std::vector<uint8_t> payload{static_cast<uint8_t>(failed(status) ? 0 : 1)};
    if (failed(status)) std::memset(answer, 0, sizeof answer);
    payload.insert(payload.end(), std::begin(answer), std::end(answer));
    dp::FrameError error;
    if (!socket_.write(dp::kPasswordAnswer, payload, error)) socket_.shutdown();
    {
      std::lock_guard lock(mutex_);
      inChallenge_ = false;
    }
    changed_.notify_all();
  }

  void report(const std::string& text) {
    if (options_->diagnostics) options_->diagnostics(options_->address + ": " + text);
  }

  // Ends the connection after a protocol fault, telling the handheld why.
  void fail(const std::string& reason) {
    report(reason);
    dp::FrameError ignored;
    socket_.write(dp::kError, {reinterpret_cast<const uint8_t*>(reason.data()), reason.size()},
                  ignored);
    socket_.shutdown();
  }

  dp::FrameSocket socket_;
  const std::shared_ptr<const SocketServiceOptions> options_;
  std::vector<dp::DeviceDescription> devices_;

  std::mutex writeMutex_;
  MessageBoundaries boundaries_;  // where the written messages end; under writeMutex_
  std::mutex mutex_;
  std::condition_variable changed_;
  std::condition_variable turn_;  // the reader thread waits here for the socket
  State state_ = State::None;
  bool inChallenge_ = false;
  bool wasOpened_ = false;
  bool closingByPc_ = false;
  size_t unconfirmed_ = 0;    // writes handed to the socket whose result has not come
  size_t refusals_ = 0;       // refused writes not yet reported by a write or read
  bool accepted_ = false;     // the handheld accepted a write on this channel
  bool refused_ = false;      // ... or refused one
  bool writerWaits_ = false;  // a write waits for results
  std::deque<std::vector<uint8_t>> messages_;
  // Who takes the frames from the socket (one thread at a time): the reader thread, or a
  // caller waiting for them, which is woken by the socket directly.
  Reader reading_ = Reader::Nobody;
  Clock::time_point leaseUntil_{};      // the reader thread leaves the socket to callers
  bool callerWaits_ = false;            // a caller waited while the reader thread read
  std::optional<End> pendingEnd_;       // an end a caller met, for the reader thread
  IChannelEvents* sink_ = nullptr;      // the reader thread's, while the channel may use it
  std::thread reader_;
};

class SocketChannel final : public RefCounted<IChannel> {
 public:
  explicit SocketChannel(std::shared_ptr<Connection> connection)
      : connection_(std::move(connection)) {}
  HResult Read(uint8_t* buffer, uint32_t capacity, uint32_t* delivered) override {
    return connection_->read(buffer, capacity, delivered);
  }
  HResult Write(const uint8_t* data, uint32_t count) override {
    return connection_->write(data, count);
  }

 private:
  ~SocketChannel() override { connection_->endChannel(); }
  std::shared_ptr<Connection> connection_;
};

class SocketProperty final : public RefCounted<IProperty> {
 public:
  explicit SocketProperty(dp::DeviceProperty property) : property_(std::move(property)) {}
  HResult GetName(std::u16string* name) override {
    if (!name) return kEPointer;
    *name = property_.name;
    return kSOk;
  }
  HResult GetValue(Variant* value) override {
    if (!value) return kEPointer;
    *value = property_.value;
    return kSOk;
  }

 private:
  dp::DeviceProperty property_;
};

class SocketPropertyCollection final : public RefCounted<IPropertyCollection> {
 public:
  explicit SocketPropertyCollection(std::vector<dp::DeviceProperty> properties)
      : properties_(std::move(properties)) {}
  HResult GetCount(int32_t* count) override {
    if (!count) return kEPointer;
    *count = static_cast<int32_t>(properties_.size());
    return kSOk;
  }
  HResult GetItem(const Variant& index, IProperty** property) override {
    if (!property) return kEPointer;
    if (index.type != Variant::Type::Int32 || index.int32 < 0 ||
        static_cast<size_t>(index.int32) >= properties_.size()) {
      return kEInvalidArg;
    }
    *property = new SocketProperty(properties_[static_cast<size_t>(index.int32)]);
    return kSOk;
  }

 private:
  std::vector<dp::DeviceProperty> properties_;
};

class SocketDevice final : public RefCounted<IDevice> {
 public:
  SocketDevice(std::shared_ptr<Connection> connection, int32_t index)
      : connection_(std::move(connection)), index_(index) {}
  HResult GetProperties(IPropertyCollection** properties) override {
    if (!properties) return kEPointer;
    *properties = new SocketPropertyCollection(
        connection_->devices()[static_cast<size_t>(index_)].properties);
    return kSOk;
  }
  HResult OpenChannel(std::u16string_view name, IChannelEvents* sink, IChannel** channel) override {
    if (!channel || !sink) return kEPointer;
    const HResult status = connection_->openChannel(index_, name, sink);
    if (failed(status)) return status;
    *channel = new SocketChannel(connection_);
    return kSOk;
  }

 private:
  std::shared_ptr<Connection> connection_;
  const int32_t index_;
};

class SocketDeviceCollection final : public RefCounted<IDeviceCollection> {
 public:
  explicit SocketDeviceCollection(std::shared_ptr<Connection> connection)
      : connection_(std::move(connection)) {}
  HResult GetCount(uint32_t* count) override {
    if (!count) return kEPointer;
    *count = connection_ ? static_cast<uint32_t>(connection_->devices().size()) : 0;
    return kSOk;
  }
  HResult GetItem(int32_t index, IDevice** device) override {
    if (!device) return kEPointer;
    if (!connection_ || index < 0 || static_cast<size_t>(index) >= connection_->devices().size()) {
      return kEInvalidArg;
    }
    *device = new SocketDevice(connection_, index);
    return kSOk;
  }

 private:
  std::shared_ptr<Connection> connection_;
};

class SocketDeviceManager final : public RefCounted<IDeviceManager> {
 public:
  SocketDeviceManager(std::shared_ptr<const SocketServiceOptions> options, DeviceAddress address)
      : options_(std::move(options)), address_(std::move(address)) {}
  HResult GetDevices(IDeviceCollection** devices) override {
    if (!devices) return kEPointer;
    std::string error;
    UniqueFd fd = connectToDevice(address_, options_->connectWait, error);
    std::shared_ptr<Connection> connection;
    if (!fd) {
      if (options_->diagnostics) options_->diagnostics("no handheld: " + error);
    } else if (address_.kind == DeviceAddress::Kind::Unix && !peerIsThisUser(fd.get(), error)) {
      // Nothing is sent to it, not even the greeting.
      if (options_->diagnostics) options_->diagnostics(address_.text() + ": " + error);
      if (options_->foreignPeer) options_->foreignPeer(error);
    } else {
      auto made = std::make_shared<Connection>(std::move(fd), options_);
      if (made->greet()) connection = std::move(made);
    }
    *devices = new SocketDeviceCollection(std::move(connection));
    return kSOk;
  }

 private:
  const std::shared_ptr<const SocketServiceOptions> options_;
  const DeviceAddress address_;
};

}  // namespace

ServiceFactory socketServiceFactory(SocketServiceOptions options) {
  // Shared by every object made from the factory; the reader threads may outlive the
  // factory and the objects that started them.
  auto shared = std::make_shared<const SocketServiceOptions>(std::move(options));
  return [options = std::move(shared)](IDeviceManager** manager) -> HResult {
    if (!manager) return kEPointer;
    std::string error;
    std::optional<DeviceAddress> address = parseDeviceAddress(options->address, error);
    if (!address) {
      if (options->diagnostics) options->diagnostics(error);
      return kEFail;
    }
    *manager = new SocketDeviceManager(options, std::move(*address));
    return kSOk;
  };
}

}  // namespace lexora
