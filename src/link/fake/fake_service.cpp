#include "link/fake/fake_service.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <future>
#include <thread>

#include "base/mutex.h"
#include "base/text_codec.h"
#include "link/password_answer.h"
#include "pack/transfer_message.h"

namespace lexora {

struct FakeService::State {
  Mutex mutex;
  struct Injected {
    Call call;
    Fault fault;
    int index;
  };
  std::vector<Injected> faults GUARDED_BY(mutex);
  std::vector<std::vector<Property>> devices GUARDED_BY(mutex){
      {{u"Name", Variant::fromString(u"Fake handheld")},
       {std::u16string(kPinPropertyName), Variant::fromInt32(0x2A3B4C5D)}}};
  std::optional<std::u16string> password GUARDED_BY(mutex);
  int32_t attempts GUARDED_BY(mutex) = 0;
  bool reportClose GUARDED_BY(mutex) = true;
  int closeDelayMs GUARDED_BY(mutex) = 0;
  std::function<bool(size_t, std::span<const uint8_t>)> writeFilter GUARDED_BY(mutex);
  std::function<bool()> endFlagRelease GUARDED_BY(mutex);
  std::deque<Reply> replies GUARDED_BY(mutex);
  std::u16string handheldReason GUARDED_BY(mutex);

  std::vector<Write> writes GUARDED_BY(mutex);
  std::vector<uint8_t> accepted GUARDED_BY(mutex);
  std::vector<uint8_t> unparsed GUARDED_BY(mutex);
  std::vector<std::string> calls GUARDED_BY(mutex);
  std::vector<int32_t> challenges GUARDED_BY(mutex);
  std::atomic<int> live{0};
  Ref<IChannelEvents> sink GUARDED_BY(mutex);
  std::atomic<int> sinkReferences{0};
  bool channelOpen GUARDED_BY(mutex) = false;
  bool deviceClosed GUARDED_BY(mutex) = false;
  std::deque<std::vector<uint8_t>> inbox GUARDED_BY(mutex);
  int failedReads GUARDED_BY(mutex) = 0;

  // The service thread.
  Mutex taskMutex;
  std::condition_variable_any taskChanged;
  std::deque<std::function<void()>> tasks GUARDED_BY(taskMutex);
  uint64_t posted GUARDED_BY(taskMutex) = 0;
  uint64_t done GUARDED_BY(taskMutex) = 0;
  bool stopping GUARDED_BY(taskMutex) = false;
  std::thread thread;

  State() : thread([this] { serve(); }) {}

  void serve() {
    MutexLock lock(taskMutex);
    for (;;) {
      taskChanged.wait(taskMutex, [&]() REQUIRES(taskMutex) { return stopping || !tasks.empty(); });
      if (tasks.empty()) return;
      auto task = std::move(tasks.front());
      tasks.pop_front();
      lock.unlock();
      task();
      lock.lock();
      ++done;
      taskChanged.notify_all();
    }
  }
  void post(std::function<void()> task) {
    MutexLock lock(taskMutex);
    tasks.push_back(std::move(task));
    ++posted;
    taskChanged.notify_all();
  }
  void settle() {
    MutexLock lock(taskMutex);
    const uint64_t target = posted;
    taskChanged.wait(taskMutex, [&]() REQUIRES(taskMutex) { return done >= target; });
  }
  void stop() {
    {
      MutexLock lock(taskMutex);
      stopping = true;
      taskChanged.notify_all();
    }
    thread.join();
  }

  // Records the call and tells whether a fault was injected for it.
  std::optional<Fault> enter(Call call, std::string name, int index = -1) {
    MutexLock lock(mutex);
    calls.push_back(std::move(name));
    for (const auto& f : faults) {
      if (f.call == call && (f.index < 0 || f.index == index)) return f.fault;
    }
    return std::nullopt;
  }

  // After an accepted write.
  void parseMessages() REQUIRES(mutex) {
    std::optional<MessageDamage> unfinished;
    const auto messages = readMessages(unparsed, unfinished);
    const uint64_t used = unfinished ? unfinished->offset : unparsed.size();
    unparsed.erase(unparsed.begin(), unparsed.begin() + static_cast<std::ptrdiff_t>(used));
    for (const TransferMessage& message : messages) {
      // The key is acknowledged together with its record.
      if (message.type != MessageType::Name && message.type != MessageType::Record &&
          message.type != MessageType::End) {
        continue;
      }
      Reply reply = FakeService::ack();
      if (!replies.empty()) {
        reply = std::move(replies.front());
        replies.pop_front();
      }
      act(std::move(reply));
    }
  }

