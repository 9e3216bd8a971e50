#include "app/lexora_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "app/default_button.h"
#include "app/job_box_cases.h"
#include "base/text_codec.h"
#include "job/load_and_pack.h"
#include "job/open_failure_texts.h"
#include "job/packing_texts.h"
#include "link/fake/fake_service.h"
#include "pack/packed_image.h"
#include "platform/application.h"
#include "platform/path_text.h"
#include "platform/settings.h"
#include "platform/ui_language.h"
#include "support/test_support.h"
#include "test_view.h"

namespace lexora {
namespace {

using namespace std::chrono_literals;
using Paths = std::vector<std::u16string>;

class LexoraDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    USBLink::resetSendChunkSizeForTesting();
    dialog_.initDialog();
  }

  std::u16string dictionary(const std::string& name, int entries) {
    return test::writeNumberedDictionary(dir_.path(), name, entries);
  }
  void select(Paths paths) {
    view_.files.push_back(std::move(paths));
    dialog_.command(main_control::kBrowse);
  }
  // Pumps the dialog's thread until the job has restored the dialog.
  bool pumpUntilJobEnded() {
    const size_t before = view_.statuses.size();
    return view_.pumpUntil([this, before] {
      return view_.statuses.size() > before && view_.statuses.back() == u"Ready" &&
             view_.enabled(main_control::kSend) && !view_.enabled(main_control::kStop);
    });
  }
  // What the dialog showed, for failure messages.
  std::string shown() const {
    std::string text;
    for (const auto& status : view_.statuses) text += "\n  status: " + utf16ToUtf8(status);
    for (const auto& message : view_.messages) text += "\n  box: " + utf16ToUtf8(message.text);
    return text;
  }
  size_t warnings() const {
    return std::count_if(view_.messages.begin(), view_.messages.end(),
                         [](const auto& m) { return m.icon == MessageIcon::Warning; });
  }

  test::LanguageScope language_{UiLanguage::English};
  test::TempDir dir_;
  FakeService fake_;
  test::TestView view_{mainDialogTemplate(GetUiLanguage())};
  CLexoraDlg dialog_{view_, fake_.factory(), {200ms, 200ms}};
};

TEST_F(LexoraDialogTest, StartsReadyWithSendEnabledAndStopDisabled) {
  EXPECT_EQ(view_.controlText(main_control::kStatusLine), u"Ready");
  EXPECT_TRUE(view_.enabled(main_control::kSend));
  EXPECT_FALSE(view_.enabled(main_control::kStop));
  EXPECT_TRUE(view_.controlText(main_control::kFileBox).empty());
}

TEST_F(LexoraDialogTest, BrowseKeepsTheOrderAndACancelKeepsTheSelection) {
  select({u"/d/b.ifo", u"/d/a.txt"});
  EXPECT_EQ(view_.controlText(main_control::kFileBox), u"/d/b.ifo;/d/a.txt");
  view_.files.push_back(std::nullopt);
  dialog_.command(main_control::kBrowse);
  EXPECT_EQ(dialog_.selection().paths,
            (std::vector<std::filesystem::path>{u"/d/b.ifo", u"/d/a.txt"}));
  EXPECT_EQ(view_.controlText(main_control::kFileBox), u"/d/b.ifo;/d/a.txt");
  ASSERT_EQ(view_.fileRequests.size(), 2u);
  ASSERT_EQ(view_.fileRequests[0].filters.size(), 7u);
  EXPECT_EQ(view_.fileRequests[0].filters[0].pattern,
            u"*.txt;*.tab;*.ifo;*.index;*.dsl;*.dsl.dz;*.xdxf;*.mdx");
}

