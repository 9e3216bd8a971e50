#include "sources/mdict_block.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "support/test_support.h"

namespace lexora {
namespace {

using namespace std::string_literals;

std::string sumOf(std::string_view bytes) {
  const uLong sum = adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(bytes.data()),
                            static_cast<uInt>(bytes.size()));
  std::string out;
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(sum >> shift));
  return out;
}

std::string zlibBlock(std::string_view data, std::string_view sumOfBytes) {
  const std::vector<uint8_t> packed = test::zlibCompress(data);
  return "\x02\x00\x00\x00"s + sumOf(sumOfBytes) + std::string(packed.begin(), packed.end());
}

TEST(MdictBlockTest, UnpacksStoredAndZlibBlocksAndChecksTheirSums) {
  const std::string data = "apple\0banana\0"s;
  std::string out;
  EXPECT_EQ(decodeMdictBlock("\x00\x00\x00\x00"s + sumOf(data) + data, data.size(), out),
            MdictBlockOutcome::ok);
  EXPECT_EQ(out, data);
  EXPECT_EQ(decodeMdictBlock(zlibBlock(data, data), data.size(), out), MdictBlockOutcome::ok);
  EXPECT_EQ(out, data);

  EXPECT_EQ(decodeMdictBlock(zlibBlock(data, "other"), data.size(), out),
            MdictBlockOutcome::badChecksum);
  EXPECT_TRUE(out.empty());
  // A size that is not the data's, either way: the table is wrong, which a reader must tell
  // from damaged data (only then are later blocks' records misplaced).
  EXPECT_EQ(decodeMdictBlock(zlibBlock(data, data), data.size() + 1, out),
            MdictBlockOutcome::wrongSize);
  EXPECT_EQ(decodeMdictBlock(zlibBlock(data, data), data.size() - 1, out),
            MdictBlockOutcome::wrongSize);
  EXPECT_EQ(decodeMdictBlock("\x00\x00\x00\x00"s + sumOf(data) + data, data.size() - 1, out),
            MdictBlockOutcome::wrongSize);
  // Damaged: a stream failing zlib's own check or breaking off, types the format lacks.
  std::string corrupt = zlibBlock(data, data);
  corrupt.back() = static_cast<char>(corrupt.back() ^ 1);
  EXPECT_EQ(decodeMdictBlock(corrupt, data.size(), out), MdictBlockOutcome::damaged);
  EXPECT_EQ(decodeMdictBlock(corrupt.substr(0, corrupt.size() - 6), data.size(), out),
            MdictBlockOutcome::damaged);
  EXPECT_EQ(decodeMdictBlock("\x03\x00\x00\x00"s + sumOf(data) + data, data.size(), out),
            MdictBlockOutcome::damaged);
  EXPECT_EQ(decodeMdictBlock("\x02\x00\x00"s, 0, out), MdictBlockOutcome::damaged);
}

TEST(MdictBlockTest, ABombUnpacksNoFurtherThanItsDeclaredSize) {
  // 16 MiB of zeros packs to about 16 KiB: declared as a kilobyte it is cut off, not unpacked.
  const std::string zeros(size_t{16} << 20, '\0');
  const std::string bomb = zlibBlock(zeros, zeros);
  std::string out;
  EXPECT_EQ(decodeMdictBlock(bomb, 1024, out), MdictBlockOutcome::wrongSize);
  EXPECT_TRUE(out.empty());
  // A declared size out of all proportion to the packed bytes takes no memory at all.
  EXPECT_FALSE(isPlausibleMdictBlock(100, uint64_t{1} << 40));
  EXPECT_FALSE(isPlausibleMdictBlock(1000, 10'000'000));
  EXPECT_TRUE(isPlausibleMdictBlock(20'000, 10'000'000));
  EXPECT_EQ(decodeMdictBlock(zlibBlock("x", "x"), uint64_t{1} << 40, out),
            MdictBlockOutcome::wrongSize);
}

}  // namespace
}  // namespace lexora
