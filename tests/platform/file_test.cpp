// Files opened and written on behalf of whoever runs the tools: nothing another user
// plants is written through, and nothing but a regular file is read.
#include "platform/file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/whole_file.h"
#include "support/test_support.h"

namespace lexora {
namespace {

namespace fs = std::filesystem;

bool write(const fs::path& path, std::string_view text, std::string& error) {
  auto file = AtomicFile::create(path, error);
  if (!file) return false;
  file->write({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  return file->commit(error);
}

TEST(AtomicFile, NeverWritesThroughWhatIsPlantedAndKeepsLinksAndModes) {
  test::TempDir dir;
  std::string error;
  // A link planted where the old writer put its temporary file.
  test::writeFile(dir / "victim", "precious");
  fs::create_symlink(dir / "victim", dir / "out.lxp.part");
  ASSERT_TRUE(write(dir / "out.lxp", "image", error)) << error;
  EXPECT_EQ(test::readFile(dir / "victim"), "precious");
  EXPECT_EQ(test::readFile(dir / "out.lxp"), "image");

  // An existing file keeps its permissions; through a link its target is replaced.
  fs::permissions(dir / "out.lxp",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("out.lxp", dir / "link.lxp");
  ASSERT_TRUE(write(dir / "link.lxp", "second", error)) << error;
  EXPECT_TRUE(fs::is_symlink(dir / "link.lxp"));
  EXPECT_EQ(test::readFile(dir / "out.lxp"), "second");
  EXPECT_EQ(fs::status(dir / "out.lxp").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  // Nothing is left behind but what was there and what was written.
  size_t files = 0;
  for ([[maybe_unused]] const auto& item : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 4u);  // victim, out.lxp.part, out.lxp, link.lxp

  // A FIFO (like a device) cannot be replaced by a file: it is written into.
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  const int reader = ::open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(write(dir / "fifo", "image", error)) << error;
  char got[16] = {};
  EXPECT_EQ(::read(reader, got, sizeof got), 5);
  ::close(reader);
  EXPECT_EQ(std::string(got), "image");
  EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
}

// The status a child ends with after starting an image in `dir` and getting `signal`, with
// `ignored` ignored from the start (as nohup ignores SIGHUP).
int endOfChildSignalledWhileWriting(const fs::path& dir, int signal, int ignored = 0) {
  const pid_t child = fork();
  if (child == 0) {
    if (ignored) ::signal(ignored, SIG_IGN);
    std::string error;
    auto file = AtomicFile::create(dir / "out.lxp", error);
    if (!file) _exit(3);
    raise(signal);
    _exit(0);  // still alive: the signal was ignored
  }
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

TEST(AtomicFile, SignalThatEndsTheProgramTakesTheTemporaryFileAlong) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    test::TempDir dir;
    const int status = endOfChildSignalledWhileWriting(dir.path(), signal);
    ASSERT_TRUE(WIFSIGNALED(status)) << "ended by its signal, so a shell says " << 128 + signal;
    EXPECT_EQ(WTERMSIG(status), signal);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 0) << signal;
  }
  // An ignored signal stays ignored: the program goes on, as nohup means it to.
  test::TempDir dir;
  const int status = endOfChildSignalledWhileWriting(dir.path(), SIGHUP, SIGHUP);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(WholeFile, RefusesWhatIsNotARegularFileWithoutWaiting) {
  test::TempDir dir;
  fs::create_symlink("/dev/zero", dir / "zero.txt");
  // A FIFO with a writer: opening it does not block, but it never ends either.
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  const int reader = ::open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
  const int writer = ::open((dir / "fifo").c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  for (const fs::path& path : {fs::path("/dev/zero"), dir / "zero.txt", dir / "fifo", dir.path()}) {
    const int descriptor = openDescriptorForReading(path);
    if (descriptor >= 0) {  // reading it whole would not end
      closeDescriptor(descriptor);
      ADD_FAILURE() << path << " was opened";
      continue;
    }
    std::string error;
    EXPECT_FALSE(readWholeFile(path, error)) << path;
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  }
  ::close(writer);
  ::close(reader);
}

}  // namespace
}  // namespace lexora
