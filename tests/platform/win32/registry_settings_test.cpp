// The settings in the registry, where the desktop program of other builds looks for them.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "platform/application.h"
#include "platform/ui_language.h"
#include "support/test_support.h"

namespace lexora {
namespace {

TEST(RegistrySettings, LanguageIsAStringWithItsNulUnderTheApplicationsKey) {
  test::SettingsRedirect redirect;
  resetUiLanguageForTesting();
  applicationSettings().write(u"General", u"ansiCodePage", u"CP936");
  const UiLanguage flipped = toggleUiLanguage();

  DWORD type = 0;
  DWORD size = 0;
  const wchar_t* key = L"Software\\Lexora\\Lexora\\UI";
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, key, L"language", RRF_RT_ANY | RRF_NOEXPAND, &type,
                         nullptr, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  std::vector<wchar_t> value(size / sizeof(wchar_t) + 1);
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, key, L"language", RRF_RT_REG_SZ, nullptr, value.data(),
                         &size),
            ERROR_SUCCESS);
  const std::wstring expected = flipped == UiLanguage::Chinese ? L"chinese" : L"english";
  EXPECT_EQ(size, (expected.size() + 1) * sizeof(wchar_t)) << "stored with its NUL";
  EXPECT_EQ(std::wstring(value.data()), expected);
  EXPECT_EQ(applicationSettings().read(u"General", u"ansiCodePage"), u"CP936");

  // What another program stored is read back, exactly.
  resetUiLanguageForTesting();
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, L"language", REG_SZ, L"English", 16),
            ERROR_SUCCESS);
  EXPECT_EQ(applicationSettings().read(u"UI", u"language"), u"English");
  EXPECT_EQ(GetUiLanguage(), systemUiLanguage()) << "a value not exactly english is ignored";
  resetUiLanguageForTesting();
}

TEST(RegistrySettings, AFolderComesBackAsWritten) {
  test::SettingsRedirect redirect;
  const std::u16string folder = u"C:\\Users\\\u674e\\dicts =x ";
  ASSERT_TRUE(applicationSettings().write(u"UI", u"lastFolder", folder));
  EXPECT_EQ(applicationSettings().read(u"UI", u"lastFolder"), folder);
}

}  // namespace
}  // namespace lexora
