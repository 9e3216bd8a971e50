#include "base/bounded_line.h"

#include <gtest/gtest.h>

#include <string>

namespace lexora {
namespace {

// A line arriving in pieces is whole at its LF; what follows it is left for the next line.
TEST(BoundedLine, GathersPiecesAndLeavesWhatFollowsTheLine) {
  BoundedLine line(16);
  EXPECT_EQ(line.add("s3c"), 3u);
  EXPECT_FALSE(line.done());
  EXPECT_EQ(line.add("ret\r\nnext\n"), 5u) << "up to and including the LF";
  EXPECT_TRUE(line.complete());
  EXPECT_EQ(line.add("more"), 0u) << "a whole line takes nothing more";
  EXPECT_EQ(line.take(), "s3cret");
}

// The bound is the line's length: exactly the bound is a line, one byte more is refused at
// once, however much more is still to come.
TEST(BoundedLine, RefusesTheByteAfterTheBound) {
  BoundedLine exact(4);
  EXPECT_EQ(exact.add("ab"), 2u);
  EXPECT_EQ(exact.add("cd\n"), 3u);
  EXPECT_TRUE(exact.complete());
  EXPECT_EQ(exact.take(), "abcd");

  BoundedLine over(4);
  EXPECT_EQ(over.add("abc"), 3u);
  EXPECT_EQ(over.add(std::string(1 << 20, 'x')), 2u) << "only up to one past the bound";
  EXPECT_TRUE(over.tooLong());
  EXPECT_FALSE(over.complete());
  EXPECT_EQ(over.add("\n"), 0u);
  EXPECT_EQ(over.take(), "");
}

}  // namespace
}  // namespace lexora
