// The code-page conversions through iconv.
#include "platform/ansi_code_page.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace lexora {
namespace {

// An iconv descriptor that closes itself.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }
  void reset() const { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

 private:
  iconv_t cd_;
};

// Converts `in` with `cd` into UTF-16LE code units. Returns false on an invalid or
// incomplete sequence at `in`'s start (nothing consumed); `consumed` tells how far it got.
bool convertRun(const Iconv& cd, std::string_view in, std::u16string& out, size_t& consumed) {
  char buffer[4096];
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  while (srcLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    const size_t r = iconv(cd.get(), &src, &srcLeft, &dst, &dstLeft);
    for (char* p = buffer; p + 1 < dst; p += 2) {
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                          (static_cast<unsigned char>(p[1]) << 8)));
    }
    if (r == static_cast<size_t>(-1) && errno != E2BIG) break;
  }
  consumed = in.size() - srcLeft;
  return srcLeft == 0;
}

std::optional<std::array<char16_t, 256>> singleByteTable(const std::string& name) {
  Iconv cd("UTF-16LE", name.c_str());
  if (!cd.ok()) return std::nullopt;
  std::array<char16_t, 256> table{};
  for (int b = 0; b < 256; ++b) {
    cd.reset();
    char in = static_cast<char>(b);
    char* src = &in;
    size_t srcLeft = 1;
    char outBytes[8];
    char* dst = outBytes;
    size_t dstLeft = sizeof outBytes;
    const size_t r = iconv(cd.get(), &src, &srcLeft, &dst, &dstLeft);
    if (r == static_cast<size_t>(-1) && errno == EINVAL) return std::nullopt;  // a lead byte
    if (r == static_cast<size_t>(-1) || dst - outBytes != 2) {
      table[b] = static_cast<char16_t>(b);  // undefined in this page: keep the byte's value
    } else {
      table[b] = static_cast<char16_t>(static_cast<unsigned char>(outBytes[0]) |
                                       (static_cast<unsigned char>(outBytes[1]) << 8));
    }
  }
  return table;
}

}  // namespace

std::string codePageForLocale() {
  const char* names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  std::string locale;
  for (const char* n : names) {
    const char* v = std::getenv(n);
    if (v && *v) {
      locale = v;
      break;
    }
  }
  auto starts = [&](std::string_view p) { return locale.rfind(p, 0) == 0; };
  if (starts("zh_CN") || starts("zh_SG")) return "CP936";
  if (starts("zh_TW") || starts("zh_HK")) return "CP950";
  if (starts("zh")) return "CP936";
  if (starts("ja")) return "CP932";
  if (starts("ko")) return "CP949";
  if (starts("ru") || starts("uk") || starts("bg")) return "CP1251";
  return "CP1252";
}

std::optional<AnsiCodePage> AnsiCodePage::open(const std::string& name) {
  {
    Iconv probe("UTF-16LE", name.c_str());
    if (!probe.ok()) return std::nullopt;
  }
  AnsiCodePage page;
  page.name_ = name;
  if (auto table = singleByteTable(name)) {
    page.table_ = std::make_shared<const std::array<char16_t, 256>>(*table);
  }
  return page;
}

void AnsiCodePage::decodeMultiByte(std::string_view bytes, std::u16string& out) const {
  // iconv descriptors carry state, so each thread keeps its own.
  thread_local std::string threadName;
  thread_local std::unique_ptr<Iconv> threadCd;
  if (!threadCd || threadName != name_) {
    threadCd = std::make_unique<Iconv>("UTF-16LE", name_.c_str());
    threadName = name_;
  }
  const Iconv& cd = *threadCd;
  while (!bytes.empty()) {
    cd.reset();
    size_t consumed = 0;
    if (convertRun(cd, bytes, out, consumed)) break;
    // Skip one undecodable byte and go on, as the platform's default conversion does.
    out.push_back(0xFFFD);
    bytes.remove_prefix(consumed + 1);
  }
}

std::string AnsiCodePage::encode(std::u16string_view text) const {
  Iconv cd(name_.c_str(), "UTF-16LE");
  std::string out;
  if (!cd.ok()) return out;
  size_t i = 0;
  while (i < text.size()) {
    // One character (a surrogate pair counts as one) at a time keeps error recovery simple.
    const size_t len = (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size()) ? 2 : 1;
    char in[4];
    for (size_t k = 0; k < len; ++k) {
      in[2 * k] = static_cast<char>(text[i + k] & 0xFF);
      in[2 * k + 1] = static_cast<char>(text[i + k] >> 8);
    }
    char* src = in;
    size_t srcLeft = 2 * len;
    char buffer[16];
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    cd.reset();
    if (iconv(cd.get(), &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
      out.push_back('?');
    } else {
      out.append(buffer, static_cast<size_t>(dst - buffer));
    }
    i += len;
  }
  return out;
}

}  // namespace lexora
