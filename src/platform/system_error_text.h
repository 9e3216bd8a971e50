// The system's reason for a failed file operation, in one of the interface languages: what
// follows "FILE: " when a file could not be opened, made or written.
#pragma once

#include <optional>
#include <string>

#include "base/bilingual_text.h"

namespace lexora {

// The reason for the errno value `error` as UTF-8: in Chinese when the system has its
// words in Chinese (Windows: a Chinese message table; elsewhere: an installed zh_CN.UTF-8
// locale), otherwise in English. kNotARegularFile has words of Lexora's own.
std::string systemErrorText(int error, UiLanguage language);

// The system's own Chinese words for `error`, when it has them. One implementation per
// system: FormatMessageW with the Chinese language id on Windows, strerror_l in the
// zh_CN.UTF-8 locale elsewhere.
std::optional<std::string> chineseSystemErrorText(int error);

}  // namespace lexora
