// `serve`'s options: each lands in its own setting, and a number outside its option's range,
// a missing value or an unknown word is a usage error.
#include "handheld/serve_command_line.h"

#include <gtest/gtest.h>

namespace lexora::handheld {
namespace {

std::optional<ServeCommandLine> parse(std::vector<std::string> args) {
  std::string error;
  auto line = parseServeCommandLine(args, error);
  EXPECT_EQ(line.has_value(), error.empty()) << error;
  return line;
}

TEST(ServeCommandLine, EachOptionSetsItsOwnSetting) {
  const auto line = parse({"--listen",
                           "unix:/x",
                           "--store",
                           "s",
                           "--password-file",
                           "-",
                           "--attempts",
                           "3",
                           "--pin",
                           "abc",
                           "--max-connections",
                           "4",
                           "--idle-timeout",
                           "5",
                           "--max-memory",
                           "6",
                           "--refuse-writes-after",
                           "7",
                           "--ack-type",
                           "8",
                           "--fault-at",
                           "9",
                           "--close-after",
                           "10",
                           "--ack-delay",
                           "11",
                           "--gather-end-flags",
                           "12",
                           "--allow-remote",
                           "--two-devices",
                           "--predictable-temp-names"});
  ASSERT_TRUE(line);
  EXPECT_EQ(line->listen, "unix:/x");
  EXPECT_EQ(line->options.store, "s");
  EXPECT_EQ(line->passwordSource, "-");
  EXPECT_EQ(line->options.attempts, 3);
  EXPECT_EQ(line->options.pin.type, Variant::Type::String);
  EXPECT_EQ(line->options.pin.string, u"abc");
  EXPECT_EQ(line->options.maxConnections, 4u);
  EXPECT_EQ(line->options.idleTimeout, std::chrono::seconds(5));
  EXPECT_EQ(line->options.maxMemoryBytes, 6u << 20);
  EXPECT_TRUE(line->faults.refuseWrites);
  EXPECT_EQ(line->faults.refuseWritesAfter, 7);
  EXPECT_EQ(line->faults.ackFault, FaultPlan::AckFault::WrongType);
  EXPECT_EQ(line->faults.wrongAckType, 8);
  EXPECT_EQ(line->faults.faultFirst, 9);
  EXPECT_EQ(line->faults.faultLast, 9);
  EXPECT_EQ(line->faults.closeAfter, 10);
  EXPECT_EQ(line->faults.ackDelayMs, 11);
  EXPECT_EQ(line->faults.gatherEndFlags, 12u);
  EXPECT_TRUE(line->allowRemote);
  EXPECT_TRUE(line->faults.twoDevices);
  EXPECT_FALSE(line->faults.noDevice);
  EXPECT_TRUE(line->faults.predictableTempNames);
}

TEST(ServeCommandLine, NumbersAreTakenAtTheEndsOfTheirRangeAndRefusedBeyond) {
  struct Range {
    const char* option;
    const char* least;
    const char* beyondLeast;  // nullptr: 0 is allowed
    const char* most;
    const char* beyondMost;
  };
  for (const Range& r : {
           Range{"--attempts", "0", nullptr, "2147483647", "2147483648"},
           Range{"--max-connections", "1", "0", "100000", "100001"},
           Range{"--idle-timeout", "1", "0", "86400", "86401"},
           Range{"--max-memory", "1", "0", "16777216", "16777217"},
           Range{"--ack-type", "0", nullptr, "255", "256"},
           Range{"--fault-from", "1", "0", "1000000000000", "99999999999999999999"},
           Range{"--ack-delay", "0", nullptr, "600000", "600001"},
           Range{"--gather-end-flags", "1", "0", "100000", "100001"},
       }) {
    EXPECT_TRUE(parse({r.option, r.least})) << r.option;
    EXPECT_TRUE(parse({r.option, r.most})) << r.option;
    EXPECT_FALSE(parse({r.option, r.beyondMost})) << r.option;
    if (r.beyondLeast) {
      EXPECT_FALSE(parse({r.option, r.beyondLeast})) << r.option;
    }
    EXPECT_FALSE(parse({r.option, "-1"})) << r.option;
    EXPECT_FALSE(parse({r.option, "1x"})) << r.option;
    EXPECT_FALSE(parse({r.option})) << r.option;
  }
  // A value is never taken for an option, nor an option for a value.
  EXPECT_FALSE(parse({"--listen"}));
  EXPECT_FALSE(parse({"--no-ack", "x"}));
  EXPECT_FALSE(parse({"--password", "secret"}));
}

}  // namespace
}  // namespace lexora::handheld
