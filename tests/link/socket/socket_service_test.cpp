// End to end: USBLink over the socket service to a lexora-handheld started by the test.
#include "link/socket/socket_service.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "link/handheld_process.h"
#include "link/link_test_data.h"
#include "link/send_packed_dictionary.h"
#include "link/socket/device_connection.h"
#include "link/socket/device_protocol.h"
#include "link/socket/frame_socket.h"
#include "link/socket/socket_connect.h"
#include "link/usb_link.h"
#include "pack/packed_image.h"
#include "platform/ui_language.h"
#include "support/test_support.h"

namespace lexora {
namespace {

using namespace std::chrono_literals;
namespace dp = device_protocol;
using test::HandheldProcess;

class Diagnostics {
 public:
  std::function<void(const std::string&)> sink() {
    return [this](const std::string& text) {
      std::lock_guard lock(mutex_);
      text_ += text + "\n";
    };
  }
  std::string text() {
    std::lock_guard lock(mutex_);
    return text_;
  }

 private:
  std::mutex mutex_;
  std::string text_;
};

class SocketLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { USBLink::resetSendChunkSizeForTesting(); }
  void TearDown() override { USBLink::resetSendChunkSizeForTesting(); }

  Ref<USBLink> linkTo(const std::string& address, LinkWaits waits = {5000ms, 2000ms}) {
    SocketServiceOptions options;
    options.address = address;
    options.connectWait = 2000ms;
    options.replyWait = 5000ms;
    options.diagnostics = diagnostics.sink();
    return USBLink::create(kChannelName, ui, socketServiceFactory(options), waits);
  }
  // Opens, sends and closes; the result of the send.
  bool sendTo(HandheldProcess& handheld, const PackedDictionary& d,
              LinkWaits waits = {5000ms, 2000ms}) {
    Ref<USBLink> link = linkTo(handheld.address(), waits);
    if (link->Open() != 0) {
      ADD_FAILURE() << "open failed: " << diagnostics.text() << handheld.log();
      return false;
    }
    const bool result = SendPackedDictionary(*link, d, stop, ui);
    link->Close();
    return result;
  }
  int openAndClose(const std::string& address) {
    Ref<USBLink> link = linkTo(address);
    const int result = link->Open();
    if (result == 0) link->Close();
    return result;
  }
  static size_t filesIn(const std::filesystem::path& dir) {
    std::error_code ec;
    size_t n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir, ec)) ++n;
    return n;
  }

  test::LanguageScope english{UiLanguage::English};
  test::ScriptedUserInterface ui;
  Diagnostics diagnostics;
  Event stop{Event::Reset::Auto};
};

TEST_F(SocketLinkTest, APackedImageArrivesByteIdenticalAndItsWordsCanBeLookedUp) {
  test::TempDir dir;
  std::string text;
  for (int i = 0; i < 3000; ++i) {
    text += "Word" + std::to_string(i) + "\texplanation " + std::to_string(i) + " of the word\n";
  }
  const auto source = test::writeFile(dir / "oxford.txt", text);
  const auto imagePath = dir / "oxford.lxp";
  const std::string cli = LEXORA_BINARY_DIR "/src/cli/lexora-cli";
  const std::string command =
      cli + " pack '" + source.string() + "' -o '" + imagePath.string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string image = test::readFile(imagePath);
  std::string error;
  auto dictionary =
      parsePackedImage({reinterpret_cast<const uint8_t*>(image.data()), image.size()}, error);
  ASSERT_TRUE(dictionary) << error;
  ASSERT_GE(dictionary->blocks.size(), 3u);

  HandheldProcess handheld;
  ASSERT_TRUE(handheld.started());
  EXPECT_TRUE(sendTo(handheld, *dictionary));
  EXPECT_TRUE(ui.warnings().empty());
  EXPECT_EQ(test::readFile(handheld.store() / "oxford.lxp"), image);

  auto found = HandheldProcess::run(
      {"lookup", "oxford", "WORD17", "word2999", "--store", handheld.store().string()});
  EXPECT_EQ(found.status, 0) << found.err;
  EXPECT_EQ(found.out,
            "Word17\texplanation 17 of the word\nWord2999\texplanation 2999 of the word\n");
  auto missing =
      HandheldProcess::run({"lookup", "oxford", "nothing", "--store", handheld.store().string()});
  EXPECT_EQ(missing.status, 1);
  auto list = HandheldProcess::run({"list", "--store", handheld.store().string()});
  EXPECT_EQ(list.out.rfind("oxford\t", 0), 0u) << list.out;
}