TEST_F(LexoraDialogTest, ReturnPressesBrowseAndAJobGivesTheFocusBackToTheButtonItHad) {
  using namespace main_control;
  EXPECT_EQ(view_.defaultButton, kBrowse);
  EXPECT_EQ(defaultButtonNow([](int id) { return id != kBrowse; }), kSend);
  EXPECT_EQ(defaultButtonNow([](int id) { return id == kStop || id == kLanguage; }), kStop);
  EXPECT_EQ(defaultButtonNow([](int) { return false; }), 0);

  select({dictionary("one", 3)});
  view_.focused = kSend;  // Send pressed from the keyboard
  dialog_.command(kSend);
  ASSERT_TRUE(view_.pumpUntil([this] { return !view_.enabled(kSend); }));
  EXPECT_EQ(view_.focused, kBrowse) << "the focus is not left on a disabled button";
  ASSERT_TRUE(pumpUntilJobEnded()) << shown();
  EXPECT_EQ(view_.focused, kSend);
  EXPECT_EQ(view_.defaultButton, kBrowse);

  // Where the user moved the focus during the job, it stays.
  ASSERT_TRUE(view_.pumpUntil([this] { return !dialog_.jobRunning(); }));
  dialog_.command(kSend);
  ASSERT_TRUE(view_.pumpUntil([this] { return !view_.enabled(kSend); }));
  view_.focused = kExit;
  ASSERT_TRUE(pumpUntilJobEnded()) << shown();
  EXPECT_EQ(view_.focused, kExit);
}

TEST_F(LexoraDialogTest, BrowseOpensInTheFolderOfTheFileLastChosenOrDropped) {
  const std::filesystem::path sub = dir_.path() / "sub";
  std::filesystem::create_directory(sub);
  select({dictionary("first", 1)});
  dialog_.command(main_control::kBrowse);  // cancelled: the folder stays
  dialog_.drop({sub / "b.txt", sub / "a.txt"});
  EXPECT_EQ(dialog_.selection().paths,
            (std::vector<std::filesystem::path>{sub / "b.txt", sub / "a.txt"}));
  EXPECT_EQ(view_.controlText(main_control::kFileBox),
            pathText(sub / "b.txt") + u";" + pathText(sub / "a.txt"));
  dialog_.command(main_control::kBrowse);
  std::filesystem::remove(sub);
  dialog_.command(main_control::kBrowse);
  ASSERT_EQ(view_.fileRequests.size(), 4u);
  EXPECT_EQ(view_.fileRequests[0].initialFolder, u"");
  EXPECT_EQ(view_.fileRequests[1].initialFolder, pathText(dir_.path()));
  EXPECT_EQ(view_.fileRequests[2].initialFolder, pathText(sub));
  EXPECT_EQ(view_.fileRequests[3].initialFolder, u"") << "a folder since removed: the default";
}

TEST_F(LexoraDialogTest, SendWhileRunningIsRefusedAndASecondStopFindsNoJob) {
  select({dictionary("one", 3)});
  dialog_.command(main_control::kSend);
  // The job now waits for the dialog's thread, which this test does not pump yet.
  ASSERT_TRUE(view_.waitForPosted());
  EXPECT_TRUE(dialog_.jobRunning());
  dialog_.command(main_control::kSend);
  EXPECT_EQ(warnings(), 1u) << "a second job is refused";
  dialog_.command(main_control::kStop);
  EXPECT_EQ(warnings(), 1u) << "the first Stop reaches the job";
  EXPECT_FALSE(dialog_.jobRunning());
  dialog_.command(main_control::kStop);
  EXPECT_EQ(warnings(), 2u) << "the second Stop finds no job";
  // The stop pressed while loading ends the job at the Yes, without sending.
  ASSERT_TRUE(pumpUntilJobEnded());
  fake_.settle();
  EXPECT_TRUE(fake_.acceptedBytes().empty());
  // And a new Send is accepted once it ended.
  dialog_.command(main_control::kSend);
  ASSERT_TRUE(pumpUntilJobEnded());
  EXPECT_EQ(warnings(), 2u);
  EXPECT_FALSE(fake_.acceptedBytes().empty());
}

