// The answer to the handheld's password challenge: the SHA-1 digest of the password's
// bytes in the ANSI code page. The password itself never leaves these functions.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/user_interface.h"
#include "link/hresult.h"

namespace lexora {

inline constexpr size_t kPasswordMaxCharacters = 14;

// "You have N attemptes remaining" in the interface language.
std::u16string passwordPrompt(int32_t attemptsRemaining);

// The digest the handheld expects for `password`; nullopt when it is longer than 14
// UTF-16 characters. Used by the handheld emulator as well.
std::optional<std::array<uint8_t, 20>> passwordDigest(std::u16string_view password);

// Asks `ui` for the password and writes its digest into the 20 bytes at `answer`.
// kSOk when answered; kEFail (answer untouched) on Cancel or a password over 14 characters.
// Runs on whichever thread the service calls from.
HResult answerPasswordChallenge(UserInterface& ui, int32_t attemptsRemaining, uint8_t* answer);

}  // namespace lexora