  void act(Reply reply) REQUIRES(mutex) {
    switch (reply.kind) {
      case Reply::Kind::Silence:
        return;
      case Reply::Kind::Message:
        inbox.push_back(std::move(reply.bytes));
        post([this] { signal(&IChannelEvents::OnDataReady); });
        return;
      case Reply::Kind::FailedRead:
        ++failedReads;
        post([this] { signal(&IChannelEvents::OnDataReady); });
        return;
      case Reply::Kind::CloseChannel:
        deviceClosed = true;
        post([this] { signal(&IChannelEvents::OnChannelClosed); });
        return;
    }
  }

  // On the service thread.
  void signal(HResult (IChannelEvents::*method)()) {
    Ref<IChannelEvents> target;
    {
      MutexLock lock(mutex);
      target = sink;
    }
    if (target) (target.get()->*method)();
  }
};

namespace {

using State = FakeService::State;

template <class I>
class Tracked : public RefCounted<I> {
 public:
  explicit Tracked(std::shared_ptr<State> state) : state_(std::move(state)) { ++state_->live; }

 protected:
  ~Tracked() override { --state_->live; }
  std::shared_ptr<State> state_;
};

HResult faultResult(FakeService::Fault fault) {
  return fault == FakeService::Fault::Error ? kEFail : kSOk;
}

class FakeChannel final : public Tracked<IChannel> {
 public:
  using Tracked::Tracked;
  HResult Read(uint8_t* buffer, uint32_t capacity, uint32_t* delivered) override {
    MutexLock lock(state_->mutex);
    if (state_->failedReads > 0) {
      --state_->failedReads;
      return kEFail;
    }
    if (state_->inbox.empty()) return kEFail;
    std::vector<uint8_t> message = std::move(state_->inbox.front());
    state_->inbox.pop_front();
    if (message.size() > capacity) return kEFail;
    if (!message.empty()) std::memcpy(buffer, message.data(), message.size());
    *delivered = static_cast<uint32_t>(message.size());
    return kSOk;
  }
  HResult Write(const uint8_t* data, uint32_t count) override {
    waitIfEndFlagHeld(data, count);
    MutexLock lock(state_->mutex);
    std::span<const uint8_t> bytes(data, count);
    const size_t index = state_->writes.size();
    const bool accepted =
        !state_->deviceClosed && (!state_->writeFilter || state_->writeFilter(index, bytes));
    state_->writes.push_back({{bytes.begin(), bytes.end()}, accepted});
    if (!accepted) return kEFail;
    state_->accepted.insert(state_->accepted.end(), bytes.begin(), bytes.end());
    state_->unparsed.insert(state_->unparsed.end(), bytes.begin(), bytes.end());
    state_->parseMessages();
    return kSOk;
  }

