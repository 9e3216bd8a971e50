#include "sources/dsl_lines.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "base/text_codec.h"

namespace lexora {
namespace {
constexpr size_t kSlice = size_t{1} << 20;
constexpr size_t kFirstBuffer = size_t{64} << 10;
// How far the buffer is filled beyond a longest line: what is left of the last fill moves
// to the front at the next, so the more is read at once, the less of the file is moved.
constexpr size_t kReadAhead = 8 * kSlice;
}  // namespace

DslLines::DslLines(gzFile_s* file, const AnsiCodePage& codePage)
    : file_(file), codePage_(&codePage) {
  gzbuffer(file_, 128 * 1024);
  buffer_.resize(kFirstBuffer);
  fill();
  const auto byte = [this](size_t i) { return static_cast<unsigned char>(buffer_[begin_ + i]); };
  const size_t have = end_ - begin_;
  if (have >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
    unit_ = 2;
    begin_ += 2;
  } else if (have >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
    unit_ = 2;
    bigEndian_ = true;
    begin_ += 2;
  } else if (have >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
    utf8_ = true;
    begin_ += 3;
  }
}

void DslLines::fill() {
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  // The buffer grows as far as a longest line and a slice beyond it, and only when the file
  // has that much: small files cost small buffers.
  while (!eof_ && end_ < kLongestLine + kReadAhead) {
    if (end_ == buffer_.size())
      buffer_.resize(std::min(2 * buffer_.size(), kLongestLine + kReadAhead + kSlice));
    const size_t want = std::min(kSlice, buffer_.size() - end_);
    const int n = gzread(file_, buffer_.data() + end_, static_cast<unsigned>(want));
    if (n <= 0) {
      eof_ = true;
      int error = Z_OK;
      gzerror(file_, &error);
      damaged_ = n < 0 || (error != Z_OK && error != Z_STREAM_END);
      break;
    }
    end_ += static_cast<size_t>(n);
  }
}

// The offset of the first line feed in `bytes` (whole units), or npos.
size_t DslLines::findLineFeed(const char* bytes, size_t size) const {
  if (unit_ == 1) {
    const void* lf = std::memchr(bytes, '\n', size);
    return lf ? static_cast<size_t>(static_cast<const char*>(lf) - bytes) : std::string::npos;
  }
  // memchr finds the byte 0x0A fast; it is a line feed only as the low byte of a unit
  // whose high byte is zero (U+010A and U+0A00..U+0AFF hold it too).
  const size_t low = bigEndian_ ? 1 : 0;
  const size_t whole = size / 2 * 2;
  for (size_t from = low; from < whole;) {
    const void* hit = std::memchr(bytes + from, '\n', whole - from);
    if (hit == nullptr) break;
    const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - bytes);
    if ((at & 1) == low && bytes[at + 1 - 2 * low] == 0) return at - low;
    from = at + 1;
  }
  return std::string::npos;
}

bool DslLines::nextRaw(std::string_view& bytes) {
  // The rest of a line cut before is skipped first; its kept part is no longer in use.
  while (skipRest_) {
    if (end_ - begin_ < unit_ && !eof_) fill();
    const size_t available = (end_ - begin_) / unit_ * unit_;
    if (available == 0) break;
    const size_t lf = findLineFeed(buffer_.data() + begin_, available);
    if (lf != std::string::npos) {
      begin_ += lf + unit_;
      skipRest_ = false;
    } else {
      begin_ += available;
      if (eof_) break;
    }
  }
  if (end_ - begin_ < kLongestLine + unit_ && !eof_) fill();
  const size_t available = (end_ - begin_) / unit_ * unit_;
  if (available == 0) {
    oddTail_ = end_ > begin_;
    return false;
  }
  const char* base = buffer_.data() + begin_;
  const size_t limit = std::min(available, kLongestLine);
  const size_t lf = findLineFeed(base, limit);
  if (lf != std::string::npos) {
    bytes = std::string_view(base, lf);
    begin_ += lf + unit_;
  } else {
    bytes = std::string_view(base, limit);
    begin_ += limit;
    if (limit == kLongestLine) {
      ++cutLines_;
      skipRest_ = true;
    }
  }
  return true;
}

void DslLines::decode(std::string_view bytes, std::u16string& out) const {
  out.clear();
  if (unit_ == 2) {
    out.resize(bytes.size() / 2);
    // Whole lines at a time: a copy when the file's byte order is the machine's.
    if (bigEndian_ == (std::endian::native == std::endian::big)) {
      std::memcpy(out.data(), bytes.data(), 2 * out.size());
    } else {
      const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
      const size_t high = bigEndian_ ? 0 : 1;
      for (size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<char16_t>(in[2 * i + 1 - high] | (in[2 * i + high] << 8));
      }
    }
  } else if (utf8_) {
    appendUtf16(out, bytes);
  } else {
    codePage_->decode(bytes, out);
  }
  if (!out.empty() && out.back() == u'\r') out.pop_back();
}

bool DslLines::next(std::u16string& line) {
  std::string_view bytes;
  if (!nextRaw(bytes)) return false;
  decode(bytes, line);
  return true;
}

}  // namespace lexora