TEST_F(LexoraDialogTest, ExitAsksFirstAndEndsOnlyOnYes) {
  view_.answers = {false, true};
  dialog_.command(main_control::kExit);  // the Exit button, the Escape key and the close box alike
  EXPECT_FALSE(view_.ended);
  dialog_.command(main_control::kExit);
  EXPECT_TRUE(view_.ended);
  ASSERT_EQ(view_.messages.size(), 2u);
  EXPECT_EQ(view_.messages[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(view_.messages[0].text, view_.messages[1].text);
}

TEST_F(LexoraDialogTest, LanguageSwitchTwiceRestoresLabelsAndKeepsBoxAndStatus) {
  select({u"/d/a.txt"});
  const auto labels = [this](int templateId) {
    for (const ControlTemplate& control : findDialogTemplate(templateId)->controls) {
      if (control.id == main_control::kFileBox || control.id == main_control::kStatusLine) continue;
      if (view_.controlText(control.id) != control.text) return false;
    }
    return view_.title() == findDialogTemplate(templateId)->caption;
  };
  dialog_.command(main_control::kLanguage);
  EXPECT_TRUE(labels(102));
  EXPECT_EQ(GetUiLanguage(), UiLanguage::Chinese);
  EXPECT_EQ(applicationSettings().read(u"UI", u"language"), u"chinese");
  EXPECT_EQ(view_.controlText(main_control::kFileBox), u"/d/a.txt");
  EXPECT_EQ(view_.controlText(main_control::kStatusLine), u"Ready");
  dialog_.command(main_control::kAbout);  // in the language of that moment
  dialog_.command(main_control::kLanguage);
  EXPECT_TRUE(labels(103));
  EXPECT_EQ(applicationSettings().read(u"UI", u"language"), u"english");
  EXPECT_EQ(view_.controlText(main_control::kFileBox), u"/d/a.txt");
  dialog_.command(main_control::kAbout);
  EXPECT_EQ(view_.abouts, (std::vector<int>{100, 104}));
}

TEST_F(LexoraDialogTest, AWholeTransferShowsEachStepOnTheStatusLine) {
  const auto path = dictionary("whole", 40);
  select({path});
  fake_.setPassword(u"secret", 3);  // the prompt comes from the service's own thread
  view_.passwords.push_back(u"secret");
  dialog_.command(main_control::kSend);
  ASSERT_TRUE(pumpUntilJobEnded());
  EXPECT_EQ(view_.passwordDialogs, std::vector<int>{132});
  fake_.settle();
  test::ScriptedUserInterface quiet;
  EXPECT_EQ(fake_.acceptedBytes(),
            serializePackedImage(loadAndPackFile(path, quiet)->packed.dictionary));
  const auto& statuses = view_.statuses;
  const auto shows = [&statuses](std::u16string_view text) {
    return std::find(statuses.begin(), statuses.end(), text) != statuses.end();
  };
  EXPECT_TRUE(shows(u"Load dictionary file " + path + u"...Success"));
  EXPECT_TRUE(shows(u"Compress dictionary file " + path + u"...Success"));
  EXPECT_GT(statuses.size(), 6u) << "the sending steps are shown too";
  EXPECT_EQ(view_.messages.size(), 1u) << "only the size question";
  EXPECT_EQ(warnings(), 0u);
}

// The job sends what was selected when Send was pressed, and speaks the language of the
// moment each text is shown.
TEST_F(LexoraDialogTest, BrowseAndTheLanguageSwitchDuringAJobChangeOnlyWhatComesNext) {
  const auto first = dictionary("first", 5);
  const auto next = dictionary("next", 7);
  select({first});
  dialog_.command(main_control::kSend);
  ASSERT_TRUE(view_.waitForPosted());  // the job runs and waits for this thread
  select({next});
  dialog_.command(main_control::kLanguage);
  ASSERT_TRUE(view_.pumpUntil([this] {
    return !view_.statuses.empty() && view_.statuses.back() == u"准备就绪" &&
           view_.enabled(main_control::kSend);
  })) << shown();
  fake_.settle();
  test::ScriptedUserInterface quiet;
  const PackedDictionary sent = loadAndPackFile(first, quiet)->packed.dictionary;
  EXPECT_EQ(fake_.acceptedBytes(), serializePackedImage(sent));
  EXPECT_EQ(dialog_.selection().text, next);
  ASSERT_EQ(view_.messages.size(), 1u) << shown();
  EXPECT_EQ(view_.messages[0].text, sizeQuestion(packedSize(sent))) << "asked in Chinese";
}

TEST_F(LexoraDialogTest, ExitWhileTheJobWaitsForTheDialogEndsWithoutSending) {
  select({dictionary("first", 3), dictionary("second", 3)});
  dialog_.command(main_control::kSend);
  ASSERT_TRUE(view_.waitForPosted());    // the job waits for this thread
  dialog_.command(main_control::kExit);  // answered Yes; must neither hang nor send
  EXPECT_TRUE(view_.ended);
  fake_.settle();
  EXPECT_TRUE(fake_.acceptedBytes().empty());
  EXPECT_FALSE(fake_.channelOpen());
}

TEST_F(LexoraDialogTest, ExitWhileBlocksAreSentStillSendsTheEndFlag) {
  select({dictionary("big", 200), dictionary("later", 3)});
  // "big"'s end flag waits for Exit: however the threads are scheduled, Exit comes while
  // blocks are being sent.
  std::atomic<bool> exitAsked{false};
  view_.onMessage = [&exitAsked](const test::TestView::Message& message) {
    if (message.text.find(u"exit") != std::u16string::npos) exitAsked = true;
  };
  fake_.holdEndFlagUntil([&exitAsked] { return exitAsked.load(); });
  dialog_.command(main_control::kSend);
  ASSERT_TRUE(view_.pumpUntil([this] {
    return std::any_of(view_.statuses.begin(), view_.statuses.end(), [](const auto& status) {
      return status.find(u'%') != std::u16string::npos;
    });
  })) << shown();
  dialog_.command(main_control::kExit);
  EXPECT_TRUE(view_.ended);
  fake_.settle();
  const auto bytes = fake_.acceptedBytes();
  ASSERT_GE(bytes.size(), 3u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 3, bytes.end()), (std::vector<uint8_t>{4, 0, 0}));
  EXPECT_FALSE(fake_.channelOpen());
  EXPECT_EQ(std::count_if(view_.messages.begin(), view_.messages.end(),
                          [](const auto& m) { return m.buttons == MessageButtons::YesNo; }),
            2)
      << "the size question and the exit question; the later file is never asked about";
}

// The job's boxes block only the job: a Stop pressed while the size question is open is
// taken at once, and is pending until a Yes: after a No the next file's Yes ends the job.
TEST_F(LexoraDialogTest, StopDuringTheSizeQuestionEndsTheJobAtTheNextYes) {
  select({dictionary("first", 3), dictionary("second", 3)});
  view_.answers = {false, true};
  view_.onMessage = [this](const test::TestView::Message&) {
    if (view_.messages.size() == 1) {
      dialog_.command(main_control::kStop);
      EXPECT_FALSE(dialog_.jobRunning()) << "the Stop reached the job";
    }
  };
  dialog_.command(main_control::kSend);
  ASSERT_TRUE(pumpUntilJobEnded()) << shown();
  EXPECT_EQ(view_.messages.size(), 2u) << "both questions, no refusal" << shown();
  EXPECT_EQ(view_.jobBoxes, 2);
  fake_.settle();
  EXPECT_TRUE(fake_.acceptedBytes().empty());
}

// Exit while a box of the job is open, from inside that box: the exit question is asked,
// the box is closed, the job gets its closing answer and ends before Exit returns.
TEST_F(LexoraDialogTest, ExitWithAJobBoxOpenClosesItAndEndsTheJob) {
  for (const test::JobBoxCase which : test::kJobBoxCases) {
    SCOPED_TRACE(static_cast<int>(which));
    FakeService fake;
    test::arrangeJobBox(fake, which);
    test::TestView view{mainDialogTemplate(GetUiLanguage())};
    CLexoraDlg dialog{view, fake.factory(), {200ms, 200ms}};
    dialog.select({dictionary("one", 3)});
    bool exiting = false;  // the exit question comes through onMessage too
    const auto exitFromTheBox = [&] {
      if (view.jobBoxes != 1 || exiting) return;
      exiting = true;
      dialog.command(main_control::kExit);  // the exit question: Yes
      EXPECT_TRUE(view.ended);
      EXPECT_FALSE(dialog.jobRunning());
      EXPECT_EQ(view.jobBoxesClosed, 1) << "the open box is closed";
    };
    view.onMessage = [&](const test::TestView::Message&) { exitFromTheBox(); };
    view.onPassword = exitFromTheBox;
    dialog.command(main_control::kSend);
    ASSERT_TRUE(view.pumpUntil([&] { return view.ended; }));
    EXPECT_EQ(view.jobBoxes, 1);
    fake.settle();
    EXPECT_TRUE(fake.acceptedBytes().empty());
    EXPECT_FALSE(fake.channelOpen());
    EXPECT_TRUE(view.ownerlessMessages.empty());
  }
}

// Exit in the middle of a send: once the job has ended the user is told, in a box without
// owner, that the dictionary on the handheld was cut off.
TEST_F(LexoraDialogTest, ExitWhileBlocksAreSentWarnsOfTheCutOffOnceTheDialogEnded) {
  const auto path = dictionary("long", 2000);
  test::ScriptedUserInterface quiet;
  ASSERT_GE(loadAndPackFile(path, quiet)->packed.dictionary.blocks.size(), 3u);
  select({path});
  dialog_.command(main_control::kSend);
  // The job waits for the next status, this thread takes Exit: it stops after a block.
  ASSERT_TRUE(view_.pumpUntil([this] {
    return !view_.statuses.empty() && view_.statuses.back().find(u'%') != std::u16string::npos;
  })) << shown();
  dialog_.command(main_control::kExit);
  ASSERT_TRUE(view_.ended);
  ASSERT_EQ(view_.ownerlessMessages.size(), 1u);
  EXPECT_TRUE(view_.ownerlessMessages[0].afterEnd);
  EXPECT_NE(view_.ownerlessMessages[0].text.find(u"long"), std::u16string::npos);
  EXPECT_EQ(warnings(), 0u) << "not shown as the job's own box";
  fake_.settle();
  const auto bytes = fake_.acceptedBytes();
  ASSERT_GE(bytes.size(), 3u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 3, bytes.end()), (std::vector<uint8_t>{4, 0, 0}));
}

