// Reads blocks one after another without allocating per block: the record stream inflates
// into one buffer kept from block to block, and each entry is viewed in place. Used where
// blocks arrive in a stream (the handheld's check of every block a send delivers).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pack/packed_dictionary.h"

namespace lexora {

// One entry of a block, viewed in place: the headword within the key buffer (source case),
// the text within the reader's inflated record items.
struct EntryView {
  std::string_view headword;
  std::string_view text;
};

class BlockReader {
 public:
  BlockReader();
  ~BlockReader();
  BlockReader(BlockReader&&) noexcept;
  BlockReader& operator=(BlockReader&&) noexcept;

  // Inflates `block`'s record stream and pairs its items with the key items; nullptr with
  // `error` when the stream is damaged or the two lists do not pair up one to one. The
  // views last until the next read and while `block`'s key buffer is unchanged.
  const std::vector<EntryView>* read(const PackedBlock& block, std::string& error);

 private:
  struct Inflater;
  std::unique_ptr<Inflater> inflater_;  // created on the first read, reset for each later one
  std::unique_ptr<uint8_t[]> records_;  // never cleared: only what inflated is read
  std::vector<EntryView> entries_;
};

}  // namespace lexora
