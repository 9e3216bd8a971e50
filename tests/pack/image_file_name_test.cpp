#include "pack/image_file_name.h"

#include <gtest/gtest.h>

namespace lexora {
namespace {

TEST(PackedImageFileName, NamesCannotLeaveTheirFolderOrShareAFile) {
  EXPECT_EQ(packedImageFileName("oxford"), "oxford.lxp");
  EXPECT_EQ(packedImageFileName("../etc/passwd"), "%2E.%2Fetc%2Fpasswd.lxp");
  EXPECT_EQ(packedImageFileName(".hidden"), "%2Ehidden.lxp");
  EXPECT_EQ(packedImageFileName(""), "%.lxp");
  EXPECT_EQ(packedImageFileName("a b%"), "a%20b%25.lxp");
  EXPECT_EQ(packedImageFileName("\xE8\xAF\x8D"), "\xE8\xAF\x8D.lxp");
  EXPECT_EQ(packedImageFileName("\xFF"), "%FF.lxp");
  // Two dictionaries packed into one folder must not overwrite each other.
  EXPECT_NE(packedImageFileName("a/b"), packedImageFileName("a_b"));
  EXPECT_NE(packedImageFileName("a:b"), packedImageFileName("a_b"));
}

}  // namespace
}  // namespace lexora