TEST_F(SocketLinkTest, NothingListeningOrNoDeviceMeansNoHandheld) {
  test::TempDir dir;
  EXPECT_EQ(openAndClose("unix:" + (dir / "nobody.sock").string()), -1);
  EXPECT_NE(diagnostics.text().find("no handheld"), std::string::npos);
  EXPECT_EQ(openAndClose("not an address"), -1);

  HandheldProcess empty({"--no-device"});
  ASSERT_TRUE(empty.started());
  EXPECT_EQ(openAndClose(empty.address()), -1);
}

TEST_F(SocketLinkTest, TheFirstOfTwoDevicesIsOpenedAndAPinMustBeANumber) {
  HandheldProcess two({"--two-devices"});
  ASSERT_TRUE(two.started());
  EXPECT_EQ(openAndClose(two.address()), 0);

  HandheldProcess textPin({"--pin", "2A3B4C5D"});
  ASSERT_TRUE(textPin.started());
  EXPECT_EQ(openAndClose(textPin.address()), -1);
}

TEST_F(SocketLinkTest, PasswordRightWrongAndCancelled) {
  HandheldProcess handheld({"--attempts", "3"}, "s3cret");
  ASSERT_TRUE(handheld.started());
  ui.queuePassword(u"s3cret");
  EXPECT_EQ(openAndClose(handheld.address()), 0);
  ui.queuePassword(u"wrong");
  ui.queuePassword(u"s3cret");
  EXPECT_EQ(openAndClose(handheld.address()), 0);
  ui.queuePassword(std::nullopt);
  EXPECT_EQ(openAndClose(handheld.address()), -1);
  EXPECT_EQ(ui.passwordPrompts(),
            (std::vector<std::u16string>{
                u"You have 3 attemptes remaining", u"You have 3 attemptes remaining",
                u"You have 2 attemptes remaining", u"You have 2 attemptes remaining"}));
  // The password itself never reaches the emulator's log.
  EXPECT_EQ(handheld.log().find("s3cret"), std::string::npos);
}

TEST_F(SocketLinkTest, TheLastWrongPasswordRefusesTheChannelForGood) {
  HandheldProcess handheld({"--attempts", "2"}, "pw");
  ASSERT_TRUE(handheld.started());
  ui.queuePassword(u"a");
  ui.queuePassword(u"b");
  EXPECT_EQ(openAndClose(handheld.address()), -1);
  ui.queuePassword(u"pw");
  EXPECT_EQ(openAndClose(handheld.address()), -1);
  EXPECT_EQ(ui.passwordPrompts().size(), 2u);
}

TEST_F(SocketLinkTest, AChannelClosedMidwayStoresNothingAndFailsTheTransfer) {
  HandheldProcess handheld({"--close-after", "5"});
  ASSERT_TRUE(handheld.started());
  const PackedDictionary d = test::packedTestDictionary(u"cut", 2000);
  ASSERT_GE(d.blocks.size(), 3u);
  EXPECT_FALSE(sendTo(handheld, d));
  EXPECT_EQ(ui.warnings(), (std::vector<std::u16string>{u"Recieve acknowledge of record failed!",
                                                        u"Send end flag failed!"}));
  EXPECT_EQ(filesIn(handheld.store()), 0u);
}

