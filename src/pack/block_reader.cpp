#include "pack/block_reader.h"

#include <zlib.h>

#include "base/bytes.h"

namespace lexora {
namespace {

// A record buffer never exceeds 65,537 bytes; inflating stops past that, so a hostile
// stream cannot make us allocate without bound.
constexpr size_t kMaxRecords = 65537;

}  // namespace

// zlib's state points back at its stream, so the stream stays where it was initialised.
struct BlockReader::Inflater {
  z_stream z{};
  bool ready = false;
  ~Inflater() {
    if (ready) inflateEnd(&z);
  }
};

BlockReader::BlockReader() = default;
BlockReader::~BlockReader() = default;
BlockReader::BlockReader(BlockReader&&) noexcept = default;
BlockReader& BlockReader::operator=(BlockReader&&) noexcept = default;

const std::vector<EntryView>* BlockReader::read(const PackedBlock& block, std::string& error) {
  if (!inflater_) inflater_ = std::make_unique<Inflater>();
  z_stream& z = inflater_->z;
  if (!inflater_->ready) {
    if (inflateInit(&z) != Z_OK) {
      error = "zlib cannot start (out of memory)";
      return nullptr;
    }
    inflater_->ready = true;
  } else if (inflateReset(&z) != Z_OK) {
    error = "zlib cannot start (out of memory)";
    return nullptr;
  }
  // Left uninitialised: zlib writes before anything is read, and only what it wrote is read.
  if (!records_) records_ = std::make_unique_for_overwrite<uint8_t[]>(kMaxRecords + 1);
  z.next_in = const_cast<Bytef*>(block.packedBytes.data());
  z.avail_in = static_cast<uInt>(block.packedBytes.size());
  z.next_out = records_.get();
  z.avail_out = static_cast<uInt>(kMaxRecords + 1);
  const int result = inflate(&z, Z_FINISH);
  const size_t produced = z.total_out;
  if (result != Z_STREAM_END) {
    error = produced > kMaxRecords ? "record buffer inflates past 65,537 bytes"
                                   : "record buffer is not a complete zlib stream";
    return nullptr;
  }
  if (z.avail_in != 0) {
    error = std::to_string(z.avail_in) + " bytes follow the record buffer's zlib stream";
    return nullptr;
  }

  entries_.clear();
  const uint8_t* records = records_.get();
  const auto& keys = block.keyBytes;
  size_t k = 0, r = 0;
  while (k < keys.size()) {
    const size_t length = keys[k];
    if (length == 0 || keys.size() - k - 1 < length) {
      error = "key item at key offset " + std::to_string(k) +
              (length == 0 ? " is empty" : " runs past the key buffer");
      return nullptr;
    }
    if (produced - r < 2) {
      error = "key item " + std::to_string(entries_.size()) + " has no record item";
      return nullptr;
    }
    const size_t n = readBigEndian16(records + r);
    if (produced - r - 2 < n) {
      error = "record item " + std::to_string(entries_.size()) + " runs past the record buffer";
      return nullptr;
    }
    entries_.push_back({{reinterpret_cast<const char*>(keys.data()) + k + 1, length},
                        {reinterpret_cast<const char*>(records) + r + 2, n}});
    k += 1 + length;
    r += 2 + n;
  }
  if (r != produced) {
    error =
        "record buffer holds " + std::to_string(produced - r) + " bytes beyond the last key item";
    return nullptr;
  }
  return &entries_;
}

}  // namespace lexora
