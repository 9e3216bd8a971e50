// Reading a packed image message by message as it streams from its file: what is held at
// any time is one block and a little read-ahead, whatever the size of the file, and the
// reading stops at the first message that is out of place. Images in memory are read the
// same way (parsePackedImage), so both give the same results and the same texts.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "pack/packed_dictionary.h"
#include "pack/transfer_message.h"

namespace lexora {

class PackedImageReader {
 public:
  // The image in the file at `path`; nullptr with `error` ("cannot open PATH: reason")
  // when it cannot be opened or is not a regular file.
  static std::unique_ptr<PackedImageReader> open(const std::filesystem::path& path,
                                                 std::string& error);
  // The image in `image`, which must outlive the reader.
  explicit PackedImageReader(std::span<const uint8_t> image);
  ~PackedImageReader();
  PackedImageReader(const PackedImageReader&) = delete;
  PackedImageReader& operator=(const PackedImageReader&) = delete;

  uint64_t size() const;  // of the whole image, in bytes

  // The first message's payload, which must be the name; false with `error` otherwise.
  bool readName(std::string& utf8Name, std::string& error);

  enum class Step {
    Block,    // a key and a record message were read
    End,      // the end flag ended the image, with nothing after it
    Damaged,  // `error` says what is wrong, and at which offset
  };
  // The next block into `block` (whose buffers keep their room for the next one).
  // REQUIRES: readName succeeded.
  Step nextBlock(PackedBlock& block, std::string& error);
  // Passes the next block by without reading its payloads (when only sizes are wanted).
  Step skipBlock(std::string& error);

  // True once a read of the file failed (the error says "cannot read PATH"): the image
  // itself may be whole.
  bool unreadable() const { return unreadable_; }

  // Of the blocks read or passed by so far.
  size_t blocks() const { return blocks_; }
  uint64_t blockBytes() const { return blockBytes_; }  // their key and record payloads

  class Source;

 private:
  explicit PackedImageReader(std::unique_ptr<Source> source);

  struct Head {
    MessageType type{};
    size_t length = 0;
    uint64_t offset = 0;
  };
  // The next message's header, its payload known to be all there; false with `error`.
  bool nextHead(Head& head, std::string& error);
  // The payload of the message `head` announced; false with `error` when it cannot be read.
  bool payload(const Head& head, std::span<const uint8_t>& bytes, std::string& error);
  // The key and record message heads of the next block (or the end flag's).
  Step blockHeads(Head& key, Head& record, std::string& error);

  std::unique_ptr<Source> source_;
  uint64_t offset_ = 0;  // of the next message
  bool unreadable_ = false;
  size_t blocks_ = 0;
  uint64_t blockBytes_ = 0;
};

}  // namespace lexora
