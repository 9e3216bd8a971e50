// The code-page conversions through MultiByteToWideChar and WideCharToMultiByte, with the
// default flags, so undecodable bytes come out exactly as Windows itself decodes them.
#include "platform/ansi_code_page.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>

#include "base/text_codec.h"

namespace lexora {
namespace {

// The names Linux's iconv knows for the code pages a dictionary is likely to be in, so that
// --ansi-code-page and the setting mean the same on both systems.
struct Alias {
  const char* name;
  UINT page;
};
constexpr Alias kAliases[] = {
    {"GBK", 936},          {"GB2312", 936},        {"EUC-CN", 936},    {"GB18030", 54936},
    {"BIG5", 950},         {"BIG-5", 950},         {"SHIFT_JIS", 932}, {"SHIFT-JIS", 932},
    {"SJIS", 932},         {"EUC-KR", 949},        {"UHC", 949},       {"UTF-8", CP_UTF8},
    {"UTF8", CP_UTF8},     {"ISO-8859-1", 28591},  {"LATIN1", 28591},  {"ISO-8859-2", 28592},
    {"ISO-8859-5", 28595}, {"ISO-8859-15", 28605}, {"KOI8-R", 20866},  {"KOI8-U", 21866},
    {"TIS-620", 874},
};

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// "CP1252", "WINDOWS-1252", "IBM437", "1252" or a known alias; 0 when it names nothing.
UINT codePageNumber(const std::string& name) {
  const std::string n = upper(name);
  for (const Alias& alias : kAliases) {
    if (n == alias.name) return alias.page;
  }
  std::string_view digits = n;
  for (std::string_view prefix : {"CP", "WINDOWS-", "IBM", "MS"}) {
    if (digits.substr(0, prefix.size()) == prefix) {
      digits.remove_prefix(prefix.size());
      break;
    }
  }
  if (digits.empty() || digits.size() > 5) return 0;
  UINT page = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    page = page * 10 + static_cast<UINT>(c - '0');
  }
  return page;
}

}  // namespace

std::string codePageForLocale() {
  return "CP" + std::to_string(GetACP());
}

std::optional<AnsiCodePage> AnsiCodePage::open(const std::string& name) {
  const UINT page = codePageNumber(name);
  if (page == 0 || !IsValidCodePage(page)) return std::nullopt;
  CPINFO info{};
  if (!GetCPInfo(page, &info)) return std::nullopt;
  AnsiCodePage result;
  result.name_ = name;
  // The system's own page is named by CP_ACP, as the dialog's conversions always name it.
  result.windowsCodePage_ = page == GetACP() ? CP_ACP : page;
  if (info.MaxCharSize == 1) {
    auto table = std::make_shared<std::array<char16_t, 256>>();
    for (int b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      wchar_t wide = 0;
      // A byte the page leaves undefined keeps its value, as the conversion itself gives it.
      if (MultiByteToWideChar(page, 0, &byte, 1, &wide, 1) != 1) wide = static_cast<wchar_t>(b);
      (*table)[b] = static_cast<char16_t>(wide);
    }
    result.table_ = std::move(table);
  }
  return result;
}

void AnsiCodePage::decodeMultiByte(std::string_view bytes, std::u16string& out) const {
  while (!bytes.empty()) {
    // The conversion counts in int; a larger input (never a text line) goes in pieces.
    const int size = static_cast<int>(std::min<size_t>(bytes.size(), INT_MAX / 2));
    const int needed = MultiByteToWideChar(windowsCodePage_, 0, bytes.data(), size, nullptr, 0);
    if (needed <= 0) return;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(needed));
    const int written = MultiByteToWideChar(windowsCodePage_, 0, bytes.data(), size,
                                            reinterpret_cast<wchar_t*>(out.data() + at), needed);
    out.resize(at + static_cast<size_t>(std::max(written, 0)));
    bytes.remove_prefix(static_cast<size_t>(size));
  }
}

std::string AnsiCodePage::encode(std::u16string_view text) const {
  std::string out;
  if (text.empty() || text.size() > INT_MAX / 4) return out;
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int size = static_cast<int>(text.size());
  // No flags and no default character of our own: the page's default ('?') stands in for
  // what it cannot hold.
  const int needed =
      WideCharToMultiByte(windowsCodePage_, 0, wide, size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return out;
  out.resize(static_cast<size_t>(needed));
  const int written =
      WideCharToMultiByte(windowsCodePage_, 0, wide, size, out.data(), needed, nullptr, nullptr);
  out.resize(static_cast<size_t>(std::max(written, 0)));
  return out;
}

}  // namespace lexora
