#include "app/file_selection.h"

#include <gtest/gtest.h>

namespace lexora {
namespace {

using Paths = std::vector<std::u16string>;

// A buffer as the platform's file dialog fills it, embedded NULs included.
template <size_t N>
std::u16string_view raw(const char16_t (&text)[N]) {
  return {text, N - 1};
}

TEST(OpenFileBuffer, OneFileSeveralFilesAndADriveRoot) {
  // One file: its full path; the name starts after the last backslash.
  EXPECT_EQ(parseOpenFileBuffer(raw(u"C:\\dicts\\oxford.txt\0\0"), 9),
            Paths{u"C:\\dicts\\oxford.txt"});
  // Several: the folder, NUL, each name with its NUL, and a final NUL.
  const std::u16string_view several = raw(u"C:\\dicts\0a.txt\0b.ifo\0\0");
  EXPECT_EQ(parseOpenFileBuffer(several, 9), (Paths{u"C:\\dicts\\a.txt", u"C:\\dicts\\b.ifo"}));
  // A drive root ends with its backslash already: it is not doubled.
  const std::u16string_view root = raw(u"D:\\\0a.txt\0b.txt\0\0");
  EXPECT_EQ(parseOpenFileBuffer(root, 4), (Paths{u"D:\\a.txt", u"D:\\b.txt"}));
  // One file in a drive root.
  const std::u16string_view rootOne = raw(u"D:\\a.txt\0\0");
  EXPECT_EQ(parseOpenFileBuffer(rootOne, 3), Paths{u"D:\\a.txt"});
}

TEST(OpenFileBuffer, MalformedBuffersStayInside) {
  EXPECT_TRUE(parseOpenFileBuffer(u"", 0).empty());
  EXPECT_TRUE(parseOpenFileBuffer(u"C:\\x", 9).empty());
  // No final NUL: the last name ends with the buffer.
  const std::u16string_view cut = raw(u"C:\\d\0a.txt\0b");
  EXPECT_EQ(parseOpenFileBuffer(cut, 5), (Paths{u"C:\\d\\a.txt", u"C:\\d\\b"}));
}

TEST(FileSelection, OrderKeptJoinedAndACancelKeepsIt) {
  const FileSelection chosen = makeFileSelection({u"/d/b.ifo", u"/d/a.txt"});
  EXPECT_EQ(chosen.text, u"/d/b.ifo;/d/a.txt");
  EXPECT_EQ(chosen.paths, (std::vector<std::filesystem::path>{u"/d/b.ifo", u"/d/a.txt"}));
  const FileSelection kept = applyFileDialogResult(chosen, std::nullopt);
  EXPECT_EQ(kept.paths, chosen.paths);
  EXPECT_EQ(kept.text, chosen.text);
  EXPECT_EQ(applyFileDialogResult(chosen, Paths{u"/x.txt"}).text, u"/x.txt");
}

}  // namespace
}  // namespace lexora
