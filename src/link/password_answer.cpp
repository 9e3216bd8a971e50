#include "link/password_answer.h"

#include <algorithm>
#include <cstring>

#include "base/format_text.h"
#include "platform/ansi_code_page.h"
#include "platform/sha1.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

constexpr BilingualText kPrompt{u"您还可以尝试{attempts}次",
                                u"You have {attempts} attemptes remaining"};

// Keeps the password's bytes from lingering in freed memory.
class WipedString {
 public:
  explicit WipedString(std::string bytes) : bytes_(std::move(bytes)) {}
  ~WipedString() { wipeSecret(bytes_.data(), bytes_.size()); }
  WipedString(const WipedString&) = delete;
  WipedString& operator=(const WipedString&) = delete;
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace

std::u16string passwordPrompt(int32_t attemptsRemaining) {
  return formatText(kPrompt, {{u"attempts", attemptsRemaining}});
}

std::optional<std::array<uint8_t, 20>> passwordDigest(std::u16string_view password) {
  if (password.size() > kPasswordMaxCharacters) return std::nullopt;
  const WipedString ansi(ansiCodePage().encode(password));
  // The digest covers the bytes before the first zero, as a zero-terminated conversion
  // buffer would give them. A password whose ANSI form exceeds the 19 bytes such a buffer
  // holds (only possible with double-byte characters) is hashed whole rather than cut in
  // the middle of a character: the digest must be that of the password the user typed.
  const std::string& bytes = ansi.bytes();
  const size_t length = std::find(bytes.begin(), bytes.end(), '\0') - bytes.begin();
  return sha1Digest(bytes.data(), length);
}

HResult answerPasswordChallenge(UserInterface& ui, int32_t attemptsRemaining, uint8_t* answer) {
  if (!answer) return kEPointer;
  std::optional<std::u16string> password = ui.askPassword(passwordPrompt(attemptsRemaining));
  if (!password) return kEFail;
  const std::optional<std::array<uint8_t, 20>> digest = passwordDigest(*password);
  wipeSecret(password->data(), password->size() * sizeof(char16_t));
  if (!digest) return kEFail;
  std::memcpy(answer, digest->data(), digest->size());
  return kSOk;
}

}  // namespace lexora
