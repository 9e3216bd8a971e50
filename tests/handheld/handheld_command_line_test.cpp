// lexora-handheld's command line: where it agrees to listen and where its password comes from.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "handheld/listen_scope.h"
#include "handheld/password_file.h"
#include "link/handheld_process.h"
#include "support/test_support.h"

namespace lexora::handheld {
namespace {

DeviceAddress tcp(const std::string& host) {
  DeviceAddress address;
  address.kind = DeviceAddress::Kind::Tcp;
  address.host = host;
  return address;
}

TEST(HandheldCommandLine, OnlyLoopbackAddressesAreServedWithoutBeingAsked) {
  for (const char* host : {"127.0.0.1", "127.1.2.3", "::1", "::ffff:127.0.0.1", "localhost"}) {
    EXPECT_TRUE(listensOnLoopbackOnly(tcp(host))) << host;
  }
  // 192.0.2.0/24 is documentation space: parsed, never reached.
  for (const char* host : {"0.0.0.0", "::", "", "192.0.2.1", "1.0.0.127"}) {
    EXPECT_FALSE(listensOnLoopbackOnly(tcp(host))) << host;
  }

  // Refused before anything listens: nothing is printed on standard output.
  auto run = test::HandheldProcess::run({"serve", "--listen", "0.0.0.0:0"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("--allow-remote"), std::string::npos) << run.err;
}

TEST(HandheldCommandLine, ThePasswordComesFromAFileNeverTheCommandLine) {
  test::TempDir dir;
  const auto run = test::HandheldProcess::run(
      {"serve", "--listen", "unix:" + (dir / "h.sock").string(), "--password", "s3cret"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "") << "it never listens";
  EXPECT_NE(run.err.find("--password-file"), std::string::npos) << run.err;

  std::string error;
  EXPECT_EQ(readPasswordFile(test::writeFile(dir / "crlf", "s3cret\r\nnext\n").string(), error),
            "s3cret");
  EXPECT_FALSE(readPasswordFile(test::writeFile(dir / "empty", "\n").string(), error));
  // The sender refuses more than 14 characters: such a handheld could never be opened.
  EXPECT_FALSE(
      readPasswordFile(test::writeFile(dir / "long", "123456789012345\n").string(), error));
  EXPECT_TRUE(readPasswordFile(test::writeFile(dir / "14", "12345678901234").string(), error));
  EXPECT_FALSE(readPasswordFile((dir / "absent").string(), error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

// A source that never ends or blocks is refused at once (the man page promises exit 1):
// a device, a FIFO without a writer, a first line past the bound.
TEST(HandheldCommandLine, APasswordFileIsARegularFileWithABoundedLine) {
  test::TempDir dir;
  std::string error;
  EXPECT_FALSE(readPasswordFile("/dev/zero", error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(readPasswordFile((dir / "fifo").string(), error));
  EXPECT_FALSE(readPasswordFile(
      test::writeFile(dir / "huge", std::string(4 << 20, '\0') + "\ns3cret\n").string(), error));
  const auto run = test::HandheldProcess::run(
      {"serve", "--listen", "unix:" + (dir / "h.sock").string(), "--password-file", "/dev/zero"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("/dev/zero"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace lexora::handheld
