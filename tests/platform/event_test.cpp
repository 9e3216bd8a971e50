#include "platform/event.h"

#include <gtest/gtest.h>

#include <thread>

namespace lexora {
namespace {

using namespace std::chrono_literals;

TEST(Event, AutoResetIsClearedByTheWaitThatFindsIt) {
  Event e(Event::Reset::Auto);
  EXPECT_FALSE(e.wait(0ms));
  e.set();
  EXPECT_TRUE(e.wait(0ms));
  EXPECT_FALSE(e.wait(0ms));
}

TEST(Event, ManualResetStaysSetUntilReset) {
  Event e(Event::Reset::Manual, true);
  EXPECT_TRUE(e.wait(0ms));
  EXPECT_TRUE(e.wait(0ms));
  e.reset();
  EXPECT_FALSE(e.wait(0ms));
}

TEST(Event, WaitAnyReportsTheFirstSignalledAndConsumesOnlyIt) {
  Event data(Event::Reset::Auto), closed(Event::Reset::Auto);
  EXPECT_EQ(Event::waitAny({&data, &closed}, 5ms), -1);
  closed.set();
  data.set();
  EXPECT_EQ(Event::waitAny({&data, &closed}, 0ms), 0) << "the earlier event wins";
  EXPECT_EQ(Event::waitAny({&data, &closed}, 0ms), 1);
}

TEST(Event, SetFromAnotherThreadWakesTheWaiter) {
  Event e(Event::Reset::Auto);
  std::jthread setter([&] {
    std::this_thread::sleep_for(20ms);
    e.set();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(e.wait(10s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

}  // namespace
}  // namespace lexora
