// Frames built by the encoder are the frames the decoder reads back, header byte for byte.
#include "link/socket/frame_encoder.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/socket/frame_decoder.h"

namespace lexora::device_protocol {
namespace {

TEST(FrameEncoder, WritesTheLengthBigEndianAndTheDecoderReadsItsFramesBack) {
  const std::vector<uint8_t> reason(300, 'x');
  std::vector<uint8_t> bytes;
  appendFrame(bytes, kError, reason);
  appendFrame(bytes, kClose, {});
  ASSERT_EQ(bytes.size(), 2 * kFrameHeaderSize + reason.size());
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + kFrameHeaderSize),
            (std::vector<uint8_t>{kError, 0, 0, 0x01, 0x2C}));

  FrameDecoder decoder(Side::Device);
  std::vector<Frame> frames;
  for (size_t at = 0; at < bytes.size();) {
    size_t used = 0;
    Frame frame;
    FrameError error;
    const auto step = decoder.feed(std::span(bytes).subspan(at), used, frame, error);
    ASSERT_NE(step, FrameDecoder::Step::Malformed) << error.detail;
    if (step == FrameDecoder::Step::Frame) frames.push_back(std::move(frame));
    at += used;
  }
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].type, kError);
  EXPECT_EQ(frames[0].payload, reason);
  EXPECT_EQ(frames[1].type, kClose);
  EXPECT_TRUE(frames[1].payload.empty());
}

}  // namespace
}  // namespace lexora::device_protocol
