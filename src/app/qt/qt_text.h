// UTF-16 texts between the toolkit-neutral half (std::u16string) and Qt (QString), which
// share the encoding: no conversion, only a copy.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace lexora {

inline QString toQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::u16string toU16String(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                        static_cast<size_t>(text.size()));
}

}  // namespace lexora
