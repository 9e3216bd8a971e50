// Who serves a socket and who owns its folder: a socket in a shared folder may be another
// user's, waiting to be sent what was meant for the handheld.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "link/socket/default_device_address.h"
#include "link/socket/socket_connect.h"
#include "support/test_support.h"

namespace lexora {
namespace {

TEST(PeerCheck, AcceptsOnlyAPeerOfTheGivenUser) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  UniqueFd a(pair[0]), b(pair[1]);
  std::string error;
  EXPECT_TRUE(peerRunsAs(a.get(), geteuid(), error)) << error;
  EXPECT_FALSE(peerRunsAs(a.get(), geteuid() + 1, error));
  EXPECT_FALSE(error.empty());
}

TEST(PrivateFolder, IsMadePrivateAndRefusedWhenOthersCouldUseIt) {
  test::TempDir dir;
  std::string error;
  const auto made = dir / "made";
  ASSERT_TRUE(preparePrivateFolder(made, error)) << error;
  struct stat info;
  ASSERT_EQ(lstat(made.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_TRUE(preparePrivateFolder(made, error)) << error;  // ours already

  const auto open = dir / "open";
  std::filesystem::create_directory(open);
  chmod(open.c_str(), 01777);
  EXPECT_FALSE(preparePrivateFolder(open, error));
  // A link to a private folder is not the folder.
  const auto link = dir / "link";
  std::filesystem::create_directory_symlink(made, link);
  EXPECT_FALSE(preparePrivateFolder(link, error));
}

}  // namespace
}  // namespace lexora
