#include "pack/packed_image_reader.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "base/bytes.h"
#include "base/text_codec.h"
#include "platform/file.h"
#include "platform/path_text.h"
#include "platform/random_access_file.h"

namespace lexora {

// Where the image's bytes come from: a view of them at an offset, valid until the next one.
class PackedImageReader::Source {
 public:
  virtual ~Source() = default;
  virtual uint64_t size() const = 0;
  // The `n` bytes at `offset` (REQUIRES: within size()); false with `error` when unreadable.
  virtual bool bytes(uint64_t offset, size_t n, std::span<const uint8_t>& out,
                     std::string& error) = 0;
};

namespace {

class MemorySource : public PackedImageReader::Source {
 public:
  explicit MemorySource(std::span<const uint8_t> image) : image_(image) {}
  uint64_t size() const override { return image_.size(); }
  bool bytes(uint64_t offset, size_t n, std::span<const uint8_t>& out, std::string&) override {
    out = image_.subspan(static_cast<size_t>(offset), n);
    return true;
  }

 private:
  std::span<const uint8_t> image_;
};

// Reads a little beyond each request, so that a run of small messages costs one read, and
// never more than one message and that little at once: the held bytes stay the same
// whatever the size of the file.
class FileSource : public PackedImageReader::Source {
 public:
  FileSource(std::unique_ptr<RandomAccessInput> input, std::string shownPath)
      : input_(std::move(input)), shownPath_(std::move(shownPath)) {}
  uint64_t size() const override { return input_->size(); }
  bool bytes(uint64_t offset, size_t n, std::span<const uint8_t>& out,
             std::string& error) override {
    if (offset < at_ || offset - at_ + n > buffer_.size()) {
      constexpr size_t kReadAhead = 16 * 1024;
      buffer_.resize(static_cast<size_t>(std::min<uint64_t>(size() - offset, n + kReadAhead)));
      if (!input_->readAt(offset, reinterpret_cast<char*>(buffer_.data()), buffer_.size())) {
        buffer_.clear();
        error = "cannot read " + shownPath_;
        return false;
      }
      at_ = offset;
    }
    out = std::span<const uint8_t>(buffer_).subspan(static_cast<size_t>(offset - at_), n);
    return true;
  }

 private:
  std::unique_ptr<RandomAccessInput> input_;
  std::string shownPath_;
  std::vector<uint8_t> buffer_;
  uint64_t at_ = 0;  // the file offset of buffer_[0]
};

std::string at(uint64_t offset) {
  return "at offset " + std::to_string(offset);
}

std::string typeNumber(MessageType type) {
  return std::to_string(static_cast<unsigned>(type));
}

}  // namespace

std::unique_ptr<PackedImageReader> PackedImageReader::open(const std::filesystem::path& path,
                                                           std::string& error) {
  const std::string shown = utf16ToUtf8(pathText(path));
  std::unique_ptr<RandomAccessInput> input = openRandomAccess(path);
  if (!input) {
    error = "cannot open " + shown + ": " + openFailureReason(errno);
    return nullptr;
  }
  return std::unique_ptr<PackedImageReader>(
      new PackedImageReader(std::make_unique<FileSource>(std::move(input), shown)));
}

PackedImageReader::PackedImageReader(std::span<const uint8_t> image)
    : source_(std::make_unique<MemorySource>(image)) {}

PackedImageReader::PackedImageReader(std::unique_ptr<Source> source) : source_(std::move(source)) {}

PackedImageReader::~PackedImageReader() = default;

uint64_t PackedImageReader::size() const {
  return source_->size();
}

bool PackedImageReader::nextHead(Head& head, std::string& error) {
  const uint64_t left = source_->size() - offset_;
  if (left == 0) {
    error = "the image ends " + at(offset_) + " without its end flag";
    return false;
  }
  if (left < kMessageHeaderSize) {
    error = MessageDamage{MessageDamage::Kind::TruncatedHeader, offset_, 0,
                          static_cast<size_t>(left), MessageType{}}
                .text();
    return false;
  }
  std::span<const uint8_t> header;
  if (!source_->bytes(offset_, kMessageHeaderSize, header, error)) {
    unreadable_ = true;
    return false;
  }
  head = {MessageType{header[0]}, readBigEndian16(header.data() + 1), offset_};
  if (left - kMessageHeaderSize < head.length) {
    error = MessageDamage{MessageDamage::Kind::TruncatedPayload, offset_, head.length,
                          static_cast<size_t>(left - kMessageHeaderSize), head.type}
                .text();
    return false;
  }
  offset_ += kMessageHeaderSize + head.length;
  return true;
}

bool PackedImageReader::payload(const Head& head, std::span<const uint8_t>& bytes,
                                std::string& error) {
  if (source_->bytes(head.offset + kMessageHeaderSize, head.length, bytes, error)) return true;
  unreadable_ = true;
  return false;
}

bool PackedImageReader::readName(std::string& utf8Name, std::string& error) {
  Head head;
  if (!nextHead(head, error)) return false;
  if (head.type != MessageType::Name) {
    error = "expected the name message (type " + typeNumber(MessageType::Name) +
            ") at offset 0, found type " + typeNumber(head.type);
    return false;
  }
  std::span<const uint8_t> bytes;
  if (!payload(head, bytes, error)) return false;
  utf8Name.assign(bytes.begin(), bytes.end());
  return true;
}

PackedImageReader::Step PackedImageReader::blockHeads(Head& key, Head& record, std::string& error) {
  if (!nextHead(key, error)) return Step::Damaged;
  if (key.type == MessageType::End) {
    if (key.length != 0) {
      error = "end flag " + at(key.offset) + " carries a payload";
      return Step::Damaged;
    }
    if (offset_ != source_->size()) {
      error =
          std::to_string(source_->size() - offset_) + " bytes follow the end flag " + at(offset_);
      return Step::Damaged;
    }
    return Step::End;
  }
  if (key.type != MessageType::Key) {
    error = "expected a key message (type " + typeNumber(MessageType::Key) +
            ") or the end flag (type " + typeNumber(MessageType::End) + ") " + at(key.offset) +
            ", found type " + typeNumber(key.type);
    return Step::Damaged;
  }
  if (!nextHead(record, error)) return Step::Damaged;
  if (record.type != MessageType::Record) {
    error = "expected a record message (type " + typeNumber(MessageType::Record) + ") " +
            at(record.offset) + ", found type " + typeNumber(record.type);
    return Step::Damaged;
  }
  ++blocks_;
  blockBytes_ += key.length + record.length;
  return Step::Block;
}

PackedImageReader::Step PackedImageReader::nextBlock(PackedBlock& block, std::string& error) {
  Head key, record;
  const Step step = blockHeads(key, record, error);
  if (step != Step::Block) return step;
  // One payload at a time: the source's view of one ends with the next read.
  std::span<const uint8_t> bytes;
  if (!payload(key, bytes, error)) return Step::Damaged;
  block.keyBytes.assign(bytes.begin(), bytes.end());
  if (!payload(record, bytes, error)) return Step::Damaged;
  block.packedBytes.assign(bytes.begin(), bytes.end());
  return Step::Block;
}

PackedImageReader::Step PackedImageReader::skipBlock(std::string& error) {
  Head key, record;
  return blockHeads(key, record, error);
}

}  // namespace lexora