// A silent handheld: Exit while the job waits for a block's acknowledgement returns within
// the link's close time-out, not its data time-out, with the job ended.
TEST_F(LexoraDialogTest, ExitWithASilentHandheldWaitsOnlyTheCloseTimeOut) {
  constexpr auto kData = 20s;
  constexpr auto kClose = 300ms;
  test::TestView view{mainDialogTemplate(GetUiLanguage())};
  CLexoraDlg dialog{view, fake_.factory(), {kData, kClose}};
  fake_.queueReply(FakeService::ack());      // the name
  fake_.queueReply(FakeService::silence());  // the first block, never acknowledged
  dialog.select({dictionary("silent", 40)});
  dialog.command(main_control::kSend);
  ASSERT_TRUE(view.pumpUntil([&] {
    return !view.statuses.empty() && view.statuses.back().find(u'%') != std::u16string::npos;
  }));
  const auto start = std::chrono::steady_clock::now();
  dialog.command(main_control::kExit);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(view.ended);
  EXPECT_LT(took, kClose + 2s)
      << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
  EXPECT_FALSE(dialog.jobRunning());
  fake_.settle();
  EXPECT_FALSE(fake_.channelOpen());
}

// Progress reaches the view as it rises, is marked on the block that failed, and is gone
// once each dictionary is done, so the next file starts from nothing.
TEST_F(LexoraDialogTest, ProgressRisesIsMarkedFailedAndIsClearedAfterEachDictionary) {
  select({dictionary("first", 60), dictionary("second", 40)});
  fake_.queueReply(FakeService::ack());   // first's name
  fake_.queueReply(FakeService::ack());   // its first block
  fake_.queueReply(FakeService::ack(7));  // its second block is refused
  dialog_.command(main_control::kSend);
  ASSERT_TRUE(view_.pumpUntil([this] { return !dialog_.jobRunning(); })) << shown();
  const auto& progress = view_.progress;
  ASSERT_GE(progress.size(), 6u);
  EXPECT_EQ(progress[0].state, ProgressState::Normal);
  EXPECT_EQ(progress[1].state, ProgressState::Normal);
  EXPECT_LT(progress[0].percent, progress[1].percent);
  EXPECT_EQ(progress[2].state, ProgressState::Failed);
  EXPECT_EQ(progress[2].percent, progress[1].percent) << "the failed block is the one shown";
  EXPECT_EQ(progress[3].state, ProgressState::None);
  // The second dictionary rises from its own first block to 100, then is cleared.
  int last = 0;
  for (size_t i = 4; i + 1 < progress.size(); ++i) {
    EXPECT_EQ(progress[i].state, ProgressState::Normal);
    EXPECT_GT(progress[i].percent, last);
    last = progress[i].percent;
  }
  EXPECT_EQ(last, 100);
  EXPECT_EQ(progress.back().state, ProgressState::None);
  EXPECT_EQ(warnings(), 1u) << shown();
}

