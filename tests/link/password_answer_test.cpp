// The password challenge: the prompt in both languages, the digest over the ANSI bytes,
// Cancel, and the challenge raised through the service.
#include "link/password_answer.h"

#include <gtest/gtest.h>

#include <chrono>

#include "link/fake/fake_service.h"
#include "link/service_route.h"
#include "link/usb_link.h"
#include "platform/ansi_code_page.h"
#include "platform/ui_language.h"
#include "support/test_support.h"

namespace lexora {
namespace {

using namespace std::chrono_literals;

std::string hex(const uint8_t* bytes, size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  return out;
}

std::string digestHex(std::u16string_view password) {
  auto digest = passwordDigest(password);
  return digest ? hex(digest->data(), digest->size()) : "none";
}

TEST(PasswordPrompt, NamesTheAttemptsInTheInterfaceLanguage) {
  {
    test::LanguageScope english(UiLanguage::English);
    EXPECT_EQ(passwordPrompt(3), u"You have 3 attemptes remaining");
    EXPECT_EQ(passwordPrompt(0), u"You have 0 attemptes remaining");
    EXPECT_EQ(passwordPrompt(-2), u"You have -2 attemptes remaining");
  }
  test::LanguageScope chinese(UiLanguage::Chinese);
  EXPECT_EQ(passwordPrompt(3), u"您还可以尝试3次");
}

TEST(PasswordDigest, IsSha1OfTheAnsiBytesBeforeTheFirstZero) {
  EXPECT_EQ(digestHex(u""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(digestHex(u"abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(digestHex(std::u16string(u"ab\0cd", 5)), digestHex(u"ab"));
  // SHA-1 of the 14 bytes "abcdefghijklmn".
  EXPECT_EQ(digestHex(u"abcdefghijklmn"), "85d7c5ff403abe72df5b8a2708821ee33cd0bcce");
  EXPECT_EQ(digestHex(u"abcdefghijklmno"), "none");
  if (ansiCodePage().name() == "CP1252") {
    // Not UTF-8, not UTF-16: the code page's single byte.
    // SHA-1 of the four bytes 63 61 66 E9.
    EXPECT_EQ(digestHex(u"caf\u00e9"), "d2f52bc4406898fc722c0b4e314f9b46fc85cde4");
  }
}

TEST(PasswordAnswer, CancelAndOverlongAnswersLeaveTheBufferUntouched) {
  test::LanguageScope english(UiLanguage::English);
  test::ScriptedUserInterface ui;
  ui.queuePassword(std::nullopt);
  ui.queuePassword(u"abcdefghijklmno");
  ui.queuePassword(u"abc");
  uint8_t answer[20];
  for (int i = 0; i < 2; ++i) {
    std::fill(std::begin(answer), std::end(answer), uint8_t{0xEE});
    EXPECT_EQ(answerPasswordChallenge(ui, 5, answer), kEFail);
    EXPECT_EQ(hex(answer, 20), std::string(40, 'e'));
  }
  EXPECT_EQ(answerPasswordChallenge(ui, 5, answer), kSOk);
  EXPECT_EQ(hex(answer, 20), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(ui.passwordPrompts().size(), 3u);
  EXPECT_EQ(ui.passwordPrompts()[0], u"You have 5 attemptes remaining");
}

class PasswordChallengeTest : public ::testing::TestWithParam<test::ServiceRoute> {
 protected:
  int open() {
    Ref<USBLink> link = USBLink::create(kChannelName, ui, route.factory(), {100ms, 100ms});
    const int result = link->Open();
    if (result == 0) link->Close();
    return result;
  }
  test::LanguageScope english{UiLanguage::English};
  test::ScriptedUserInterface ui;
  FakeService fake;
  test::RoutedService route{GetParam(), fake.factory()};
};

TEST_P(PasswordChallengeTest, TheRightPasswordOpensTheChannel) {
  fake.setPassword(u"secret", 3);
  ui.queuePassword(u"secret");
  EXPECT_EQ(open(), 0);
  EXPECT_EQ(ui.passwordPrompts(), std::vector<std::u16string>{u"You have 3 attemptes remaining"});
}

TEST_P(PasswordChallengeTest, AWrongPasswordIsAskedAgainWithOneAttemptLess) {
  fake.setPassword(u"secret", 3);
  ui.queuePassword(u"guess");
  ui.queuePassword(u"secret");
  EXPECT_EQ(open(), 0);
  EXPECT_EQ(fake.challenges(), (std::vector<int32_t>{3, 2}));
  EXPECT_EQ(ui.passwordPrompts().back(), u"You have 2 attemptes remaining");
}

TEST_P(PasswordChallengeTest, CancelOrTheLastWrongAttemptRefusesTheChannel) {
  fake.setPassword(u"secret", 2);
  ui.queuePassword(std::nullopt);
  EXPECT_EQ(open(), -1);
  ui.queuePassword(u"a");
  ui.queuePassword(u"b");
  EXPECT_EQ(open(), -1);
  EXPECT_EQ(fake.challenges(), (std::vector<int32_t>{2, 2, 1}));
  fake.settle();
  EXPECT_EQ(fake.liveObjects(), 0);
  EXPECT_FALSE(fake.holdsSink());
}

INSTANTIATE_TEST_SUITE_P(Services, PasswordChallengeTest,
                         ::testing::ValuesIn(test::serviceRoutes()), test::routeName);

}  // namespace
}  // namespace lexora
