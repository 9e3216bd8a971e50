// An in-process connectivity service for tests: one or more devices with scripted
// properties, failures injectable at every call, a password challenge, and a channel that
// records every write byte for byte and answers each message the handheld acknowledges
// (name, record, end flag) from a script. Sink calls come from a service thread of its
// own, as with the real services.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/connectivity_service.h"
#include "pack/transfer_message.h"

namespace lexora {

class FakeService {
 public:
  enum class Call {
    CreateManager,
    GetDevices,
    DeviceCount,
    GetDevice,
    GetProperties,
    PropertyCount,
    GetProperty,
    PropertyName,
    PropertyValue,
    OpenChannel,
  };
  // Error: the call returns E_FAIL. NullResult: it succeeds without the interface.
  enum class Fault { Error, NullResult };

  struct Property {
    std::u16string name;
    Variant value;
  };

  // What the device does after a message it acknowledges.
  struct Reply {
    enum class Kind { Message, Silence, CloseChannel, FailedRead };
    Kind kind = Kind::Message;
    std::vector<uint8_t> bytes;  // Message: delivered as one read
  };
  static Reply ack(uint8_t type = static_cast<uint8_t>(MessageType::Acknowledgement),
                   std::vector<uint8_t> payload = {});
  static Reply raw(std::vector<uint8_t> bytes) { return {Reply::Kind::Message, std::move(bytes)}; }
  static Reply silence() { return {Reply::Kind::Silence, {}}; }
  static Reply closeChannel() { return {Reply::Kind::CloseChannel, {}}; }
  static Reply failedRead() { return {Reply::Kind::FailedRead, {}}; }

  struct Write {
    std::vector<uint8_t> bytes;
    bool accepted;
  };

  FakeService();
  ~FakeService();
  FakeService(const FakeService&) = delete;
  FakeService& operator=(const FakeService&) = delete;

  ServiceFactory factory();

  // Configuration, before Open.
  void failCall(Call call, Fault fault = Fault::Error, int atIndex = -1);
  // Devices in the collection, each with its properties. Default: one device with
  // "Name" = "Fake handheld" and "BBPIN" = 0x2A3B4C5D.
  void setDevices(std::vector<std::vector<Property>> devices);
  // Challenges the sink on OpenChannel until answered with this password's digest; the
  // channel is refused on Cancel or after `attempts` wrong answers.
  void setPassword(std::u16string password, int32_t attempts);
  // Whether releasing the channel is reported through OnChannelClosed (and after how long).
  void setCloseReport(bool report, int delayMs = 0);
  // Decides per write whether the device accepts it (default: every write).
  void setWriteFilter(std::function<bool(size_t index, std::span<const uint8_t> bytes)> filter);
  // Keeps the end flag's first write waiting, as a handheld still busy with the last block
  // would, until `release` returns true (at most 20 s): a test can act while a dictionary is
  // surely mid-way.
  void holdEndFlagUntil(std::function<bool()> release);
  // What the handheld says when a call fails (GetHandheldReason); empty by default.
  void setHandheldReason(std::u16string reason);
  // Replies for the acknowledged messages, in order; afterwards each gets ack(100).
  void queueReply(Reply reply);

  // Acting as the device, from the service thread.
  void deliver(std::vector<uint8_t> message);
  void reportClosed();
  // Waits until the service thread has done everything asked of it so far.
  void settle();

  // Observation.
  std::vector<Write> writes() const;
  std::vector<uint8_t> acceptedBytes() const;
  std::vector<std::string> calls() const;
  std::vector<int32_t> challenges() const;  // attempts passed to each challenge
  int liveObjects() const;                  // service objects not yet destroyed
  bool holdsSink() const;                   // the service still holds the sink
  bool channelOpen() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace lexora