// A job is announced only when it took longer than kLongJob and the window is not active.
TEST_F(LexoraDialogTest, AJobThatEndsLongAfterSendWhileTheWindowIsInactiveIsAnnounced) {
  std::atomic<int64_t> seconds{0};
  dialog_.setClock([&seconds] {
    return std::chrono::steady_clock::time_point(std::chrono::seconds(seconds.load()));
  });
  struct Case {
    int64_t lasted;
    bool active;
    size_t notifications;
  };
  for (const Case& c : {Case{11, false, 1}, Case{11, true, 0}, Case{10, false, 0}}) {
    SCOPED_TRACE(c.lasted);
    const size_t before = view_.notifications.size();
    view_.active = c.active;
    seconds = 1000;
    dialog_.command(main_control::kSend);  // no file: the channel is opened and closed
    seconds = 1000 + c.lasted;
    ASSERT_TRUE(view_.pumpUntil([this] { return !dialog_.jobRunning(); }));
    EXPECT_EQ(view_.notifications.size() - before, c.notifications);
  }
  EXPECT_EQ(view_.notifications, std::vector<std::u16string>{u"Lexora: the transfer has ended."});
}

// The open-failure box keeps its text and gains one line: the reason the link knows, or the
// handheld's own words in its place.
TEST_F(LexoraDialogTest, TheOpenFailureBoxSaysWhyTheChannelDidNotOpen) {
  const std::u16string plain = openFailureMessage(u"");
  struct Case {
    std::function<void(FakeService&)> arrange;
    std::u16string reason;
    ServiceFactory service = nullptr;  // instead of the fake's own
  };
  const Case cases[] = {
      {[](FakeService& fake) { fake.setDevices({}); }, u"No handheld answered."},
      {[](FakeService& fake) { fake.setPassword(u"secret", 3); },  // the prompt is cancelled
       u"The password was cancelled, so no channel was opened."},
      {[](FakeService& fake) {
         fake.setDevices({});
         fake.setHandheldReason(u"busy with another computer");
       },
       u"busy with another computer"},
      {[](FakeService&) {}, u"The handheld's connectivity software is not installed.",
       [](IDeviceManager**) { return kClassNotRegistered; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(utf16ToUtf8(c.reason));
    FakeService fake;
    c.arrange(fake);
    test::TestView view{mainDialogTemplate(GetUiLanguage())};
    CLexoraDlg dialog{view, c.service ? c.service : fake.factory(), {200ms, 200ms}};
    dialog.command(main_control::kSend);
    ASSERT_TRUE(view.pumpUntil([&dialog] { return !dialog.jobRunning(); }));
    ASSERT_EQ(view.messages.size(), 1u);
    std::u16string text = view.messages[0].text;
    const size_t line = text.find(u'\n') + 1;
    const size_t lineEnd = text.find(u'\n', line);
    ASSERT_NE(lineEnd, std::u16string::npos);
    EXPECT_EQ(text.substr(line, lineEnd - line), c.reason);
    EXPECT_EQ(text.erase(line, lineEnd - line + 1), plain) << "the box keeps its own text";
  }
}

// Every text the main dialog shows of its own, in both languages, as the user reads it: the
// one place where wording is pinned.
TEST_F(LexoraDialogTest, EveryTextOfTheDialogInBothLanguages) {
  struct Texts {
    UiLanguage language;
    std::u16string notBeingSent, beingSent, openFailure, exitQuestion, openTitle;
    std::vector<std::u16string> filters;
  };
  const Texts table[] = {
      {UiLanguage::Chinese,
       u"没有启动发送词典文件！",
       u"已经启动发送词典文件！",
       u"打开USB通道失败！\n没有手机应答。\n请检查：\n1、手机连接是否正常\n2、手机上是否已运行Lex"
       u"ora",
       u"你真的想退出莱克索拉吗？",
       u"打开词典文件",
       {u"所有支持的词典文件(*.txt;*.tab;*.ifo)", u"Lexora词典文件(*.txt;*.tab)",
        u"StarDict词典文件(*.ifo)", u"dictd词典文件(*.index)", u"DSL词典文件(*.dsl;*.dsl.dz)",
        u"XDXF词典文件(*.xdxf)", u"MDict词典文件(*.mdx)"}},
      {UiLanguage::English,
       u"Dictionary file isn't being sent!",
       u"Dictionary file is being sent!",
       u"Open USB link failed!\nNo handheld answered.\nPlease check: \n1. Is mobile phone "
       u"connected to PC correctly\n2. Is Lexora running on mobile phone",
       u"Do you realy want to exit Lexora？",
       u"Open Dictionary File",
       {u"All Support Dictionary Files(*.txt;*.tab;*.ifo)", u"Lexora Dictionary Files(*.txt;*.tab)",
        u"StarDict Dictionary Files(*.ifo)", u"dictd Dictionary Files(*.index)",
        u"DSL Dictionary Files(*.dsl;*.dsl.dz)", u"XDXF Dictionary Files(*.xdxf)",
        u"MDict (*.mdx)"}},
  };
  fake_.setDevices({});
  for (const Texts& expected : table) {
    test::LanguageScope language{expected.language};
    view_.messages.clear();
    view_.fileRequests.clear();
    dialog_.command(main_control::kStop);
    dialog_.command(main_control::kSend);
    ASSERT_TRUE(view_.waitForPosted());  // the job runs and waits for this thread
    dialog_.command(main_control::kSend);
    ASSERT_TRUE(view_.pumpUntil([this] { return !dialog_.jobRunning(); }));
    view_.answers.push_back(false);
    dialog_.command(main_control::kExit);
    view_.files.push_back(std::nullopt);
    dialog_.command(main_control::kBrowse);

    std::vector<std::u16string> shown;
    for (const auto& message : view_.messages) shown.push_back(message.text);
    EXPECT_EQ(shown, (std::vector<std::u16string>{expected.notBeingSent, expected.beingSent,
                                                  expected.openFailure, expected.exitQuestion}));
    ASSERT_EQ(view_.fileRequests.size(), 1u);
    EXPECT_EQ(view_.fileRequests[0].title, expected.openTitle);
    std::vector<std::u16string> filters;
    for (const auto& filter : view_.fileRequests[0].filters)
      filters.emplace_back(filter.description);
    EXPECT_EQ(filters, expected.filters);
  }
}

}  // namespace
}  // namespace lexora
