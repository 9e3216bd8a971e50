// Reading an image costs what is read, not what the file's size says: `inspect` refuses a
// damaged image at its first bad message, and the handheld's `list` and `lookup` pass over
// stored images they cannot use. Run under an address-space limit far below the files' size.
#include <gtest/gtest.h>

#include <filesystem>

#include "link/handheld_process.h"
#include "link/link_test_data.h"
#include "pack/packed_image.h"
#include "support/run_program.h"
#include "support/test_support.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define LEXORA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define LEXORA_SANITIZED 1
#endif
#endif

namespace lexora {
namespace {

// `program` with `arguments`, allowed 512 MB of address space.
test::ProgramRun limited(const std::string& program, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"-c", "ulimit -v 524288 && exec \"$@\"", "sh", program});
  return test::runProgram("/bin/sh", arguments);
}

// The image of `name`, then a hole up to `size` bytes (sparse: it costs no disk).
void writeImage(const std::filesystem::path& path, std::u16string name, uint64_t size) {
  const std::vector<uint8_t> image = serializePackedImage(test::packedTestDictionary(name, 50));
  test::writeFile(path, std::string(image.begin(), image.end()));
  if (size > image.size()) std::filesystem::resize_file(path, size);
}

TEST(LargeImage, IsReadAsItStreamsAndNeverWhole) {
#ifdef LEXORA_SANITIZED
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
#endif
  test::TempDir dir;
  const std::filesystem::path store = dir / "store";
  std::filesystem::create_directories(store);
  constexpr uint64_t kHuge = 4ull << 30;
  writeImage(store / "good.lxp", u"good", 0);
  writeImage(store / "trailing.lxp", u"trailing", kHuge);  // whole, then 4 GB after its end
  test::writeFile(store / "zeros.lxp", "");
  std::filesystem::resize_file(store / "zeros.lxp", kHuge);  // type 0 at offset 0

  const auto inspect = limited(test::builtProgram("src/cli/lexora-cli"),
                               {"--lang", "en", "inspect", (store / "zeros.lxp").string()});
  EXPECT_EQ(inspect.exitStatus, 1);
  EXPECT_NE(inspect.err.find("at offset 0"), std::string::npos) << inspect.err;

  const std::string handheld = test::HandheldProcess::binary();
  const auto list = limited(handheld, {"list", "--store", store.string()});
  EXPECT_EQ(list.exitStatus, 1) << list.err;
  EXPECT_EQ(list.out.substr(0, 5), "good\t") << list.out;
  EXPECT_EQ(list.out.find("trailing"), std::string::npos) << list.out;
  EXPECT_NE(list.err.find("zeros.lxp"), std::string::npos) << list.err;
  EXPECT_NE(list.err.find("trailing.lxp"), std::string::npos) << list.err;

  auto lookup = limited(handheld, {"lookup", "good", "word7", "--store", store.string()});
  EXPECT_EQ(lookup.exitStatus, 0) << lookup.err;
  EXPECT_EQ(lookup.out, "Word7\tthe explanation of Word7, number 49\n");
  lookup = limited(handheld, {"lookup", "trailing", "word7", "--store", store.string()});
  EXPECT_EQ(lookup.exitStatus, 1);
  EXPECT_EQ(lookup.out, "");
  EXPECT_NE(lookup.err.find("follow the end flag"), std::string::npos) << lookup.err;
}

}  // namespace
}  // namespace lexora
