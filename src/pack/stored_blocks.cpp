#include "pack/stored_blocks.h"

#include "pack/packed_dictionary.h"
#include "platform/scratch_file.h"

namespace lexora {

std::unique_ptr<StoredBlocks> StoredBlocks::create() {
  std::unique_ptr<ScratchFile> file = createScratchFile();
  if (!file) return nullptr;
  return std::unique_ptr<StoredBlocks>(new StoredBlocks(std::move(file)));
}

StoredBlocks::StoredBlocks(std::unique_ptr<ScratchFile> file) : file_(std::move(file)) {}
StoredBlocks::~StoredBlocks() = default;

namespace {
// Writes gathered to this size: a system call a megabyte rather than two a block.
constexpr size_t kWriteBytes = size_t{1} << 20;
// Reads of a pass over the blocks, as long.
constexpr uint64_t kReadBytes = uint64_t{1} << 20;
}  // namespace

bool StoredBlocks::add(const PackedBlock& block) {
  // The packer's buffers fit a message's 16-bit length; anything else is no block to keep.
  if (block.keyBytes.size() > UINT16_MAX || block.packedBytes.size() > UINT16_MAX) return false;
  const uint64_t offset = file_->size() + pending_.size();
  const auto* key = reinterpret_cast<const char*>(block.keyBytes.data());
  const auto* packed = reinterpret_cast<const char*>(block.packedBytes.data());
  pending_.insert(pending_.end(), key, key + block.keyBytes.size());
  pending_.insert(pending_.end(), packed, packed + block.packedBytes.size());
  blocks_.push_back({offset, static_cast<uint16_t>(block.keyBytes.size()),
                     static_cast<uint16_t>(block.packedBytes.size())});
  if (pending_.size() >= kWriteBytes && !flush()) {
    // Refused: this block is taken back; those before it stay readable from memory.
    blocks_.pop_back();
    pending_.resize(static_cast<size_t>(offset - file_->size()));
    return false;
  }
  bytes_ += block.keyBytes.size() + block.packedBytes.size();
  return true;
}

bool StoredBlocks::flush() {
  if (pending_.empty()) return true;
  if (!file_->append(pending_.data(), pending_.size())) return false;
  pending_.clear();
  return true;
}

void StoredBlocks::take(const char* bytes, const Place& place, PackedBlock& out) {
  const auto* from = reinterpret_cast<const uint8_t*>(bytes);
  out.keyBytes.assign(from, from + place.keySize);
  out.packedBytes.assign(from + place.keySize, from + place.keySize + place.packedSize);
}

bool StoredBlocks::read(size_t index, PackedBlock& out) const {
  if (index >= blocks_.size()) return false;
  const Place& place = blocks_[index];
  const uint64_t written = file_->size();
  if (place.offset >= written) {
    take(pending_.data() + (place.offset - written), place, out);
    return true;
  }
  std::vector<char> bytes(size_t{place.keySize} + place.packedSize);
  if (!file_->readAt(place.offset, bytes.data(), bytes.size())) return false;
  take(bytes.data(), place, out);
  return true;
}

bool StoredBlocks::Cursor::next(PackedBlock& out) {
  const std::vector<Place>& blocks = store_.blocks_;
  if (failed_ || next_ >= blocks.size()) return false;
  const uint64_t written = store_.file_->size();
  const auto end = [&](size_t i) {
    return blocks[i].offset + blocks[i].keySize + blocks[i].packedSize;
  };
  if (next_ >= spanEnd_ && end(next_) <= written) {
    // The blocks lie one after the other: as many as a read takes, all in the file.
    spanStart_ = blocks[next_].offset;
    spanEnd_ = next_ + 1;
    while (spanEnd_ < blocks.size() && end(spanEnd_) <= written &&
           end(spanEnd_) - spanStart_ <= kReadBytes)
      ++spanEnd_;
    span_.resize(static_cast<size_t>(end(spanEnd_ - 1) - spanStart_));
    if (!store_.file_->readAt(spanStart_, span_.data(), span_.size())) {
      failed_ = true;
      return false;
    }
  }
  if (next_ < spanEnd_) {
    take(span_.data() + (blocks[next_].offset - spanStart_), blocks[next_], out);
  } else if (!store_.read(next_, out)) {  // still in memory
    failed_ = true;
    return false;
  }
  ++next_;
  return true;
}

}  // namespace lexora
