// Helpers shared by the test programs.
#pragma once

#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/user_interface.h"
#include "platform/ui_language.h"

namespace lexora::test {

// A UserInterface that records everything shown and answers from a script.
// Thread-safe: the job and the connectivity service call it from their own threads.
class ScriptedUserInterface : public UserInterface {
 public:
  struct Message {
    std::u16string text;
    MessageIcon icon;
    MessageButtons buttons;
  };

  MessageAnswer showMessage(std::u16string_view text, MessageIcon icon,
                            MessageButtons buttons) override;
  void setStatus(std::u16string_view text) override;
  void setProgress(int percent) override;
  std::optional<std::u16string> askPassword(std::u16string_view prompt) override;

  // Answers for Yes/No boxes, used in order; when none is left the answer is Yes.
  void queueAnswer(bool yes);
  // Answers for password prompts, in order; nullopt means Cancel (also when none is left).
  void queuePassword(std::optional<std::u16string> password);

  std::vector<Message> messages() const;
  std::vector<std::u16string> statuses() const;
  std::vector<int> progress() const;
  std::vector<std::u16string> passwordPrompts() const;
  // The texts of the warning boxes only.
  std::vector<std::u16string> warnings() const;

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
  std::vector<std::u16string> statuses_;
  std::vector<int> progress_;
  std::vector<std::u16string> prompts_;
  std::deque<bool> answers_;
  std::deque<std::optional<std::u16string>> passwords_;
};

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Writes bytes to a file (creating folders); returns the path.
std::filesystem::path writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);

// UTF-16 path of a std::filesystem path, as the readers take it.
std::u16string u16path(const std::filesystem::path& path);

// `bytes` as one zlib stream at level 9, as a block's record buffer is made.
std::vector<uint8_t> zlibCompress(std::string_view bytes);

// A text dictionary `folder/NAME.txt` of `entries` lines "NAMEi<TAB>" + 200 letters, large
// enough to fill several blocks; returns its UTF-16 path.
std::u16string writeNumberedDictionary(const std::filesystem::path& folder, const std::string& name,
                                       int entries);

// True in the Windows build (for the few tests of what only one system has, such as file
// names that are bytes rather than UTF-16).
bool runningOnWindows();

// True when a Windows build runs under Wine rather than on Windows (for the few places
// where Wine's components differ from Windows' and a test says so).
bool runningUnderWine();

// Points the settings store at a private, empty place while it lives: a folder for
// XDG_CONFIG_HOME here, a registry key standing in for HKEY_CURRENT_USER on Windows
// (settings_redirect_posix.cpp, settings_redirect_win32.cpp).
class SettingsRedirect {
 public:
  SettingsRedirect();
  ~SettingsRedirect();
  SettingsRedirect(const SettingsRedirect&) = delete;
  SettingsRedirect& operator=(const SettingsRedirect&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Fixes the interface language for one test and points the settings at a private
// place; restores both afterwards.
class LanguageScope {
 public:
  explicit LanguageScope(UiLanguage language);
  ~LanguageScope();

 private:
  SettingsRedirect settings_;
};

}  // namespace lexora::test
