#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/application.h"
#include "platform/atomic_file.h"
#include "platform/file.h"
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

  std::filesystem::path settingsFile() const { return config_.path() / "Lexora" / "Lexora.conf"; }

  test::TempDir config_;
};

TEST_F(LanguageTest, FirstStartFollowsTheSystemLanguage) {
  for (const char* chinese : {"zh_CN.UTF-8", "zh_TW.UTF-8", "zh_HK", "zh_SG", "zh"}) {
    resetUiLanguageForTesting();
    setSystemLanguage(chinese);
    EXPECT_EQ(GetUiLanguage(), UiLanguage::Chinese) << chinese;
  }
  for (const char* other : {"ja_JP.UTF-8", "de_DE", "en_GB", "C"}) {
    resetUiLanguageForTesting();
    setSystemLanguage(other);
    EXPECT_EQ(GetUiLanguage(), UiLanguage::English) << other;
  }
  EXPECT_EQ(stored(), u"") << "a derived language is never stored";
}

TEST_F(LanguageTest, LanguageVariableComesFirst) {
  setenv("LANGUAGE", "zh_CN:en", 1);
  EXPECT_EQ(GetUiLanguage(), UiLanguage::Chinese);
}

TEST_F(LanguageTest, StoredChoiceMustMatchExactly) {
  setSystemLanguage("zh_CN.UTF-8");
  store(u"english");
  EXPECT_EQ(GetUiLanguage(), UiLanguage::English);

  for (std::u16string_view near : {u"English", u"english ", u" chinese", u"CHINESE"}) {
    resetUiLanguageForTesting();
    setSystemLanguage("en_US");
    store(near);
    EXPECT_EQ(GetUiLanguage(), UiLanguage::English);
    resetUiLanguageForTesting();
    setSystemLanguage("zh_CN");
    EXPECT_EQ(GetUiLanguage(), UiLanguage::Chinese) << "the system decides when the value is odd";
    EXPECT_EQ(stored(), near) << "and the odd value is left alone";
  }
}

TEST_F(LanguageTest, OnceDecidedLaterChangesWaitForTheNextStart) {
  store(u"chinese");
  EXPECT_EQ(GetUiLanguage(), UiLanguage::Chinese);
  store(u"english");
  EXPECT_EQ(GetUiLanguage(), UiLanguage::Chinese);
}

TEST_F(LanguageTest, ToggleFlipsAndStoresKeepingOtherSettings) {
  applicationSettings().write(u"General", u"ansiCodePage", u"CP936");
  EXPECT_EQ(GetUiLanguage(), UiLanguage::English);
  EXPECT_EQ(toggleUiLanguage(), UiLanguage::Chinese);
  EXPECT_EQ(stored(), u"chinese");
  EXPECT_EQ(toggleUiLanguage(), UiLanguage::English);
  EXPECT_EQ(stored(), u"english");
  EXPECT_EQ(applicationSettings().read(u"General", u"ansiCodePage"), u"CP936");
  EXPECT_EQ(test::readFile(config_.path() / "Lexora" / "Lexora.conf"),
            "[General]\nansiCodePage=CP936\n\n[UI]\nlanguage=english\n");
}

TEST_F(LanguageTest, AFolderComesBackAsWrittenAndALineBreakCannotAddEntries) {
  const std::u16string folder = u"/home/李/dicts =x ";
  EXPECT_TRUE(applicationSettings().write(u"UI", u"lastFolder", folder));
  EXPECT_FALSE(applicationSettings().write(u"UI", u"lastFolder", u"/a\n[UI]\nlanguage=chinese"));
  EXPECT_FALSE(applicationSettings().write(u"UI", u"last\rFolder", u"/a"));
  EXPECT_EQ(applicationSettings().read(u"UI", u"lastFolder"), folder);
  EXPECT_EQ(test::readFile(settingsFile()), "[UI]\nlastFolder=/home/李/dicts =x \n");
}

TEST_F(LanguageTest, RunOnlyChoiceIsNotStored) {
  setUiLanguageForRun(UiLanguage::Chinese);
  EXPECT_EQ(GetUiLanguage(), UiLanguage::Chinese);
  EXPECT_EQ(pick(BilingualText{u"中", u"en"}), u"中");
  EXPECT_EQ(stored(), u"");
}

