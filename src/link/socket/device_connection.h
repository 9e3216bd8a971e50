// One connection to the handheld (docs/device-protocol.md): the device list it announced
// and, once opened, its channel, with the reader thread that calls the link's sink. The
// socket service's collection, device and channel objects share it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/mutex.h"
#include "link/connectivity_service.h"
#include "link/socket/device_protocol.h"
#include "link/socket/frame_socket.h"
#include "link/socket/socket_service.h"
#include "link/socket/unique_fd.h"
#include "pack/transfer_message.h"

namespace lexora {

class DeviceConnection {
 public:
  DeviceConnection(UniqueFd fd, std::shared_ptr<const SocketServiceOptions> options);
  ~DeviceConnection();
  DeviceConnection(const DeviceConnection&) = delete;
  DeviceConnection& operator=(const DeviceConnection&) = delete;

  // Greets the handheld and takes its device list. False (reported through the
  // diagnostics) when it does not answer as it should.
  bool greet();

  const std::vector<device_protocol::DeviceDescription>& devices() const { return devices_; }

  // Why the handheld turned the greeting away or refused the channel, in its own words;
  // empty when it gave no reason.
  std::string handheldReason();

  // Opens the channel `name` on device `index`. The reader thread started here answers the
  // password challenges through `sink` and calls it until the channel has ended.
  HResult openChannel(int32_t index, std::u16string_view name, IChannelEvents* sink);

  // Completes once the bytes are handed over, as a USB stack accepts a transfer; a refusal
  // by the handheld fails the next write or read. Until the handheld has accepted a write,
  // and once it has refused one, each write is sent at once and waits for its own result
  // instead, so that the link's halving meets every refusal at the write that caused it.
  //
  // Otherwise the writes of a message wait in the socket's queue until a message that the
  // handheld answers is complete: a block's key and record then travel in one send, and
  // the handheld wakes once per block rather than once per write.
  HResult write(const uint8_t* data, uint32_t count);

  // Takes one whole message from the handheld, waiting up to the reply wait for it.
  HResult read(uint8_t* buffer, uint32_t capacity, uint32_t* delivered);

  // Closes the channel (if any) and waits for the reader to finish reporting it.
  void endChannel();

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
  bool sendHeld();

  // Reports one refused write, if the handheld refused one since the last report.
  bool takeRefusal() REQUIRES(mutex_);

  // Waits until at most `limit` writes await their result. False when the channel ended
  // first or the handheld stayed silent (which ends the connection).
  bool awaitResults(size_t limit) REQUIRES(mutex_);

  static void runReader(DeviceConnection* connection, Ref<IChannelEvents> sink);

  // Waits until the socket is the reader thread's to read: while a caller takes the frames
  // and for a while after, since a caller that waited once will soon wait again. False with
  // `end` when a caller met the end of the connection and left it to the thread to report.
  bool awaitTurn(End& end);

  // The reader thread is done with a frame: a caller that waited meanwhile takes over.
  void handBack();

  // Waits until `done` holds or `deadline` passes; true when it holds. While no other thread
  // reads the socket, this one takes the frames itself (letting go of mutex_ meanwhile).
  template <class Done>
  bool awaitFrames(Done done, Clock::time_point deadline) REQUIRES(mutex_);

  // A caller's turn at the socket: the next frame (if one comes within a slice of time) and
  // any others already buffered. Returns the end of the connection if it met one, for the
  // reader thread to report.
  std::optional<End> takeFramesAsCaller(IChannelEvents* sink);

  void readLoop(IChannelEvents* sink);

  // Takes one frame while the channel is being opened. False when it ends the connection.
  bool takeOpeningFrame(device_protocol::Frame& frame, IChannelEvents* sink, End& end,
                        bool& opened);

  // Takes one frame of the open channel, on the reader thread or a caller's. False when it
  // ends the connection.
  bool takeOpenFrame(device_protocol::Frame& frame, IChannelEvents* sink, End& end);

  static End outOfPlace(const device_protocol::Frame& frame);

  void answerChallenge(IChannelEvents* sink, int32_t attempts);

  void report(const std::string& text);

  // Ends the connection after a protocol fault, telling the handheld why.
  void fail(const std::string& reason);
  // Tells the handheld why the connection ends (an Error frame); it may be gone already.
  void sendError(const std::string& reason);

  device_protocol::FrameSocket socket_;
  const std::shared_ptr<const SocketServiceOptions> options_;
  std::vector<device_protocol::DeviceDescription> devices_;

  Mutex writeMutex_;
  MessageBoundaries boundaries_ GUARDED_BY(writeMutex_);  // where the written messages end
  Mutex mutex_;
  std::condition_variable_any changed_;
  std::condition_variable_any turn_;  // the reader thread waits here for the socket
  State state_ GUARDED_BY(mutex_) = State::None;
  bool inChallenge_ GUARDED_BY(mutex_) = false;
  bool wasOpened_ GUARDED_BY(mutex_) = false;
  bool closingByPc_ GUARDED_BY(mutex_) = false;
  std::string handheldReason_ GUARDED_BY(mutex_);
  // Writes handed to the socket whose result has not come.
  size_t unconfirmed_ GUARDED_BY(mutex_) = 0;
  size_t refusals_ GUARDED_BY(mutex_) = 0;    // refused writes not yet reported by a write or read
  bool accepted_ GUARDED_BY(mutex_) = false;  // the handheld accepted a write on this channel
  bool refused_ GUARDED_BY(mutex_) = false;   // ... or refused one
  bool writerWaits_ GUARDED_BY(mutex_) = false;  // a write waits for results
  std::deque<std::vector<uint8_t>> messages_ GUARDED_BY(mutex_);
  // Who takes the frames from the socket (one thread at a time): the reader thread, or a
  // caller waiting for them, which is woken by the socket directly.
  Reader reading_ GUARDED_BY(mutex_) = Reader::Nobody;
  // The reader thread leaves the socket to callers until then.
  Clock::time_point leaseUntil_ GUARDED_BY(mutex_){};
  bool callerWaits_ GUARDED_BY(mutex_) = false;  // a caller waited while the reader thread read
  std::optional<End> pendingEnd_ GUARDED_BY(mutex_);  // an end a caller met, for the reader thread
  // The reader thread's, while the channel may use it.
  IChannelEvents* sink_ GUARDED_BY(mutex_) = nullptr;
  std::thread reader_;
};

}  // namespace lexora
