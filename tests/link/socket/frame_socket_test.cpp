// How FrameSocket tells apart the ways a read can end: its callers decide by the kind
// (the emulator answers a malformed frame with an Error frame, logs other failures, and
// says nothing about a clean hang-up).
#include "link/socket/frame_socket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>
#include <vector>

namespace lexora::device_protocol {
namespace {

using namespace std::chrono_literals;
using Kind = FrameError::Kind;

struct Case {
  const char* what;
  std::vector<uint8_t> bytes;  // what the PC sends before it hangs up (or falls silent)
  bool hangUp;
  Kind expected;
};

TEST(FrameSocketTest, AFailedReadSaysWhyByItsKind) {
  const Case cases[] = {
      {"nothing, then the end", {}, true, Kind::Closed},
      {"half a header", {kWrite, 0, 0}, true, Kind::ClosedMidFrame},
      {"a header without its payload", {kWrite, 0, 0, 0, 2}, true, Kind::ClosedMidFrame},
      {"a payload cut short", {kWrite, 0, 0, 0, 2, 'A'}, true, Kind::ClosedMidFrame},
      {"nothing, and no end", {}, false, Kind::TimedOut},
      {"a payload that stops coming", {kWrite, 0, 0, 0, 2, 'A'}, false, Kind::TimedOut},
      {"a type the PC never sends", {kMessage, 0, 0, 0, 0}, false, Kind::Malformed},
      {"an unknown type", {0x42, 0, 0, 0, 0}, false, Kind::Malformed},
      {"more than the type allows", {kHello, 0, 0, 0, 6}, false, Kind::Malformed},
  };
  for (const Case& c : cases) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    UniqueFd pc(fds[0]);
    FrameSocket device(UniqueFd{fds[1]}, Side::Pc);
    if (!c.bytes.empty()) {
      ASSERT_EQ(send(pc.get(), c.bytes.data(), c.bytes.size(), MSG_NOSIGNAL),
                static_cast<ssize_t>(c.bytes.size()));
    }
    if (c.hangUp) pc.reset();
    Frame frame;
    FrameError error;
    EXPECT_FALSE(device.read(frame, error, 50ms)) << c.what;
    EXPECT_EQ(error.kind, c.expected) << c.what << ": " << error.detail;
    EXPECT_FALSE(error.detail.empty()) << c.what;
  }
}

// A caller may read with a short time-out and try again: the frame must come whole.
TEST(FrameSocketTest, AReadThatTimesOutInsideAFrameLosesNothing) {
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  UniqueFd pc(fds[0]);
  FrameSocket device(UniqueFd{fds[1]}, Side::Pc);
  const std::vector<uint8_t> parts[] = {{kWrite, 0, 0}, {0, 3, 'a'}, {'b', 'c', kClose, 0}};
  Frame frame;
  FrameError error;
  for (const auto& part : parts) {
    EXPECT_FALSE(device.read(frame, error, 20ms));
    EXPECT_EQ(error.kind, Kind::TimedOut);
    ASSERT_EQ(send(pc.get(), part.data(), part.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(part.size()));
  }
  ASSERT_TRUE(device.read(frame, error, 20ms)) << error.detail;
  EXPECT_EQ(frame.type, kWrite);
  EXPECT_EQ(frame.payload, (std::vector<uint8_t>{'a', 'b', 'c'}));
  EXPECT_FALSE(device.read(frame, error, 20ms));  // the Close frame is still short of its length
  const uint8_t rest[] = {0, 0, 0};
  ASSERT_EQ(send(pc.get(), rest, sizeof rest, MSG_NOSIGNAL), 3);
  ASSERT_TRUE(device.read(frame, error, 20ms)) << error.detail;
  EXPECT_EQ(frame.type, kClose);
}

// A peer that sends a byte now and then, each well inside the time-out, still gets no more
// than the time-out for the whole frame; the bytes it sent are kept for the next read.
TEST(FrameSocketTest, ATrickledFrameGetsOneTimeOutInAll) {
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  UniqueFd pc(fds[0]);
  FrameSocket device(UniqueFd{fds[1]}, Side::Pc);
  const std::vector<uint8_t> bytes{kWrite, 0,   0,   0,   12,  'a', 'b', 'c', 'd',
                                   'e',    'f', 'g', 'h', 'i', 'j', 'k', 'l'};
  std::thread trickle([&] {
    for (uint8_t byte : bytes) {
      std::this_thread::sleep_for(40ms);
      if (send(pc.get(), &byte, 1, MSG_NOSIGNAL) != 1) return;
    }
  });
  Frame frame;
  FrameError error;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(device.read(frame, error, 200ms));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(error.kind, Kind::TimedOut) << error.detail;
  EXPECT_LT(took, 500ms) << "the time-out restarted with each byte";
  trickle.join();
  ASSERT_TRUE(device.read(frame, error, 200ms)) << error.detail;
  EXPECT_EQ(frame.payload.size(), 12u);
}

}  // namespace
}  // namespace lexora::device_protocol
