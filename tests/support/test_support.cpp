#include "support/test_support.h"

#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>

#include "base/text_codec.h"
#include "platform/path_text.h"
#include "platform/ui_language.h"

namespace lexora::test {

MessageAnswer ScriptedUserInterface::showMessage(std::u16string_view text, MessageIcon icon,
                                                 MessageButtons buttons) {
  std::lock_guard lock(mutex_);
  messages_.push_back({std::u16string(text), icon, buttons});
  if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  bool yes = true;
  if (!answers_.empty()) {
    yes = answers_.front();
    answers_.pop_front();
  }
  return yes ? MessageAnswer::Yes : MessageAnswer::No;
}

void ScriptedUserInterface::setStatus(std::u16string_view text) {
  std::lock_guard lock(mutex_);
  statuses_.emplace_back(text);
}

void ScriptedUserInterface::setProgress(int percent) {
  std::lock_guard lock(mutex_);
  progress_.push_back(percent);
}

std::optional<std::u16string> ScriptedUserInterface::askPassword(std::u16string_view prompt) {
  std::lock_guard lock(mutex_);
  prompts_.emplace_back(prompt);
  if (passwords_.empty()) return std::nullopt;
  auto answer = passwords_.front();
  passwords_.pop_front();
  return answer;
}

void ScriptedUserInterface::queueAnswer(bool yes) {
  std::lock_guard lock(mutex_);
  answers_.push_back(yes);
}

void ScriptedUserInterface::queuePassword(std::optional<std::u16string> password) {
  std::lock_guard lock(mutex_);
  passwords_.push_back(std::move(password));
}

std::vector<ScriptedUserInterface::Message> ScriptedUserInterface::messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}
std::vector<std::u16string> ScriptedUserInterface::statuses() const {
  std::lock_guard lock(mutex_);
  return statuses_;
}
std::vector<int> ScriptedUserInterface::progress() const {
  std::lock_guard lock(mutex_);
  return progress_;
}
std::vector<std::u16string> ScriptedUserInterface::passwordPrompts() const {
  std::lock_guard lock(mutex_);
  return prompts_;
}
std::vector<std::u16string> ScriptedUserInterface::warnings() const {
  std::lock_guard lock(mutex_);
  std::vector<std::u16string> out;
  for (const auto& m : messages_) {
    if (m.icon == MessageIcon::Warning) out.push_back(m.text);
  }
  return out;
}

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() /
          ("lexora-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(random()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path writeFile(const std::filesystem::path& path, std::string_view bytes) {
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::u16string u16path(const std::filesystem::path& path) {
  return pathText(path);
}

std::vector<uint8_t> zlibCompress(std::string_view bytes) {
  // zlib counts in uLong, 32 bits on Windows; test data is far smaller.
  std::vector<uint8_t> out(compressBound(static_cast<uLong>(bytes.size())));
  auto size = static_cast<uLongf>(out.size());
  compress2(out.data(), &size, reinterpret_cast<const Bytef*>(bytes.data()),
            static_cast<uLong>(bytes.size()), 9);
  out.resize(size);
  return out;
}

std::u16string writeNumberedDictionary(const std::filesystem::path& folder, const std::string& name,
                                       int entries) {
  std::string text;
  for (int i = 0; i < entries; ++i) {
    text +=
        name + std::to_string(i) + "\t" + std::string(200, static_cast<char>('a' + i % 26)) + "\n";
  }
  return u16path(writeFile(folder / (name + ".txt"), text));
}

LanguageScope::LanguageScope(UiLanguage language) {
  resetUiLanguageForTesting();
  setUiLanguageForRun(language);
}

LanguageScope::~LanguageScope() {
  resetUiLanguageForTesting();
}

}  // namespace lexora::test
