#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/application.h"
#include "platform/ui_language.h"
#include "support/test_support.h"

namespace lexora {
namespace {

// Each test gets its own settings folder and system language, and starts undecided.
class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
    unsetenv("LANGUAGE");
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    setSystemLanguage("en_US.UTF-8");
    resetUiLanguageForTesting();
  }
  void TearDown() override {
    resetUiLanguageForTesting();
    setenv("LC_ALL", "C.UTF-8", 1);
  }
  void setSystemLanguage(const char* lang) { setenv("LANG", lang, 1); }
  void store(std::u16string_view value) { applicationSettings().write(u"UI", u"language", value); }
  std::u16string stored() { return applicationSettings().read(u"UI", u"language"); }

  test::TempDir config_;
};

TEST_F(LanguageTest, FirstStartFollowsTheSystemLanguage) {
  for (const char* chinese : {"zh_CN.UTF-8", "zh_TW.UTF-8", "zh_HK", "zh_SG", "zh"}) {
    resetUiLanguageForTesting();
    setSystemLanguage(chinese);
    EXPECT_EQ(GetUiLanguage(), kLanguageChinese) << chinese;
  }
  for (const char* other : {"ja_JP.UTF-8", "de_DE", "en_GB", "C"}) {
    resetUiLanguageForTesting();
    setSystemLanguage(other);
    EXPECT_EQ(GetUiLanguage(), kLanguageEnglish) << other;
  }
  EXPECT_EQ(stored(), u"") << "a derived language is never stored";
}

TEST_F(LanguageTest, LanguageVariableComesFirst) {
  setenv("LANGUAGE", "zh_CN:en", 1);
  EXPECT_EQ(GetUiLanguage(), kLanguageChinese);
}

TEST_F(LanguageTest, StoredChoiceMustMatchExactly) {
  setSystemLanguage("zh_CN.UTF-8");
  store(u"english");
  EXPECT_EQ(GetUiLanguage(), kLanguageEnglish);

  for (std::u16string_view near : {u"English", u"english ", u" chinese", u"CHINESE"}) {
    resetUiLanguageForTesting();
    setSystemLanguage("en_US");
    store(near);
    EXPECT_EQ(GetUiLanguage(), kLanguageEnglish);
    resetUiLanguageForTesting();
    setSystemLanguage("zh_CN");
    EXPECT_EQ(GetUiLanguage(), kLanguageChinese) << "the system decides when the value is odd";
    EXPECT_EQ(stored(), near) << "and the odd value is left alone";
  }
}

TEST_F(LanguageTest, OnceDecidedLaterChangesWaitForTheNextStart) {
  store(u"chinese");
  EXPECT_EQ(GetUiLanguage(), kLanguageChinese);
  store(u"english");
  EXPECT_EQ(GetUiLanguage(), kLanguageChinese);
}

TEST_F(LanguageTest, ToggleFlipsAndStoresKeepingOtherSettings) {
  applicationSettings().write(u"General", u"ansiCodePage", u"CP936");
  EXPECT_EQ(GetUiLanguage(), kLanguageEnglish);
  EXPECT_EQ(toggleUiLanguage(), kLanguageChinese);
  EXPECT_EQ(stored(), u"chinese");
  EXPECT_EQ(toggleUiLanguage(), kLanguageEnglish);
  EXPECT_EQ(stored(), u"english");
  EXPECT_EQ(applicationSettings().read(u"General", u"ansiCodePage"), u"CP936");
  EXPECT_EQ(test::readFile(config_.path() / "Lexora" / "Lexora.conf"),
            "[General]\nansiCodePage=CP936\n\n[UI]\nlanguage=english\n");
}

TEST_F(LanguageTest, RunOnlyChoiceIsNotStored) {
  setUiLanguageForRun(kLanguageChinese);
  EXPECT_EQ(GetUiLanguage(), kLanguageChinese);
  EXPECT_EQ(BilingualText({u"中", u"en"}).pick(), u"中");
  EXPECT_EQ(stored(), u"");
}

TEST_F(LanguageTest, UnwritableSettingsStillSwitchTheLanguage) {
  setenv("XDG_CONFIG_HOME", "/proc/no-such-folder", 1);
  EXPECT_EQ(toggleUiLanguage(), kLanguageChinese);
  EXPECT_EQ(GetUiLanguage(), kLanguageChinese);
}

}  // namespace
}  // namespace lexora
