#include "sources/stardict_index.h"

#include <cstring>
#include <string_view>

#include "base/bytes.h"
#include "base/text_codec.h"

namespace lexora {
namespace {

// A headword holds at most 255 bytes of text before its NUL.
constexpr size_t kMaxHeadwordBytes = 256;
constexpr size_t kBufferSize = 256 * 1024;

}  // namespace

StarDictIndexReader::StarDictIndexReader(ReadFunction read, int offsetBits)
    : read_(std::move(read)), offsetBytes_(offsetBits == 64 ? 8 : 4), buffer_(kBufferSize) {}

size_t StarDictIndexReader::fill(size_t want) {
  if (end_ - begin_ >= want || inputEnded_) return end_ - begin_;
  std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  while (end_ < want && !inputEnded_) {
    const int64_t n = read_(buffer_.data() + end_, buffer_.size() - end_);
    if (n <= 0 || static_cast<uint64_t>(n) > buffer_.size() - end_) {
      inputEnded_ = true;  // a read error ends the index like its end does
    } else {
      end_ += static_cast<size_t>(n);
    }
  }
  return end_;
}

bool StarDictIndexReader::readIndexRecord(IndexRecord& record) {
  if (stopped_) return false;
  const size_t longest = kMaxHeadwordBytes + offsetBytes_ + 4;
  const size_t available = fill(longest);
  const char* p = buffer_.data() + begin_;
  const size_t searched = available < kMaxHeadwordBytes ? available : kMaxHeadwordBytes;
  const void* nul = std::memchr(p, 0, searched);
  if (nul == nullptr) {
    stopped_ = true;
    return false;
  }
  const size_t textBytes = static_cast<const char*>(nul) - p;
  const size_t recordBytes = textBytes + 1 + offsetBytes_ + 4;
  if (recordBytes > available) {
    stopped_ = true;
    return false;
  }
  record.headword.clear();
  appendValidUtf8(record.headword, std::string_view(p, textBytes));
  const auto* numbers = reinterpret_cast<const uint8_t*>(p + textBytes + 1);
  record.dataOffset = offsetBytes_ == 8 ? readBigEndian64(numbers) : readBigEndian32(numbers);
  record.dataSize = readBigEndian32(numbers + offsetBytes_);
  begin_ += recordBytes;
  return true;
}

}  // namespace lexora
