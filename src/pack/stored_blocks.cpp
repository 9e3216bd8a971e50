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

bool StoredBlocks::add(const PackedBlock& block) {
  // The packer's buffers fit a message's 16-bit length; anything else is no block to keep.
  if (block.keyBytes.size() > UINT16_MAX || block.packedBytes.size() > UINT16_MAX) return false;
  const uint64_t offset = file_->size();
  const auto* key = reinterpret_cast<const char*>(block.keyBytes.data());
  const auto* packed = reinterpret_cast<const char*>(block.packedBytes.data());
  if (!file_->append(key, block.keyBytes.size()) ||
      !file_->append(packed, block.packedBytes.size()))
    return false;
  blocks_.push_back({offset, static_cast<uint16_t>(block.keyBytes.size()),
                     static_cast<uint16_t>(block.packedBytes.size())});
  bytes_ += block.keyBytes.size() + block.packedBytes.size();
  return true;
}

bool StoredBlocks::read(size_t index, PackedBlock& out) const {
  if (index >= blocks_.size()) return false;
  const Place& place = blocks_[index];
  out.keyBytes.resize(place.keySize);
  out.packedBytes.resize(place.packedSize);
  return file_->readAt(place.offset, reinterpret_cast<char*>(out.keyBytes.data()), place.keySize) &&
         file_->readAt(place.offset + place.keySize,
                       reinterpret_cast<char*>(out.packedBytes.data()), place.packedSize);
}

}  // namespace lexora
