#include "job/transfer_job.h"

#include <gtest/gtest.h>

#include "base/text_codec.h"
#include "job/load_and_pack.h"
#include "link/fake/fake_service.h"
#include "pack/packed_image.h"
#include "platform/ui_language.h"
#include "support/test_support.h"

namespace lexora {
namespace {

using namespace std::chrono_literals;

// A dialog whose buttons are two flags, recording every change.
class FakeDialog : public TransferDialog {
 public:
  test::ScriptedUserInterface& scripted() { return ui_; }
  UserInterface& ui() override { return ui_; }
  void enableSendButton(bool enabled) override {
    buttons.push_back(enabled ? "send on" : "send off");
  }
  void enableStopButton(bool enabled) override {
    buttons.push_back(enabled ? "stop on" : "stop off");
  }
  void setLink(USBLink* link) override { links.push_back(link != nullptr); }
  std::vector<std::string> buttons;
  std::vector<bool> links;

 protected:
  test::ScriptedUserInterface ui_;
};

class TransferJobTest : public ::testing::Test {
 protected:
  void SetUp() override { USBLink::resetSendChunkSizeForTesting(); }

  std::u16string dictionary(const std::string& name, int entries) {
    return test::writeNumberedDictionary(dir_.path(), name, entries);
  }

  // What the handheld should have received for these files: their images back to back.
  std::vector<uint8_t> imagesOf(std::initializer_list<std::u16string> paths) {
    std::vector<uint8_t> all;
    for (const auto& path : paths) {
      test::ScriptedUserInterface quiet;
      auto file = loadAndPackFile(path, quiet);
      EXPECT_TRUE(file);
      const auto image = serializePackedImage(file->packed.dictionary);
      all.insert(all.end(), image.begin(), image.end());
    }
    return all;
  }

  TransferOutcome run(std::vector<std::filesystem::path> paths, FakeDialog& dialog) {
    TransferJobParameters parameters{std::move(paths), fake_.factory(), {200ms, 200ms}};
    TransferOutcome outcome;
    TransferJobThread(dialog, parameters, stopEvent_, &outcome);
    return outcome;
  }

  std::vector<std::u16string> questions(FakeDialog& dialog) {
    std::vector<std::u16string> out;
    for (const auto& m : dialog.scripted().messages()) {
      if (m.buttons == MessageButtons::YesNo) out.push_back(m.text);
    }
    return out;
  }

  test::LanguageScope language_{UiLanguage::English};
  test::TempDir dir_;
  FakeService fake_;
  Event stopEvent_{Event::Reset::Auto};
};

TEST_F(TransferJobTest, NoFileSelectedOpensAndClosesTheChannel) {
  FakeDialog dialog;
  const auto outcome = run({}, dialog);
  EXPECT_TRUE(outcome.linkOpened);
  EXPECT_TRUE(fake_.writes().empty());
  EXPECT_FALSE(fake_.channelOpen());
  EXPECT_EQ(dialog.scripted().statuses().back(), u"Ready");
  EXPECT_EQ(dialog.buttons,
            (std::vector<std::string>{"send off", "stop on", "send on", "stop off"}));
  EXPECT_EQ(dialog.links, (std::vector<bool>{true, false}));
}

TEST_F(TransferJobTest, NoHandheldShowsTheOpenFailureOnceAndLoadsNothing) {
  fake_.setDevices({});
  FakeDialog dialog;
  const auto outcome = run({dictionary("one", 3)}, dialog);
  EXPECT_FALSE(outcome.linkOpened);
  EXPECT_EQ(dialog.scripted().warnings(),
            std::vector<std::u16string>{
                u"Open USB link failed!\nPlease check: \n1. Is mobile phone "
                u"connected to PC correctly\n2. Is Lexora running on mobile phone"});
  EXPECT_EQ(dialog.scripted().statuses(), std::vector<std::u16string>{u"Ready"});
  EXPECT_EQ(dialog.buttons.back(), "stop off");
  EXPECT_EQ(fake_.liveObjects(), 0) << "every service object released";
}

// The box keeps its texts; what the handheld said is its second line.
TEST_F(TransferJobTest, TheHandheldsReasonIsTheOpenFailuresSecondLine) {
  fake_.setDevices({});
  fake_.setHandheldReason(u"the handheld serves at most 2 connections at once");
  FakeDialog dialog;
  const auto outcome = run({dictionary("one", 3)}, dialog);
  EXPECT_EQ(outcome.openFailure, OpenFailure::TurnedAway);
  EXPECT_EQ(dialog.scripted().warnings(),
            std::vector<std::u16string>{
                u"Open USB link failed!\nthe handheld serves at most 2 connections at once\n"
                u"Please check: \n1. Is mobile phone connected to PC correctly\n2. Is Lexora "
                u"running on mobile phone"});
}

TEST_F(TransferJobTest, AFileThatFailsToLoadIsSkippedAndTheOthersAreSent) {
  const auto first = dictionary("first", 40), third = dictionary("third", 5);
  const std::u16string missing = test::u16path(dir_ / "missing.txt");
  FakeDialog dialog;
  const auto outcome = run({first, missing, third}, dialog);
  EXPECT_EQ(questions(dialog).size(), 2u);
  EXPECT_EQ(dialog.scripted().warnings(),
            std::vector<std::u16string>{u"Open dictionary file failed!"});
  EXPECT_EQ(fake_.acceptedBytes(), imagesOf({first, third}));
  EXPECT_EQ(outcome.filesSent, 2u);
  EXPECT_EQ(outcome.filesSelected, 3u);
  const auto statuses = dialog.scripted().statuses();
  EXPECT_NE(
      std::find(statuses.begin(), statuses.end(), u"Load dictionary file " + missing + u"..."),
      statuses.end());
  EXPECT_EQ(std::find(statuses.begin(), statuses.end(),
                      u"Load dictionary file " + missing + u"...Success"),
            statuses.end());
}

TEST_F(TransferJobTest, NoSendsNothingOfThatFile) {
  const auto first = dictionary("first", 3), second = dictionary("second", 3);
  FakeDialog dialog;
  dialog.scripted().queueAnswer(false);
  dialog.scripted().queueAnswer(true);
  const auto outcome = run({first, second}, dialog);
  EXPECT_EQ(fake_.acceptedBytes(), imagesOf({second}));
  EXPECT_EQ(outcome.filesSent, 1u);
}

TEST_F(TransferJobTest, StopDuringLoadingEndsTheJobAtYes) {
  const auto first = dictionary("first", 3), second = dictionary("second", 3);
  FakeDialog dialog;
  stopEvent_.set();  // pressed while the first file was loading
  const auto outcome = run({first, second}, dialog);
  EXPECT_EQ(questions(dialog).size(), 1u) << "the question is still asked";
  EXPECT_TRUE(fake_.writes().empty());
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(dialog.scripted().statuses().back(), u"Ready");
  EXPECT_FALSE(fake_.channelOpen());
}

TEST_F(TransferJobTest, StopBeforeANoStaysPendingUntilTheNextYes) {
  const auto first = dictionary("first", 3), second = dictionary("second", 3),
             third = dictionary("third", 3);
  FakeDialog dialog;
  dialog.scripted().queueAnswer(false);
  stopEvent_.set();
  const auto outcome = run({first, second, third}, dialog);
  EXPECT_EQ(questions(dialog).size(), 2u) << "the third file is never reached";
  EXPECT_TRUE(fake_.writes().empty());
  EXPECT_TRUE(outcome.stopped);
}

// Presses Stop when the status line shows the given text.
class StoppingDialog : public FakeDialog {
 public:
  StoppingDialog(Event& stop, std::u16string when) : stop_(stop), when_(std::move(when)) {}
  UserInterface& ui() override { return relay_; }

