#include "sources/mdict_text.h"

#include "base/text_codec.h"
#include "sources/dictd_text.h"
#include "sources/markup_text.h"

namespace lexora {

std::optional<MdictTextDecoder> MdictTextDecoder::forEncoding(std::string_view encoding) {
  const std::string name = asciiLower(trimDictdText(encoding));
  MdictTextDecoder decoder;
  if (name.empty() || name == "utf-8" || name == "utf8") return decoder;
  if (name == "utf-16" || name == "utf16" || name == "utf-16le") {
    decoder.utf16_ = true;
    return decoder;
  }
  if (name == "gbk" || name == "gb2312" || name == "gb18030") {
    decoder.codePage_ = AnsiCodePage::open("GB18030");
    if (!decoder.codePage_) decoder.codePage_ = AnsiCodePage::open("GBK");
  } else if (name == "big5" || name == "big-5") {
    decoder.codePage_ = AnsiCodePage::open("BIG5");
  } else {
    decoder.codePage_ = AnsiCodePage::open(std::string(trimDictdText(encoding)));
  }
  if (!decoder.codePage_) return std::nullopt;
  return decoder;
}

std::string_view MdictTextDecoder::untilTerminator(std::string_view bytes) const {
  if (!utf16_) return bytes.substr(0, bytes.find('\0'));
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    if (bytes[i] == 0 && bytes[i + 1] == 0) return bytes.substr(0, i);
  }
  return bytes;
}

void MdictTextDecoder::append(std::string& out, std::string_view bytes) const {
  if (!utf16_ && !codePage_) {
    appendValidUtf8(out, bytes);
    return;
  }
  wide_.clear();
  if (codePage_) {
    codePage_->decode(bytes, wide_);
  } else {
    wide_.resize(bytes.size() / 2);
    for (size_t i = 0; i < wide_.size(); ++i) {
      wide_[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                       static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    }
  }
  // Keys must be valid UTF-8, so a surrogate without its other half is replaced.
  for (size_t i = 0; i < wide_.size(); ++i) {
    const char16_t c = wide_[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide_.size() && wide_[i + 1] >= 0xDC00 &&
        wide_[i + 1] <= 0xDFFF) {
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      wide_[i] = 0xFFFD;
    }
  }
  appendUtf8(out, wide_);
}

std::string_view MdictTextDecoder::utf8(std::string_view bytes, std::string& scratch) const {
  if (!utf16_ && !codePage_ && firstInvalidUtf8(bytes) == std::string_view::npos) return bytes;
  scratch.clear();
  append(scratch, bytes);
  return scratch;
}

std::optional<std::string_view> mdictLinkTarget(std::string_view record) {
  constexpr std::string_view kLink = "@@@LINK=";
  const std::string_view text = trimDictdText(record);
  if (!text.starts_with(kLink)) return std::nullopt;
  std::string_view word = text.substr(kLink.size());
  word = word.substr(0, word.find_first_of("\r\n"));
  return trimDictdText(word);
}

void appendMdictExplanation(std::string_view record, bool html, std::string& out) {
  const size_t start = out.size();
  if (html) {
    appendMarkupAsText(record, MarkupKind::html, out);
  } else {
    for (size_t i = 0; i < record.size(); ++i) {
      const char c = record[i];
      if (c == '\r') {
        if (i + 1 >= record.size() || record[i + 1] != '\n') out.push_back('\n');
      } else {
        out.push_back(c == '\t' ? ' ' : c);
      }
    }
  }
  trimAppendedText(out, start);
}

}  // namespace lexora
