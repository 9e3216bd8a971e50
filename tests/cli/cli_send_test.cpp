// lexora-cli send against a lexora-handheld started by the test.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <sstream>
#include <thread>

#include "link/handheld_process.h"
#include "pack/packed_image.h"
#include "platform/whole_file.h"
#include "support/run_program.h"
#include "support/test_support.h"

namespace lexora {
namespace {

using namespace std::chrono_literals;

const std::string kCli = test::builtProgram("src/cli/lexora-cli");
const std::string kEnglish = std::string(LEXORA_SOURCE_DIR) + "/examples/english.txt";
const std::string kChinese = std::string(LEXORA_SOURCE_DIR) + "/examples/chinese-english.txt";

class CliSendTest : public ::testing::Test {
 protected:
  std::vector<std::string> sendArgs(const test::HandheldProcess& handheld,
                                    std::vector<std::string> more) {
    std::vector<std::string> args{"--lang", "en",       "--ansi-code-page", "CP1252",
                                  "send",   "--device", handheld.address()};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
  test::ProgramRun send(const test::HandheldProcess& handheld, std::vector<std::string> more,
                        const std::string& input = "") {
    return test::runProgram(kCli, sendArgs(handheld, std::move(more)), input);
  }
  // A text dictionary large enough for many blocks.
  std::string bigDictionary(int entries) {
    std::string text;
    for (int i = 0; i < entries; ++i) {
      text += "word" + std::to_string(i) + "\tmeaning " + std::to_string(i * 7919) + " " +
              std::string(static_cast<size_t>(i % 50), 'x') + "\n";
    }
    return test::writeFile(dir_ / "big.txt", text).string();
  }
  test::TempDir dir_;
};

TEST_F(CliSendTest, YesSendsEachFileByteForByteIntoTheStore) {
  test::HandheldProcess handheld;
  ASSERT_TRUE(handheld.started());
  const auto run = send(handheld, {"--yes", kEnglish, kChinese});
  ASSERT_EQ(run.exitStatus, 0) << run.err << handheld.log();
  EXPECT_NE(run.err.find("Send dictionary's content english...100%"), std::string::npos);
  EXPECT_NE(run.err.find("End sending...Success"), std::string::npos);
  EXPECT_EQ(run.err.substr(run.err.size() - 6), "Ready\n");
  EXPECT_EQ(run.out, "") << "status and questions stay off standard output";

  // What arrived is exactly what pack writes for the same file.
  const std::string image = (dir_ / "english.lxp").string();
  ASSERT_EQ(test::runProgram(kCli, {"--ansi-code-page", "CP1252", "pack", kEnglish, "-o", image})
                .exitStatus,
            0);
  bool found = false;
  for (const auto& file : std::filesystem::directory_iterator(handheld.store())) {
    if (test::readFile(file.path()) == test::readFile(image)) found = true;
  }
  EXPECT_TRUE(found);
  const auto lookup = test::HandheldProcess::run(
      {"lookup", "chinese-english", "tea", "--store", handheld.store().string()});
  EXPECT_EQ(lookup.status, 0) << lookup.err;
  EXPECT_NE(lookup.out.find("茶；茶叶\ttea\t下午茶点"), std::string::npos) << lookup.out;
}

// An MDict file (enciphered key index, zlib, LZO and stored blocks, HTML records) reaches the
// handheld as plain text that looks up there.
TEST_F(CliSendTest, MdictDictionaryIsSentAndLooksUpOnTheHandheld) {
  test::HandheldProcess handheld;
  ASSERT_TRUE(handheld.started());
  const std::string mdx = std::string(LEXORA_SOURCE_DIR) + "/tests/data/mdict/v2-mixed-cipher.mdx";
  const auto run = send(handheld, {"--yes", mdx});
  ASSERT_EQ(run.exitStatus, 0) << run.err << handheld.log();
  const auto lookup = test::HandheldProcess::run({"lookup", "Generated MDict dictionary", "apple",
                                                  "banana", "--store", handheld.store().string()});
  EXPECT_EQ(lookup.status, 0) << lookup.err;
  EXPECT_NE(lookup.out.find("apple\tapple n. a round fruit."), std::string::npos) << lookup.out;
  EXPECT_NE(lookup.out.find("banana\ta long yellow fruit"), std::string::npos) << lookup.out;
}

TEST_F(CliSendTest, NoOrNoTerminalSendsNothing) {
  test::HandheldProcess handheld;
  auto run = send(handheld, {"--no", kEnglish});
  EXPECT_EQ(run.exitStatus, 1);
  run = send(handheld, {kEnglish});  // standard input is not a terminal
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.err.find("There is no terminal to answer on, so the answer is No"),
            std::string::npos);
  EXPECT_TRUE(!std::filesystem::exists(handheld.store()) ||
              std::filesystem::is_empty(handheld.store()));
}

TEST_F(CliSendTest, YesSendsByThePathBytesButNeverAnEmptyDictionary) {
  test::HandheldProcess handheld;
  ASSERT_TRUE(handheld.started());
  // A Latin-1 byte in a file name, and a file with nothing in it: --yes would replace the
  // handheld's stored copy with an empty one.
  const auto named = test::writeFile(dir_ / "caf\xE9.txt", "word\tmeaning\n");
  const auto empty = test::writeFile(dir_ / "empty.txt", "");
  const auto run = send(handheld, {"--yes", named.string(), empty.string()});
  EXPECT_EQ(run.exitStatus, 1) << run.err;
  size_t stored = 0;
  for (const auto& file : std::filesystem::directory_iterator(handheld.store())) {
    std::string error;
    const auto bytes = readWholeFile(file.path(), error);
    ASSERT_TRUE(bytes) << error;
    const auto image = parsePackedImage(*bytes, error);
    ASSERT_TRUE(image) << error;
    EXPECT_EQ(image->blocks.size(), 1u) << "only the dictionary that has entries";
    ++stored;
  }
  EXPECT_EQ(stored, 1u) << run.out << run.err;
}

TEST_F(CliSendTest, NameReplacesTheDictionarysOwnOnTheHandheld) {
  test::HandheldProcess handheld;
  ASSERT_TRUE(handheld.started());
  const auto run = send(handheld, {"--yes", "--name", "Renamed", kEnglish});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_TRUE(std::filesystem::exists(handheld.store() / "Renamed.lxp"));
  EXPECT_FALSE(std::filesystem::exists(handheld.store() / "english.lxp"));
}

// A name of bytes that are not UTF-8 would arrive as U+FFFD, so two such names would become
// one dictionary: a usage error, and nothing is sent.
TEST_F(CliSendTest, NameThatIsNotUtf8IsAUsageError) {
  test::HandheldProcess handheld;
  ASSERT_TRUE(handheld.started());
  const auto run = send(handheld, {"--yes", "--name", "bad\xff", kEnglish});
  EXPECT_EQ(run.exitStatus, 2) << run.err;
  EXPECT_TRUE(!std::filesystem::exists(handheld.store()) ||
              std::filesystem::is_empty(handheld.store()));
}

TEST_F(CliSendTest, NoHandheldIsADistinctExitStatus) {
  const auto run = test::runProgram(kCli, {"--lang", "en", "send", "--yes", "--device",
                                           "unix:" + (dir_ / "nobody.sock").string(), kEnglish});
  EXPECT_EQ(run.exitStatus, 3);
  EXPECT_NE(run.err.find("Open USB link failed!"), std::string::npos);
  EXPECT_NE(run.err.find("No handheld answered at unix:"), std::string::npos);
  EXPECT_EQ(run.err.find("Load dictionary file"), std::string::npos) << "nothing is loaded";
}

// A handheld that turns the connection away says why, and the user reads it: not "no
// handheld", which would send them looking for a cable.
TEST_F(CliSendTest, AHandheldThatTurnsTheConnectionAwayIsQuoted) {
  test::HandheldProcess handheld({"--max-connections", "1"});
  ASSERT_TRUE(handheld.started());
  // Holds the one connection the handheld serves, greeted, so that it surely counts.
  struct Held {
    int fd;
    ~Held() { close(fd); }
    int get() const { return fd; }
  } held{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
  ASSERT_GE(held.get(), 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = handheld.address().substr(5);  // after "unix:"
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(::connect(held.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const uint8_t hello[] = {1, 0, 0, 0, 5, 'L', 'X', 'H', 'H', 1};
  ASSERT_EQ(::send(held.get(), hello, sizeof hello, MSG_NOSIGNAL), 10);
  uint8_t reply = 0;
  ASSERT_EQ(::recv(held.get(), &reply, 1, 0), 1);
  ASSERT_EQ(reply, 0x81) << "the device list";

  const auto run = send(handheld, {"--yes", kEnglish});
  EXPECT_EQ(run.exitStatus, 3);
  EXPECT_NE(run.err.find("at most 1 connections at once; try again later"), std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("No handheld answered"), std::string::npos) << run.err;
}

TEST_F(CliSendTest, OutputToAFileHasNoRepeatedLines) {
  test::HandheldProcess handheld;
  const auto run = send(handheld, {"--yes", bigDictionary(20000)});  // some 300 blocks
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  std::istringstream lines(run.err);
  std::string previous, line;
  int sendingLines = 0;
  while (std::getline(lines, line)) {
    EXPECT_NE(line, previous);
    if (line.starts_with("Send dictionary's content")) ++sendingLines;
    previous = line;
  }
  EXPECT_LE(sendingLines, 101);  // 0% to 100%
}

TEST_F(CliSendTest, PasswordFromStandardInput) {
  {
    // A line over 14 characters is refused, not cut and tried: one attempt is enough.
    test::HandheldProcess handheld({"--attempts", "1"}, "s3cret");
    const auto run =
        send(handheld, {"--yes", "--password-stdin", kEnglish}, "s3cret0123456789\ns3cret\n");
    EXPECT_EQ(run.exitStatus, 0) << run.err << handheld.log();
    EXPECT_NE(run.err.find("1 attemptes remaining"), std::string::npos) << "the prompt is shown";
  }
  test::HandheldProcess handheld({"--attempts", "2"}, "s3cret");
  // A wrong answer is challenged again; nothing more to read is a Cancel.
  auto run = send(handheld, {"--yes", "--password-stdin", kEnglish}, "wrong\n");
  EXPECT_EQ(run.exitStatus, 3);
  EXPECT_EQ(run.err.find("wrong"), std::string::npos) << "the password is never printed";
  EXPECT_NE(run.err.find("cancelled"), std::string::npos) << run.err;
  // The last attempt wasted: the handheld refuses the channel.
  run = send(handheld, {"--yes", "--password-stdin", kEnglish}, "wrong\n");
  EXPECT_EQ(run.exitStatus, 3);
  EXPECT_NE(run.err.find("password was wrong"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("No handheld answered"), std::string::npos) << run.err;
}

// Input whose line never ends (/dev/zero, an endless pipe) is not read to its end: the line
// is refused at its bound and the password input ends there, so nothing after it is tried.
TEST_F(CliSendTest, PasswordLineWithoutAnEndIsRefusedAtItsBound) {
  test::HandheldProcess handheld({"--attempts", "1"}, "s3cret");
  const auto run = send(handheld, {"--yes", "--password-stdin", kEnglish},
                        std::string(64 * 1024, 'x') + "\ns3cret\n");
  EXPECT_EQ(run.exitStatus, 3) << run.err;
  EXPECT_NE(run.err.find("cancelled"), std::string::npos) << run.err;
}

TEST_F(CliSendTest, PinThatIsNotANumberIsNamed) {
  test::HandheldProcess handheld({"--pin", "abc"});
  const auto run = send(handheld, {"--yes", kEnglish});
  EXPECT_EQ(run.exitStatus, 3);
  EXPECT_NE(run.err.find("BBPIN"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("No handheld answered"), std::string::npos) << run.err;
}

TEST_F(CliSendTest, CtrlCAtTheQuestionAnswersNoAndTheJobGoesOn) {
  test::HandheldProcess handheld;
  test::SpawnedProgram cli(kCli, sendArgs(handheld, {kEnglish, kChinese}),
                           test::SpawnedProgram::OnTerminal{});
  ASSERT_TRUE(cli.waitForOutput("[y/N]", 30s));
  cli.type("\x03");
  ASSERT_TRUE(cli.waitForOutput("Compress dictionary file " + kChinese + "...Success", 30s));
  cli.type("y\n");  // waits in the terminal until the second question reads it
  const auto run = cli.finish(20s);
  EXPECT_EQ(run.exitStatus, 1) << run.out << run.err;
  EXPECT_EQ(run.err.find("Stopping..."), std::string::npos) << "the Ctrl-C answered, not stopped";
  EXPECT_EQ(run.err.find("Send dictionary's name english"), std::string::npos);
  EXPECT_NE(run.err.find("Send dictionary's name chinese-english...Success"), std::string::npos);
}

TEST_F(CliSendTest, CtrlCAtThePasswordPromptCancelsAndRestoresTheTerminal) {
  test::HandheldProcess handheld({}, "s3cret");
  test::SpawnedProgram cli(kCli, sendArgs(handheld, {"--yes", kEnglish}),
                           test::SpawnedProgram::OnTerminal{});
  const auto until = std::chrono::steady_clock::now() + 30s;
  while (cli.terminalEchoes() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_FALSE(cli.terminalEchoes()) << "the prompt hides what is typed";
  cli.type("\x03");
  const auto run = cli.finish(20s);
  EXPECT_EQ(run.exitStatus, 3) << run.err;
  EXPECT_NE(run.err.find("cancelled"), std::string::npos) << run.err;
  EXPECT_TRUE(cli.terminalEchoes());
}

TEST_F(CliSendTest, FirstCtrlCStopsAfterTheCurrentBlockAndStillEndsTheDictionary) {
  test::HandheldProcess handheld({"--ack-delay", "20"});
  test::SpawnedProgram cli(kCli, sendArgs(handheld, {"--yes", bigDictionary(20000), kEnglish}));
  ASSERT_TRUE(cli.waitForOutput("Send dictionary's content big...", 30s));
  cli.signal(SIGINT);
  const auto run = cli.finish();
  EXPECT_EQ(run.exitStatus, 1) << run.err;
  EXPECT_NE(run.err.find("Stopping..."), std::string::npos);
  EXPECT_NE(run.err.find("End sending...Success"), std::string::npos) << "the end flag still goes";
  EXPECT_EQ(run.err.find("Send dictionary's content big...100%"), std::string::npos);
  EXPECT_EQ(run.err.find("Load dictionary file " + kEnglish), std::string::npos)
      << "later files are not processed";
  EXPECT_EQ(run.err.substr(run.err.size() - 6), "Ready\n");
}

TEST_F(CliSendTest, SecondCtrlCQuitsAtOnce) {
  test::HandheldProcess handheld({"--ack-delay", "200"});
  test::SpawnedProgram cli(kCli, sendArgs(handheld, {"--yes", bigDictionary(20000)}));
  ASSERT_TRUE(cli.waitForOutput("Send dictionary's content big...", 30s));
  cli.signal(SIGINT);
  std::this_thread::sleep_for(50ms);
  cli.signal(SIGINT);
  const auto run = cli.finish(10s);
  EXPECT_EQ(run.exitStatus, 130);
}

TEST_F(CliSendTest, HandheldClosingMidWayFailsAndStoresNothing) {
  test::HandheldProcess handheld({"--close-after", "4"});
  const auto run = send(handheld, {"--yes", bigDictionary(2000)});
  EXPECT_NE(run.exitStatus, 0);
  // The closed channel refuses the next record's writes (or leaves its acknowledgement
  // missing, if the close comes between them); either way the end flag cannot follow.
  EXPECT_TRUE(run.err.find("Send record failed!") != std::string::npos ||
              run.err.find("Recieve acknowledge of record failed!") != std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("Send end flag failed!"), std::string::npos) << run.err;
  EXPECT_TRUE(!std::filesystem::exists(handheld.store()) ||
              std::filesystem::is_empty(handheld.store()));
}

}  // namespace
}  // namespace lexora