 private:
  // Waits outside the lock, so that the service thread goes on answering meanwhile.
  void waitIfEndFlagHeld(const uint8_t* data, uint32_t count) {
    std::function<bool()> release;
    {
      MutexLock lock(state_->mutex);
      const bool startsEndFlag = state_->unparsed.empty() && count > 0 &&
                                 data[0] == static_cast<uint8_t>(MessageType::End);
      if (startsEndFlag) release = state_->endFlagRelease;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (release && !release() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  ~FakeChannel() override {
    Ref<IChannelEvents> sink;
    bool report;
    int delay;
    {
      MutexLock lock(state_->mutex);
      state_->channelOpen = false;
      sink = std::move(state_->sink);
      report = state_->reportClose;
      delay = state_->closeDelayMs;
    }
    // The service reports the close later, from its own thread, and only then lets go
    // of the sink.
    state_->post([state = state_, sink = std::move(sink), report, delay]() mutable {
      if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
      if (!sink) return;
      if (report) sink->OnChannelClosed();
      sink.reset();
      --state->sinkReferences;
    });
  }
};

class FakeProperty final : public Tracked<IProperty> {
 public:
  FakeProperty(std::shared_ptr<State> state, FakeService::Property property, int index)
      : Tracked(std::move(state)), property_(std::move(property)), index_(index) {}
  HResult GetName(std::u16string* name) override {
    if (auto fault = state_->enter(FakeService::Call::PropertyName,
                                   "PropertyName(" + std::to_string(index_) + ")", index_)) {
      return kEFail;
    }
    *name = property_.name;
    return kSOk;
  }
  HResult GetValue(Variant* value) override {
    if (auto fault = state_->enter(FakeService::Call::PropertyValue,
                                   "PropertyValue(" + std::to_string(index_) + ")", index_)) {
      return kEFail;
    }
    *value = property_.value;
    return kSOk;
  }

 private:
  FakeService::Property property_;
  int index_;
};

class FakePropertyCollection final : public Tracked<IPropertyCollection> {
 public:
  FakePropertyCollection(std::shared_ptr<State> state, std::vector<FakeService::Property> p)
      : Tracked(std::move(state)), properties_(std::move(p)) {}
  HResult GetCount(int32_t* count) override {
    if (auto fault = state_->enter(FakeService::Call::PropertyCount, "PropertyCount")) {
      return kEFail;
    }
    *count = static_cast<int32_t>(properties_.size());
    return kSOk;
  }
  HResult GetItem(const Variant& index, IProperty** property) override {
    const int i = index.type == Variant::Type::Int32 ? index.int32 : -1;
    if (auto fault = state_->enter(FakeService::Call::GetProperty,
                                   "GetProperty(" + std::to_string(i) + ")", i)) {
      return faultResult(*fault);
    }
    if (i < 0 || static_cast<size_t>(i) >= properties_.size()) return kEInvalidArg;
    *property = new FakeProperty(state_, properties_[static_cast<size_t>(i)], i);
    return kSOk;
  }

 private:
  std::vector<FakeService::Property> properties_;
};

class FakeDevice final : public Tracked<IDevice> {
 public:
  FakeDevice(std::shared_ptr<State> state, int index) : Tracked(std::move(state)), index_(index) {}
  HResult GetProperties(IPropertyCollection** properties) override {
    if (auto fault = state_->enter(FakeService::Call::GetProperties, "GetProperties")) {
      return faultResult(*fault);
    }
    std::vector<FakeService::Property> list;
    {
      MutexLock lock(state_->mutex);
      list = state_->devices[static_cast<size_t>(index_)];
    }
    *properties = new FakePropertyCollection(state_, std::move(list));
    return kSOk;
  }
  HResult OpenChannel(std::u16string_view name, IChannelEvents* sink, IChannel** channel) override {
    if (auto fault = state_->enter(FakeService::Call::OpenChannel,
                                   "OpenChannel(" + utf16ToUtf8(name) + ")")) {
      return faultResult(*fault);
    }
    if (!challenge(sink)) return kEFail;
    {
      MutexLock lock(state_->mutex);
      state_->sink = Ref<IChannelEvents>::retain(sink);
      ++state_->sinkReferences;
      state_->channelOpen = true;
      state_->deviceClosed = false;
    }
    *channel = new FakeChannel(state_);
    return kSOk;
  }

 private:
  // The challenge runs on the service thread while this call waits, as with COM.
  bool challenge(IChannelEvents* sink) {
    std::optional<std::u16string> password;
    {
      MutexLock lock(state_->mutex);
      password = state_->password;
    }
    if (!password) return true;
    const auto expected = passwordDigest(*password);
    for (;;) {
      int32_t remaining;
      {
        MutexLock lock(state_->mutex);
        remaining = state_->attempts;
        if (remaining <= 0) return false;
        state_->challenges.push_back(remaining);
      }
      std::array<uint8_t, 20> answer;
      answer.fill(0xEE);
      std::promise<HResult> result;
      state_->post([&] { result.set_value(sink->OnPasswordChallenge(remaining, answer.data())); });
      if (failed(result.get_future().get())) return false;
      if (expected && answer == *expected) return true;
      MutexLock lock(state_->mutex);
      --state_->attempts;
    }
  }

  int index_;
};

class FakeDeviceCollection final : public Tracked<IDeviceCollection> {
 public:
  using Tracked::Tracked;
  HResult GetCount(uint32_t* count) override {
    if (auto fault = state_->enter(FakeService::Call::DeviceCount, "DeviceCount")) return kEFail;
    MutexLock lock(state_->mutex);
    *count = static_cast<uint32_t>(state_->devices.size());
    return kSOk;
  }
  HResult GetItem(int32_t index, IDevice** device) override {
    if (auto fault = state_->enter(FakeService::Call::GetDevice,
                                   "GetDevice(" + std::to_string(index) + ")", index)) {
      return faultResult(*fault);
    }
    {
      MutexLock lock(state_->mutex);
      if (index < 0 || static_cast<size_t>(index) >= state_->devices.size()) return kEInvalidArg;
    }
    *device = new FakeDevice(state_, index);
    return kSOk;
  }
};

class FakeDeviceManager final : public Tracked<IDeviceManager> {
 public:
  using Tracked::Tracked;
  HResult GetDevices(IDeviceCollection** devices) override {
    if (auto fault = state_->enter(FakeService::Call::GetDevices, "GetDevices")) {
      return faultResult(*fault);
    }
    *devices = new FakeDeviceCollection(state_);
    return kSOk;
  }
  HResult GetHandheldReason(std::u16string* reason) override {
    if (!reason) return kEPointer;
    MutexLock lock(state_->mutex);
    *reason = state_->handheldReason;
    return kSOk;
  }
};

}  // namespace

FakeService::FakeService() : state_(std::make_shared<State>()) {}

FakeService::~FakeService() {
  state_->settle();
  Ref<IChannelEvents> sink;
  {
    MutexLock lock(state_->mutex);
    sink = std::move(state_->sink);
  }
  if (sink) --state_->sinkReferences;
  sink.reset();
  state_->stop();
}

FakeService::Reply FakeService::ack(uint8_t type, std::vector<uint8_t> payload) {
  std::vector<uint8_t> bytes;
  appendMessage(bytes, MessageType{type}, payload);
  return {Reply::Kind::Message, std::move(bytes)};
}

ServiceFactory FakeService::factory() {
  return [state = state_](IDeviceManager** manager) -> HResult {
    if (auto fault = state->enter(Call::CreateManager, "CreateManager")) {
      return faultResult(*fault);
    }
    *manager = new FakeDeviceManager(state);
    return kSOk;
  };
}

void FakeService::failCall(Call call, Fault fault, int atIndex) {
  MutexLock lock(state_->mutex);
  state_->faults.push_back({call, fault, atIndex});
}

void FakeService::setDevices(std::vector<std::vector<Property>> devices) {
  MutexLock lock(state_->mutex);
  state_->devices = std::move(devices);
}

void FakeService::setPassword(std::u16string password, int32_t attempts) {
  MutexLock lock(state_->mutex);
  state_->password = std::move(password);
  state_->attempts = attempts;
}

void FakeService::setHandheldReason(std::u16string reason) {
  MutexLock lock(state_->mutex);
  state_->handheldReason = std::move(reason);
}

void FakeService::setCloseReport(bool report, int delayMs) {
  MutexLock lock(state_->mutex);
  state_->reportClose = report;
  state_->closeDelayMs = delayMs;
}

void FakeService::setWriteFilter(
    std::function<bool(size_t index, std::span<const uint8_t> bytes)> filter) {
  MutexLock lock(state_->mutex);
  state_->writeFilter = std::move(filter);
}

void FakeService::holdEndFlagUntil(std::function<bool()> release) {
  MutexLock lock(state_->mutex);
  state_->endFlagRelease = std::move(release);
}

void FakeService::queueReply(Reply reply) {
  MutexLock lock(state_->mutex);
  state_->replies.push_back(std::move(reply));
}

void FakeService::deliver(std::vector<uint8_t> message) {
  MutexLock lock(state_->mutex);
  state_->act(raw(std::move(message)));
}

void FakeService::reportClosed() {
  MutexLock lock(state_->mutex);
  state_->act(closeChannel());
}

void FakeService::settle() {
  state_->settle();
}

std::vector<FakeService::Write> FakeService::writes() const {
  MutexLock lock(state_->mutex);
  return state_->writes;
}

std::vector<uint8_t> FakeService::acceptedBytes() const {
  MutexLock lock(state_->mutex);
  return state_->accepted;
}

std::vector<std::string> FakeService::calls() const {
  MutexLock lock(state_->mutex);
  return state_->calls;
}

std::vector<int32_t> FakeService::challenges() const {
  MutexLock lock(state_->mutex);
  return state_->challenges;
}

int FakeService::liveObjects() const {
  return state_->live.load();
}

bool FakeService::holdsSink() const {
  return state_->sinkReferences.load() > 0;
}

bool FakeService::channelOpen() const {
  MutexLock lock(state_->mutex);
  return state_->channelOpen;
}

}  // namespace lexora