TEST_F(SocketLinkTest, AcknowledgementFaultsGiveTheirFailures) {
  const PackedDictionary d = test::packedTestDictionary(u"faults", 50);
  ASSERT_EQ(d.blocks.size(), 1u);
  struct Case {
    std::vector<std::string> args;
    bool result;
    std::vector<std::u16string> warnings;
  };
  const std::vector<Case> cases = {
      {{"--short-ack"}, false, {u"Recieve acknowledge of dictionary's name failed!"}},
      {{"--ack-type", "101", "--fault-at", "1"}, false, {u"Handle dictionary's name on BB failed"}},
      {{"--ack-type", "101", "--fault-at", "2"}, true, {u"Handle record on BB failed!"}},
      {{"--no-ack", "--fault-at", "2"}, true, {u"Recieve acknowledge of record failed!"}},
      {{"--long-ack", "--fault-at", "3"}, false, {u"Send end flag failed!"}},
      {{"--ack-delay", "30"}, true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    test::ScriptedUserInterface caseUi;
    HandheldProcess handheld(c.args);
    ASSERT_TRUE(handheld.started());
    Ref<USBLink> link = linkTo(handheld.address(), {400ms, 2000ms});
    ASSERT_EQ(link->Open(), 0);
    EXPECT_EQ(SendPackedDictionary(*link, d, stop, caseUi), c.result);
    EXPECT_EQ(caseUi.warnings(), c.warnings);
    link->Close();
  }
}

TEST_F(SocketLinkTest, RefusedWritesHalveTheChunkSizeToNothing) {
  HandheldProcess handheld({"--refuse-writes"});
  ASSERT_TRUE(handheld.started());
  EXPECT_FALSE(sendTo(handheld, test::packedTestDictionary(u"refused", 10)));
  EXPECT_EQ(ui.warnings(), std::vector<std::u16string>{u"Send dictionary's name failed!"});
  EXPECT_EQ(USBLink::sendChunkSize(), 0);
}

// Writes complete when handed to the socket, so a refusal comes after the write it belongs
// to: it must still fail the transfer at once, through the next write or through the wait
// for the acknowledgement that the refused bytes will never bring.
TEST_F(SocketLinkTest, ARefusalAfterAcceptedWritesFailsTheNextWriteOrTheRead) {
  const PackedDictionary d = test::packedTestDictionary(u"late", 2000);
  ASSERT_GE(d.blocks.size(), 2u);
  auto chunks = [](size_t size) { return static_cast<int>((size + 1023) / 1024); };
  // The name takes writes 1 to 3; block 1 a type byte, a length and its chunks per message.
  const int lastOfBlock1 =
      3 + 2 + chunks(d.blocks[0].keyBytes.size()) + 2 + chunks(d.blocks[0].packedBytes.size());
  for (int accepted : {3, lastOfBlock1 - 1}) {
    SCOPED_TRACE(accepted);
    USBLink::resetSendChunkSizeForTesting();
    test::ScriptedUserInterface caseUi;
    HandheldProcess handheld({"--refuse-writes-after", std::to_string(accepted)});
    ASSERT_TRUE(handheld.started());
    Ref<USBLink> link = linkTo(handheld.address(), {20000ms, 2000ms});
    ASSERT_EQ(link->Open(), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(SendPackedDictionary(*link, d, stop, caseUi));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << "the refusal was waited out";
    if (accepted == lastOfBlock1 - 1) {
      EXPECT_EQ(caseUi.warnings(),
                (std::vector<std::u16string>{u"Recieve acknowledge of record failed!",
                                             u"Send end flag failed!"}));
    }
    ASSERT_FALSE(caseUi.warnings().empty());
    EXPECT_EQ(caseUi.warnings().back(), u"Send end flag failed!");
    EXPECT_EQ(USBLink::sendChunkSize(), 0);
    link->Close();
    EXPECT_EQ(filesIn(handheld.store()), 0u);
  }
}

TEST_F(SocketLinkTest, SeveralDictionariesTravelOverOneChannel) {
  HandheldProcess handheld;
  ASSERT_TRUE(handheld.started());
  Ref<USBLink> link = linkTo(handheld.address());
  ASSERT_EQ(link->Open(), 0);
  EXPECT_TRUE(SendPackedDictionary(*link, test::packedTestDictionary(u"one", 50), stop, ui));
  stop.set();  // seen after the name: the second stays incomplete
  EXPECT_FALSE(SendPackedDictionary(*link, test::packedTestDictionary(u"two", 50), stop, ui));
  EXPECT_TRUE(SendPackedDictionary(*link, test::packedTestDictionary(u"词典", 50), stop, ui));
  link->Close();
  link.reset();
  EXPECT_TRUE(std::filesystem::exists(handheld.store() / "one.lxp"));
  EXPECT_FALSE(std::filesystem::exists(handheld.store() / "two.lxp"));
  EXPECT_TRUE(std::filesystem::exists(handheld.store() / u8"词典.lxp"));
}

// A malformed frame from the handheld's side ends the connection cleanly on the PC.
class RawDevice {
 public:
  // Serves one connection: answers the greeting with `devices`, then runs `script`.
  RawDevice(std::vector<uint8_t> devicesPayload, std::function<void(dp::FrameSocket&)> script) {
    DeviceAddress bound;
    std::string error;
    auto address = parseDeviceAddress("unix:" + (dir_ / "raw.sock").string(), error);
    listener_ = listenForService(*address, bound, error);
    address_ = bound.text();
    thread_ = std::thread([this, devicesPayload, script] {
      UniqueFd client(accept(listener_.get(), nullptr, nullptr));
      if (!client) return;
      dp::FrameSocket socket(std::move(client), dp::Side::Pc);
      dp::Frame frame;
      dp::FrameError e;
      if (!socket.read(frame, e, 5000ms)) return;
      socket.write(dp::kDevices, devicesPayload, e);
      script(socket);
      // Wait for the PC to hang up.
      while (socket.read(frame, e, 5000ms)) {
      }
    });
  }
  ~RawDevice() {
    shutdown(listener_.get(), SHUT_RDWR);
    thread_.join();
  }
  const std::string& address() const { return address_; }

 private:
  test::TempDir dir_;
  UniqueFd listener_;
  std::string address_;
  std::thread thread_;
};

std::vector<uint8_t> oneDevice() {
  return dp::encodeDevices({dp::DeviceDescription{}});
}

void writeRaw(dp::FrameSocket& socket, std::vector<uint8_t> bytes) {
  [[maybe_unused]] auto n = send(socket.fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

// A handheld that turns a connection away says why and hangs up at once, often before the
// PC has sent its greeting: the reason is kept all the same.
TEST(DeviceConnectionTest, AReasonThatCameBeforeTheGreetingIsKept) {
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  UniqueFd handheld(fds[1]);
  const std::string reason = "the handheld serves at most 2 connections at once";
  std::vector<uint8_t> frame{dp::kError, 0, 0, 0, static_cast<uint8_t>(reason.size())};
  frame.insert(frame.end(), reason.begin(), reason.end());
  ASSERT_EQ(send(handheld.get(), frame.data(), frame.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(frame.size()));
  handheld.reset();
  DeviceConnection connection(UniqueFd{fds[0]}, std::make_shared<SocketServiceOptions>());
  EXPECT_FALSE(connection.greet());
  EXPECT_EQ(connection.handheldReason(), reason);
}

TEST_F(SocketLinkTest, MalformedFramesFromTheDeviceEndTheConnectionWithAClearError) {
  {
    RawDevice device({0x05, 0x00}, [](dp::FrameSocket&) {});  // a device list that lies
    EXPECT_EQ(openAndClose(device.address()), -1);
  }
  EXPECT_NE(diagnostics.text().find("malformed device list"), std::string::npos);
  {
    // An unknown frame type while the channel is being opened.
    RawDevice device(oneDevice(), [](dp::FrameSocket& s) { writeRaw(s, {0x99, 0, 0, 0, 0}); });
    EXPECT_EQ(openAndClose(device.address()), -1);
  }
  EXPECT_NE(diagnostics.text().find("unknown type 0x99"), std::string::npos);
  {
    // A message longer than one read can hold, once the channel is open.
    RawDevice device(oneDevice(), [](dp::FrameSocket& s) {
      dp::Frame frame;
      dp::FrameError e;
      s.read(frame, e, 5000ms);
      s.write(dp::kChannelOpened, {}, e);
      writeRaw(s, {dp::kMessage, 0x00, 0x01, 0x00, 0x00});
    });
    Ref<USBLink> link = linkTo(device.address(), {3000ms, 2000ms});
    ASSERT_EQ(link->Open(), 0);
    uint8_t type;
    std::vector<uint8_t> payload;
    int32_t length;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link->ReadMessage(type, payload, length), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);  // the close, not the wait
    link->Close();
  }
  EXPECT_NE(diagnostics.text().find("announces 65536 bytes"), std::string::npos);
}

// While the link waits for answers it reads them from the socket itself; once it stops
// calling, the service must still notice what the handheld does.
TEST_F(SocketLinkTest, AChannelClosedWhileTheLinkIsIdleIsStillNoticed) {
  RawDevice device(oneDevice(), [](dp::FrameSocket& s) {
    dp::Frame frame;
    dp::FrameError e;
    s.read(frame, e, 5000ms);
    s.write(dp::kChannelOpened, {}, e);
    const std::vector<uint8_t> accepted{0};
    const std::vector<uint8_t> ack{100, 0, 0};
    for (int i = 0; i < 2; ++i) {
      s.read(frame, e, 5000ms);
      s.queue(dp::kWriteResult, accepted);
      s.write(dp::kMessage, ack, e);
    }
    std::this_thread::sleep_for(300ms);
    s.write(dp::kClose, {}, e);
  });
  Ref<USBLink> link = linkTo(device.address());
  ASSERT_EQ(link->Open(), 0);
  const uint8_t name[] = {1, 0, 0};
  uint8_t type;
  std::vector<uint8_t> payload;
  int32_t length;
  for (int i = 0; i < 2; ++i) {  // the first write waits for its result, the second does not
    ASSERT_TRUE(link->WriteBytes(name, sizeof name));
    ASSERT_EQ(link->ReadMessage(type, payload, length), 0);
  }
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  while (diagnostics.text().find("closed the channel") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_NE(diagnostics.text().find("the handheld closed the channel"), std::string::npos);
  link->Close();
}

TEST_F(SocketLinkTest, MalformedFramesFromThePcEndOnlyThatConnection) {
  HandheldProcess handheld;
  ASSERT_TRUE(handheld.started());
  std::string error;
  auto address = parseDeviceAddress(handheld.address(), error);
  for (const std::vector<uint8_t>& garbage :
       {std::vector<uint8_t>{0x42, 0, 0, 0, 0},
        std::vector<uint8_t>{dp::kHello, 0xFF, 0xFF, 0xFF, 0xFF},
        std::vector<uint8_t>{dp::kHello, 0, 0, 0, 5, 'N', 'O', 'P', 'E', 1}}) {
    UniqueFd fd = connectToDevice(*address, 2000ms, error);
    ASSERT_TRUE(fd);
    dp::FrameSocket socket(std::move(fd), dp::Side::Device);
    writeRaw(socket, garbage);
    dp::Frame frame;
    dp::FrameError frameError;
    ASSERT_TRUE(socket.read(frame, frameError, 5000ms)) << frameError.detail;
    EXPECT_EQ(frame.type, dp::kError);
    EXPECT_FALSE(socket.read(frame, frameError, 5000ms));  // then it hangs up
    EXPECT_EQ(frameError.kind, dp::FrameError::Kind::Closed);
  }
  EXPECT_NE(handheld.log().find("malformed"), std::string::npos);
  EXPECT_EQ(openAndClose(handheld.address()), 0);  // and still serves
}

}  // namespace
}  // namespace lexora
