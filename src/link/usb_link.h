// USBLink: the channel to the companion application on the handheld, and the event sink
// the connectivity service calls back. The transfer job makes one per run:
//
//   Ref<USBLink> link = USBLink::create(kChannelName, ui, socketServiceFactory(options));
//   if (link->Open() == 0) { ... SendPackedDictionary(*link, ...) ...; link->Close(); }
//   link.reset();  // destroys it once the service holds no reference either
//
// Threads: Open, WriteBytes, WriteBlock, WaitAndRead, ReadMessage and Close are called by
// one thread (the job's worker). The service calls the IChannelEvents methods, AddRef and
// Release on threads of its own; the password prompt runs there through `ui`.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/user_interface.h"
#include "link/connectivity_service.h"
#include "platform/event.h"

namespace lexora {

// How long ReadMessage waits for data, and Close for the service's close report.
struct LinkWaits {
  std::chrono::milliseconds data{30000};
  std::chrono::milliseconds close{5000};
};

// Why Open failed, for callers that tell the user more than that it did.
enum class OpenFailure {
  None,               // Open succeeded, or was not called
  NoHandheld,         // no service, or no device, answered
  DeviceUnreadable,   // the device answered but its properties could not be read
  PinNotANumber,      // its "BBPIN" property is not a number
  PasswordCancelled,  // a password challenge was cancelled
  PasswordRefused,    // passwords were given and the handheld still refused the channel
  ChannelRefused,     // the handheld refused the channel without asking for a password
  TurnedAway,         // the handheld answered, but turned the connection away with a reason

  // Before the service could be asked anything:
  ServiceNotInstalled,  // the service's class is not registered: its software is missing
  // The service runs in a process of its own, and this program has no proxy/stub
  // registered for its interfaces.
  InterfaceNotRegistered,
};

class USBLink final : public RefCounted<IChannelEvents> {
 public:
  using Waits = LinkWaits;

  // The creator holds the one reference returned; the object is destroyed when that and
  // every reference the service took are released. `ui` must outlive the object (it asks
  // for the password). Makes no call to the service.
  static Ref<USBLink> create(std::u16string_view channelName, UserInterface& ui,
                             ServiceFactory service, LinkWaits waits = LinkWaits());

  // Reaches the service, takes the first device, checks its "BBPIN" property and opens the
  // channel. 0 when open; -1 on any failure (no service, no device, a failed call, a PIN
  // that is not an integer, a refused password). Call once, before any write or read.
  int Open();
  // Why the last Open returned -1 (None after a 0). Same thread as Open.
  OpenFailure openFailure() const { return openFailure_; }
  // The handheld's own words for that failure, when it gave any (empty otherwise).
  const std::u16string& handheldReason() const { return handheldReason_; }

  // Sends `length` bytes in chunks of at most sendChunkSize(), halving the process-wide
  // size after a failed chunk and retrying it. False when the size fell to 0 (or no channel
  // is open, or the arguments are invalid); true when every byte was accepted.
  bool WriteBytes(const uint8_t* data, int32_t length);

  // Sends the 16-bit big-endian length, then (when length > 0) the bytes, as two WriteBytes.
  // REQUIRES: 0 <= length <= 65535; a length outside that is refused (-1, nothing sent).
  // 0 when sent, -1 as soon as a WriteBytes fails.
  int WriteBlock(const uint8_t* data, int32_t length);

  // Waits (up to Waits::data) for the service to signal data and makes one channel read
  // into `buffer` (at least 65,535 bytes). False on time-out, on the close report (unless
  // data was signalled too) and on a failed read.
  bool WaitAndRead(uint8_t* buffer, uint32_t* count);

  // Receives one message: type byte, 16-bit big-endian length N, N payload bytes, all in
  // one read. 0 when the read delivered exactly N + 3 bytes; -1 otherwise, and then the
  // out-parameters are left untouched.
  int ReadMessage(uint8_t& type, std::vector<uint8_t>& payload, int32_t& length);

  // Gives the channel back and waits up to Waits::close for the close report. Never fails.
  // Call after a successful Open, before dropping the last reference.
  void Close();

  // Any thread: whoever waits for this link is going (the dialog closed with a job running).
  // From now on the waits for data and for the close report together end one Waits::close
  // from this call: a handheld that answers at once still does, a silent one is given up on.
  void shortenWaits();

  // The chunk size shared by every link in the process: 1024 at start, only ever halved.
  static int32_t sendChunkSize();
  static void resetSendChunkSizeForTesting();

  // IChannelEvents: called by the service only.
  HResult OnQuery() override;
  HResult OnPasswordChallenge(int32_t attemptsRemaining, uint8_t* answer) override;
  HResult OnDataReady() override;
  HResult OnChannelClosed() override;

 private:
  USBLink(std::u16string_view channelName, UserInterface& ui, ServiceFactory service, Waits waits);
  ~USBLink() override;

  // Open's stages after the service was reached.
  int openThrough(IDeviceManager& manager);
  // What is left of the shortened waits (zero once past).
  std::chrono::milliseconds shortWait() const;

  Ref<IChannel> channel_;
  // Events live as long as the object, so a late call from the service always finds them.
  Event dataReadyEvent_{Event::Reset::Auto};
  Event closedEvent_{Event::Reset::Manual};
  // Set by shortenWaits(), once; the deadline is written before the event is set.
  Event shortenedEvent_{Event::Reset::Manual};
  std::once_flag shortenOnce_;
  std::atomic<std::chrono::steady_clock::time_point> shortDeadline_{};
  const std::u16string channelName_;
  UserInterface& ui_;
  const ServiceFactory service_;
  const Waits waits_;
  std::unique_ptr<uint8_t[]> receiveBuffer_;
  OpenFailure openFailure_ = OpenFailure::None;
  std::u16string handheldReason_;
  // How the last password challenge ended; set on the service's thread.
  enum class Challenge { None, Answered, Cancelled };
  std::atomic<Challenge> lastChallenge_{Challenge::None};
};

}  // namespace lexora
