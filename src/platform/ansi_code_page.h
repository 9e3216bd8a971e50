// The "ANSI code page": the legacy encoding of text dictionaries without a byte-order
// mark, of StarDict "l" fields, and of the bytes the handheld password is hashed over.
//
// Which code page is used is decided once per process, in this order: an explicit
// choice (the --ansi-code-page option), the "ansiCodePage" setting, then the system: on
// Windows its ANSI code page (CP_ACP); elsewhere the locale (zh_CN/zh_SG -> CP936,
// zh_TW/zh_HK -> CP950, ja -> CP932, ko -> CP949, ru/uk/bg -> CP1251, anything else ->
// CP1252). Conversions go through iconv here and MultiByteToWideChar /
// WideCharToMultiByte on Windows (posix/ and win32/ansi_code_page.cpp).
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace lexora {

class AnsiCodePage {
 public:
  // Opens the named code page ("CP1252", "CP936", "GBK", "BIG5", ... the same names on
  // every system). Returns nullopt when the system does not know it.
  static std::optional<AnsiCodePage> open(const std::string& name);

  const std::string& name() const { return name_; }

  // Appends the UTF-16 form of `bytes`. Never fails: a byte sequence the code page
  // does not define becomes U+FFFD (single-byte pages map an undefined byte to the
  // C1 control of the same value, as Windows does). Thread-safe.
  void decode(std::string_view bytes, std::u16string& out) const;

  // The code page's bytes for `text`; a character it cannot represent becomes '?' (on
  // Windows one per UTF-16 unit, as WideCharToMultiByte does).
  std::string encode(std::u16string_view text) const;

 private:
  AnsiCodePage() = default;

  // A page of more than one byte per character, through the system's conversion.
  void decodeMultiByte(std::string_view bytes, std::u16string& out) const;

  std::string name_;
  // Single-byte code pages decode through this table; multi-byte ones through the system.
  std::shared_ptr<const std::array<char16_t, 256>> table_;
  // Windows: the code page's number, or CP_ACP (0) when it is the system's own.
  [[maybe_unused]] unsigned windowsCodePage_ = 0;
};

// The process-wide code page, decided on first use as described above.
const AnsiCodePage& ansiCodePage();

// Chooses the process-wide code page explicitly (the --ansi-code-page option).
// Must be called before the first ansiCodePage(); false when the name is unknown.
bool chooseAnsiCodePage(const std::string& name);

// The code page the system implies (the last step of the order above).
std::string codePageForLocale();

}  // namespace lexora
