#include "cli/status_line.h"

#include <gtest/gtest.h>

namespace lexora {
namespace {

std::string bar(int filled) {
  return " [" + std::string(static_cast<size_t>(filled), '#') +
         std::string(static_cast<size_t>(kProgressBarWidth - filled), '.') + "]";
}

// The calls arrive as the sending phase makes them: each block's text, then its percentage.
TEST(StatusLineTest, BarShowsTheCurrentPercentageOnSendingLinesOnly) {
  StatusLine line;
  EXPECT_EQ(line.setText("content 33%"), "content 33%") << "no bar before its percentage";
  EXPECT_EQ(line.setProgress(33), "content 33%" + bar(kProgressBarWidth * 33 / 100));
  line.setText("content 66%");
  EXPECT_EQ(line.setProgress(66), "content 66%" + bar(kProgressBarWidth * 66 / 100));
  line.setText("content 100%");
  EXPECT_EQ(line.setProgress(100), "content 100%" + bar(kProgressBarWidth));
  EXPECT_EQ(line.setText("End sending..."), "End sending...");
  EXPECT_EQ(line.setText("Load dictionary file b.txt..."), "Load dictionary file b.txt...");
  EXPECT_EQ(line.setText("Ready"), "Ready");
  EXPECT_EQ(statusLineShown("x", 250), "x" + bar(kProgressBarWidth));
}

}  // namespace
}  // namespace lexora