TEST_F(LanguageTest, UnwritableSettingsStillSwitchTheLanguage) {
  setenv("XDG_CONFIG_HOME", "/proc/no-such-folder", 1);
  EXPECT_EQ(toggleUiLanguage(), UiLanguage::Chinese);
  EXPECT_EQ(GetUiLanguage(), UiLanguage::Chinese);
}

// Settings are read at the first use and kept: a later change on disk (or a file that never
// ends) is not read again for every lookup.
TEST_F(LanguageTest, SettingsAreReadOncePerRun) {
  test::writeFile(settingsFile(), "[UI]\nlanguage=chinese\n");
  EXPECT_EQ(stored(), u"chinese");
  test::writeFile(settingsFile(), "[UI]\nlanguage=english\n");
  EXPECT_EQ(stored(), u"chinese");
  EXPECT_EQ(GetUiLanguage(), UiLanguage::Chinese);
}

// Anything but a small regular file is set aside whole: nothing read, nothing written, and
// the reason kept for the one warning; the system's language decides.
TEST_F(LanguageTest, SettingsThatAreNotASmallRegularFileAreSetAside) {
  setSystemLanguage("zh_CN.UTF-8");
  const std::string big = "[UI]\nlanguage=english\n" + std::string(kSettingsMaxBytes, '\n');
  test::writeFile(settingsFile(), big);
  ASSERT_EQ(stored(), u"");
  ASSERT_TRUE(applicationSettings().problem());
  EXPECT_EQ(applicationSettings().problem()->systemError, EFBIG);
  EXPECT_EQ(GetUiLanguage(), UiLanguage::Chinese);
  EXPECT_EQ(toggleUiLanguage(), UiLanguage::English) << "the switch still applies to the run";
  EXPECT_EQ(test::readFile(settingsFile()), big) << "a file set aside is not replaced";

  // Exactly the bound is still read.
  test::TempDir other;
  setenv("XDG_CONFIG_HOME", other.path().c_str(), 1);
  const std::string full = "[UI]\nlanguage=english\n";
  test::writeFile(other.path() / "Lexora" / "Lexora.conf",
                  full + std::string(kSettingsMaxBytes - full.size(), '\n'));
  EXPECT_EQ(stored(), u"english");
  EXPECT_FALSE(applicationSettings().problem());

  for (const char* kind : {"device", "fifo", "folder"}) {
    test::TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    const auto file = dir.path() / "Lexora" / "Lexora.conf";
    std::filesystem::create_directories(file.parent_path());
    const std::string_view made = kind;
    if (made == "device") std::filesystem::create_symlink("/dev/zero", file);
    if (made == "fifo") {
      ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    }
    if (made == "folder") std::filesystem::create_directory(file);
    EXPECT_EQ(stored(), u"") << kind;
    ASSERT_TRUE(applicationSettings().problem()) << kind;
    EXPECT_EQ(applicationSettings().problem()->systemError, kNotARegularFile) << kind;
    EXPECT_FALSE(applicationSettings().write(u"UI", u"language", u"english")) << kind;
  }
}

// A link planted at the temporary name, between its choice and the creation, is not written
// through: another name is taken and the choice is stored all the same.
TEST_F(LanguageTest, SavingTheLanguageNeverWritesThroughALinkAtTheTemporaryName) {
  static std::filesystem::path victim;
  static bool planted;
  victim = config_.path() / "victim";
  planted = false;
  test::writeFile(victim, "precious");
  AtomicFile::setTemporaryNameHookForTesting([](const std::filesystem::path& temp) {
    if (planted) return;
    std::filesystem::create_symlink(victim, temp);
    planted = true;
  });
  const UiLanguage language = toggleUiLanguage();
  AtomicFile::setTemporaryNameHookForTesting(nullptr);
  ASSERT_TRUE(planted);
  EXPECT_EQ(test::readFile(victim), "precious");
  EXPECT_EQ(stored(), language == UiLanguage::Chinese ? u"chinese" : u"english");
  EXPECT_EQ(test::readFile(settingsFile()), language == UiLanguage::Chinese
                                                ? "[UI]\nlanguage=chinese\n"
                                                : "[UI]\nlanguage=english\n");
}

}  // namespace
}  // namespace lexora
