#include "pack/packed_image.h"

#include "base/text_codec.h"
#include "pack/block_reader.h"
#include "pack/packed_image_reader.h"
#include "pack/transfer_message.h"
#include "platform/atomic_file.h"
#include "platform/path_text.h"

namespace lexora {
namespace {

std::span<const uint8_t> bytesOf(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

bool everyPayloadFits(const std::string& name, const PackedDictionary& dictionary) {
  // Stored blocks fit by construction: their store takes none larger.
  if (dictionary.stored) return fitsMessage(name.size());
  bool fits = fitsMessage(name.size());
  for (const auto& b : dictionary.blocks) {
    fits = fits && fitsMessage(b.keyBytes.size()) && fitsMessage(b.packedBytes.size());
  }
  return fits;
}

}  // namespace

std::vector<uint8_t> serializePackedImage(const PackedDictionary& dictionary) {
  const std::string name = utf16ToUtf8(dictionary.name);
  if (!everyPayloadFits(name, dictionary)) return {};
  std::vector<uint8_t> out;
  out.reserve(2 * kMessageHeaderSize * (1 + blockCount(dictionary)) + name.size() +
              static_cast<size_t>(packedSize(dictionary)));
  appendMessage(out, MessageType::Name, bytesOf(name));
  const bool read = forEachBlock(dictionary, [&](const PackedBlock& b) {
    appendMessage(out, MessageType::Key, b.keyBytes);
    appendMessage(out, MessageType::Record, b.packedBytes);
    return true;
  });
  if (!read) return {};
  appendMessage(out, MessageType::End, {});
  return out;
}

bool writePackedImage(const std::filesystem::path& path, const PackedDictionary& dictionary,
                      std::string& error) {
  auto file = AtomicFile::create(path, error);
  return file && writePackedImage(*file, dictionary, error);
}

bool writePackedImage(AtomicFile& file, const PackedDictionary& dictionary, std::string& error) {
  const std::string name = utf16ToUtf8(dictionary.name);
  if (!everyPayloadFits(name, dictionary)) {
    error = "cannot write " + utf16ToUtf8(pathText(file.path())) +
            ": the name or a block is longer than a message holds";
    return false;
  }
  // Message by message, so the image is never held twice in memory.
  auto put = [&](MessageType type, std::span<const uint8_t> payload) {
    file.write(messageHeader(type, payload.size()));
    file.write(payload);
  };
  put(MessageType::Name, bytesOf(name));
  const bool read = forEachBlock(dictionary, [&](const PackedBlock& b) {
    put(MessageType::Key, b.keyBytes);
    put(MessageType::Record, b.packedBytes);
    return true;
  });
  if (!read) {
    error = "cannot write " + utf16ToUtf8(pathText(file.path())) +
            ": the packed blocks kept in a temporary file cannot be read back";
    return false;
  }
  put(MessageType::End, {});
  return file.commit(error);
}

std::optional<PackedDictionary> parsePackedImage(std::span<const uint8_t> image,
                                                 std::string& error) {
  PackedImageReader reader(image);
  std::string name;
  if (!reader.readName(name, error)) return std::nullopt;
  PackedDictionary dictionary{utf8ToUtf16(name), {}, {}};
  for (;;) {
    PackedBlock block;
    switch (reader.nextBlock(block, error)) {
      case PackedImageReader::Step::Block:
        dictionary.blocks.push_back(std::move(block));
        break;
      case PackedImageReader::Step::End:
        return dictionary;
      case PackedImageReader::Step::Damaged:
        return std::nullopt;
    }
  }
}

std::optional<std::vector<DecodedEntry>> decodeBlock(const PackedBlock& block, std::string& error) {
  BlockReader reader;
  const std::vector<EntryView>* views = reader.read(block, error);
  if (!views) return std::nullopt;
  std::vector<DecodedEntry> entries;
  entries.reserve(views->size());
  for (const EntryView& e : *views)
    entries.push_back({std::string(e.headword), std::string(e.text)});
  return entries;
}

}  // namespace lexora
