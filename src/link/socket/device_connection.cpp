#include "link/socket/device_connection.h"

#include <cstring>

#include "base/bytes.h"
#include "base/text_codec.h"

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

}  // namespace

DeviceConnection::DeviceConnection(UniqueFd fd, std::shared_ptr<const SocketServiceOptions> options)
    : socket_(std::move(fd), dp::Side::Device), options_(std::move(options)) {}

DeviceConnection::~DeviceConnection() {
  endChannel();
}

bool DeviceConnection::greet() {
  std::vector<uint8_t> hello(std::begin(dp::kMagic), std::end(dp::kMagic));
  hello.push_back(dp::kVersion);
  dp::FrameError error;
  dp::Frame frame;
  // A handheld that turns the connection away says why and hangs up at once, so the
  // greeting may find the connection closed when the reason has already come: it is
  // looked for all the same.
  const bool sent = socket_.write(dp::kHello, hello, error);
  dp::FrameError readError;
  if (!socket_.read(frame, readError, sent ? options_->replyWait : std::chrono::milliseconds(0)) ||
      (!sent && frame.type != dp::kError)) {
    report("greeting the handheld: " + (sent ? readError : error).detail);
    return false;
  }
  if (frame.type == dp::kError) {
    const std::string reason = dp::payloadText(frame.payload);
    report("the handheld reported: " + reason);
    MutexLock lock(mutex_);
    handheldReason_ = reason;
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

HResult DeviceConnection::openChannel(int32_t index, std::u16string_view name,
                                      IChannelEvents* sink) {
  {
    MutexLock lock(mutex_);
    if (state_ != State::None) return kEFail;
    state_ = State::Opening;
  }
  std::vector<uint8_t> payload{static_cast<uint8_t>(index)};
  const std::string utf8 = utf16ToUtf8(name);
  payload.insert(payload.end(), utf8.begin(), utf8.end());
  dp::FrameError error;
  if (payload.size() > 1 + 4096 || !socket_.write(dp::kOpenChannel, payload, error)) {
    report("opening the channel: " + (error.detail.empty() ? "name too long" : error.detail));
    MutexLock lock(mutex_);
    state_ = State::Ended;
    return kEFail;
  }
  reader_ = std::thread(&DeviceConnection::runReader, this, Ref<IChannelEvents>::retain(sink));

  MutexLock lock(mutex_);
  // The user may take any time over the password; only the handheld's silence counts.
  while (!changed_.wait_for(mutex_, options_->replyWait,
                            [&]() REQUIRES(mutex_) { return state_ != State::Opening; })) {
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

HResult DeviceConnection::write(const uint8_t* data, uint32_t count) {
  if (count > *dp::maxPayload(dp::kWrite, dp::Side::Pc)) return kEInvalidArg;
  if (!data && count > 0) return kEPointer;
  MutexLock writing(writeMutex_);
  MutexLock lock(mutex_);
  if (state_ != State::Open || takeRefusal()) return kEFail;
  const bool confirm = !accepted_ || refused_;
  if (!awaitResults(confirm ? 0 : kMaxUnconfirmedWrites - 1) || takeRefusal()) {
    return kEFail;
  }
  ++unconfirmed_;
  lock.unlock();
  bool answered = false;
  boundaries_.feed({data, count}, [&](MessageType type) { answered |= isAnswered(type); });
  const size_t held = socket_.queue(dp::kWrite, {data, count});
  if (!confirm && !answered) return held < kMaxHeldBytes || sendHeld() ? kSOk : kEFail;
  if (!sendHeld()) return kEFail;
  lock.lock();
  if (confirm) return awaitResults(0) && !takeRefusal() ? kSOk : kEFail;
  // The link will wait for the answer next. Taken here, it wakes this thread straight
  // from the socket instead of waking the reader thread, which would then wake this one.
  const bool answer =
      awaitFrames([&]() REQUIRES(mutex_) { return !messages_.empty() || refusals_ > 0; },
                  Clock::now() + kAnswerWait);
  // A slow answer is left to the reader thread, at once.
  if (!answer) {
    leaseUntil_ = {};
    turn_.notify_one();
  }
  return kSOk;
}

HResult DeviceConnection::read(uint8_t* buffer, uint32_t capacity, uint32_t* delivered) {
  if (!buffer || !delivered) return kEPointer;
  // Whatever a caller reads, the writes before it must have reached the handheld.
  if (!sendHeld()) return kEFail;
  MutexLock lock(mutex_);
  if (takeRefusal()) return kEFail;
  // The link reads after a data-ready call. One made for a refusal that a write has
  // reported since finds the message it waits for still to come.
  awaitFrames([&]() REQUIRES(mutex_) { return !messages_.empty() || refusals_ > 0; },
              Clock::now() + options_->replyWait);
  if (takeRefusal() || messages_.empty()) return kEFail;
  std::vector<uint8_t> message = std::move(messages_.front());
  messages_.pop_front();
  if (message.size() > capacity) return kEFail;
  if (!message.empty()) std::memcpy(buffer, message.data(), message.size());
  *delivered = static_cast<uint32_t>(message.size());
  return kSOk;
}

void DeviceConnection::endChannel() {
  {
    MutexLock lock(mutex_);
    closingByPc_ = true;
  }
  turn_.notify_one();
  dp::FrameError ignored;
  bool open;
  {
    MutexLock lock(mutex_);
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

bool DeviceConnection::sendHeld() {
  dp::FrameError error;
  if (socket_.flush(error)) return true;
  report("writing: " + error.detail);
  socket_.shutdown();
  return false;
}

bool DeviceConnection::takeRefusal() {
  if (refusals_ == 0) return false;
  --refusals_;
  return true;
}

bool DeviceConnection::awaitResults(size_t limit) {
  if (unconfirmed_ <= limit) return true;
  // Results come only for writes the handheld has. Not sent under mutex_, which the
  // reader needs to take the results that may be filling the other direction.
  mutex_.unlock();
  const bool sent = sendHeld();
  mutex_.lock();
  if (!sent) return false;
  writerWaits_ = true;
  awaitFrames([&]() REQUIRES(mutex_) { return unconfirmed_ <= limit; },
              Clock::now() + options_->replyWait);
  writerWaits_ = false;
  if (unconfirmed_ <= limit) return true;
  if (state_ == State::Open) {
    mutex_.unlock();
    // A late result would be taken for a later write's: the connection cannot go on.
    fail("the handheld did not confirm a write in time");
    mutex_.lock();
  }
  return false;
}

void DeviceConnection::runReader(DeviceConnection* connection, Ref<IChannelEvents> sink) {
  connection->readLoop(sink.get());
  // Nothing of the connection is touched after this: releasing the sink may destroy it.
  sink.reset();
}

bool DeviceConnection::awaitTurn(End& end) {
  MutexLock lock(mutex_);
  for (;;) {
    if (pendingEnd_) {
      end = std::move(*pendingEnd_);
      pendingEnd_.reset();
      reading_ = Reader::Thread;  // ending it: no caller reads any more
      return false;
    }
    if (reading_ == Reader::Nobody &&
        (state_ != State::Open || closingByPc_ || Clock::now() >= leaseUntil_)) {
      break;
    }
    // A caller that lets go of the socket does not wake this thread: it looks again when
    // the caller's lease has run out.
    turn_.wait_until(mutex_,
                     reading_ == Reader::Caller ? Clock::now() + kCallerLease : leaseUntil_);
  }
  reading_ = Reader::Thread;
  return true;
}

void DeviceConnection::handBack() {
  {
    MutexLock lock(mutex_);
    reading_ = Reader::Nobody;
    if (callerWaits_) leaseUntil_ = Clock::now() + kCallerLease;
    callerWaits_ = false;
  }
  changed_.notify_all();
}

template <class Done>
bool DeviceConnection::awaitFrames(Done done, Clock::time_point deadline) {
  for (;;) {
    if (done()) return true;
    if (state_ != State::Open) return false;
    if (reading_ == Reader::Nobody && !pendingEnd_ && !closingByPc_) {
      reading_ = Reader::Caller;
      Ref<IChannelEvents> sink = Ref<IChannelEvents>::retain(sink_);
      mutex_.unlock();
      std::optional<End> end = takeFramesAsCaller(sink.get());
      sink.reset();
      mutex_.lock();
      reading_ = Reader::Nobody;
      leaseUntil_ = Clock::now() + kCallerLease;
      if (end) {
        pendingEnd_ = std::move(end);
        turn_.notify_one();
      }
      changed_.notify_all();
    } else {
      callerWaits_ = true;
      if (changed_.wait_until(mutex_, deadline) == std::cv_status::timeout) return done();
    }
    if (Clock::now() >= deadline) return done();
  }
}

std::optional<DeviceConnection::End> DeviceConnection::takeFramesAsCaller(IChannelEvents* sink) {
  do {
    dp::Frame frame;
    dp::FrameError error;
    End end;
    if (!socket_.read(frame, error, kCallerReadSlice)) {
      if (error.kind == dp::FrameError::Kind::TimedOut) return std::nullopt;
      return End{std::move(error.detail), error.kind == dp::FrameError::Kind::Malformed};
    }
    if (!takeOpenFrame(frame, sink, end)) return end;
  } while (!socket_.readWouldWait());
  return std::nullopt;
}

void DeviceConnection::readLoop(IChannelEvents* sink) {
  {
    MutexLock lock(mutex_);
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
      MutexLock lock(mutex_);
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
    MutexLock lock(mutex_);
    quiet = closingByPc_;
  }
  if (end.protocolError) sendError(end.reason);
  socket_.shutdown();
  if (!quiet) report(end.reason);
  {
    MutexLock lock(mutex_);
    state_ = State::Ended;
    sink_ = nullptr;
  }
  changed_.notify_all();
  if (opened) sink->OnChannelClosed();
}

bool DeviceConnection::takeOpeningFrame(dp::Frame& frame, IChannelEvents* sink, End& end,
                                        bool& opened) {
  if (frame.type == dp::kPasswordChallenge && frame.payload.size() == 4) {
    answerChallenge(sink, static_cast<int32_t>(readBigEndian32(frame.payload.data())));
    return true;
  }
  if (frame.type == dp::kChannelOpened) {
    opened = true;
    {
      MutexLock lock(mutex_);
      state_ = State::Open;
      wasOpened_ = true;
    }
    changed_.notify_all();
    return true;
  }
  if (frame.type == dp::kChannelRefused || frame.type == dp::kError) {
    const std::string reason = dp::payloadText(frame.payload);
    {
      MutexLock lock(mutex_);
      handheldReason_ = reason;
    }
    if (frame.type == dp::kError) return takeOpenFrame(frame, sink, end);
    end = {"the handheld refused the channel: " + reason, false};
    return false;
  }
  if (frame.type == dp::kClose || frame.type == dp::kQuery) {
    return takeOpenFrame(frame, sink, end);
  }
  end = outOfPlace(frame);
  return false;
}

bool DeviceConnection::takeOpenFrame(dp::Frame& frame, IChannelEvents* sink, End& end) {
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
      MutexLock lock(mutex_);
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
      MutexLock lock(mutex_);
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

DeviceConnection::End DeviceConnection::outOfPlace(const dp::Frame& frame) {
  return {"malformed frame: type " + std::to_string(frame.type) + " out of place", true};
}

void DeviceConnection::answerChallenge(IChannelEvents* sink, int32_t attempts) {
  {
    MutexLock lock(mutex_);
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
    MutexLock lock(mutex_);
    inChallenge_ = false;
  }
  changed_.notify_all();
}

std::string DeviceConnection::handheldReason() {
  MutexLock lock(mutex_);
  return handheldReason_;
}

void DeviceConnection::report(const std::string& text) {
  if (options_->diagnostics) options_->diagnostics(options_->address + ": " + text);
}

void DeviceConnection::fail(const std::string& reason) {
  report(reason);
  sendError(reason);
  socket_.shutdown();
}

void DeviceConnection::sendError(const std::string& reason) {
  dp::FrameError ignored;
  socket_.write(dp::kError, {reinterpret_cast<const uint8_t*>(reason.data()), reason.size()},
                ignored);
}

}  // namespace lexora