 private:
  struct Relay : UserInterface {
    StoppingDialog& d;
    explicit Relay(StoppingDialog& dialog) : d(dialog) {}
    MessageAnswer showMessage(std::u16string_view t, MessageIcon i, MessageButtons b) override {
      return d.ui_.showMessage(t, i, b);
    }
    void setStatus(std::u16string_view text) override {
      if (text == d.when_) d.stop_.set();
      d.ui_.setStatus(text);
    }
    std::optional<std::u16string> askPassword(std::u16string_view p) override {
      return d.ui_.askPassword(p);
    }
  };
  Event& stop_;
  std::u16string when_;
  Relay relay_{*this};
};

TEST_F(TransferJobTest, StopDuringTheBlocksStillSendsTheEndFlagThenEndsTheJob) {
  const auto big = dictionary("big", 200), later = dictionary("later", 3);
  test::ScriptedUserInterface quiet;
  const size_t blocks = loadAndPackFile(big, quiet)->packed.dictionary.blocks.size();
  ASSERT_GE(blocks, 4u);
  // Stop while the second block is on its way.
  StoppingDialog dialog(stopEvent_, u"Send dictionary's content big..." +
                                        utf8ToUtf16(std::to_string(200 / blocks)) + u"%");
  const auto outcome = run({big, later}, dialog);
  EXPECT_TRUE(outcome.stopped);
  const auto bytes = fake_.acceptedBytes();
  ASSERT_GE(bytes.size(), 3u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 3, bytes.end()), (std::vector<uint8_t>{4, 0, 0}));
  EXPECT_LT(bytes.size(), imagesOf({big}).size()) << "blocks after the stop are not sent";
  EXPECT_EQ(questions(dialog).size(), 1u) << "the later file is not processed";
  EXPECT_EQ(dialog.scripted().statuses().back(), u"Ready");
  // The handheld now holds a cut-off copy: the user is told which, and how far it got.
  const auto warnings = dialog.scripted().warnings();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find(u"\"big\""), std::u16string::npos);
  EXPECT_NE(warnings[0].find(u" 2 "), std::u16string::npos) << utf16ToUtf8(warnings[0]);
  EXPECT_NE(warnings[0].find(utf8ToUtf16(std::to_string(blocks))), std::u16string::npos);
}

TEST_F(TransferJobTest, AFailedNameEndsTheJob) {
  const auto first = dictionary("first", 3), second = dictionary("second", 3);
  fake_.queueReply(FakeService::ack(7));  // the name is refused by the handheld
  FakeDialog dialog;
  const auto outcome = run({first, second}, dialog);
  EXPECT_EQ(dialog.scripted().warnings(),
            std::vector<std::u16string>{u"Handle dictionary's name on BB failed"});
  EXPECT_EQ(questions(dialog).size(), 1u);
  EXPECT_EQ(outcome.filesSent, 0u);
  EXPECT_FALSE(fake_.channelOpen());
}

TEST_F(TransferJobTest, RunnerStopsAndJoinsWhenDestroyed) {
  FakeDialog dialog;
  const auto path = dictionary("one", 3);
  {
    TransferJob job(dialog, {{path}, fake_.factory(), {200ms, 200ms}});
    job.wait();
    EXPECT_TRUE(job.finished());
    EXPECT_EQ(job.outcome().filesSent, 1u);
  }
  {
    // Destroyed at once: it must not outlive this scope (the dialog and paths it uses).
    TransferJob job(dialog, {{path, path, path}, fake_.factory(), {200ms, 200ms}});
  }
  EXPECT_EQ(dialog.scripted().statuses().back(), u"Ready");
}

}  // namespace
}  // namespace lexora
