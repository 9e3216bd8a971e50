#include "pack/image_file_name.h"

#include <gtest/gtest.h>

#include "base/text_codec.h"

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

// A name too long for a file name (its temporary name included) is cut on a character and
// marked with a hash of the whole name: the same name always gives the same file, and
// names alike up to the cut still get files of their own.
TEST(PackedImageFileName, OverLongNamesAreCutButStayTheirOwn) {
  std::string cjk;
  for (int i = 0; i < 82; ++i) cjk += "\xE8\xAF\x8D";
  const std::string a250(250, 'a');
  for (const std::string& name : {std::string(300, 'x'), cjk, std::string(300, ' '), a250 + "b"}) {
    const std::string file = packedImageFileName(name);
    EXPECT_LE(file.size(), kMaxImageFileName) << name;
    EXPECT_LE(1 + file.size() + 7, 255u) << "the temporary .NAME.XXXXXX too";
    EXPECT_EQ(firstInvalidUtf8(file), std::string_view::npos) << "cut inside a character";
    EXPECT_TRUE(file.ends_with(".lxp")) << file;
    EXPECT_EQ(packedImageFileName(name), file);
  }
  EXPECT_EQ(packedImageFileName(std::string(300, ' ')).find('~') % 3, 0u)
      << "a space is %20: not cut inside one";
  EXPECT_NE(packedImageFileName(a250 + "b"), packedImageFileName(a250 + "c"));
  // A name that fits is left as it is.
  EXPECT_EQ(packedImageFileName(std::string(243, 'a')), std::string(243, 'a') + ".lxp");
}

}  // namespace
}  // namespace lexora
