#include "pack/packed_image.h"

#include <zlib.h>

#include "platform/atomic_file.h"
#include "platform/bytes.h"
#include "platform/text_codec.h"

namespace lexora {
namespace {

void appendMessage(std::vector<uint8_t>& out, uint8_t type, std::span<const uint8_t> payload) {
  out.push_back(type);
  out.push_back(static_cast<uint8_t>(payload.size() >> 8));
  out.push_back(static_cast<uint8_t>(payload.size() & 0xFF));
  out.insert(out.end(), payload.begin(), payload.end());
}

std::string at(size_t offset) {
  return "at offset " + std::to_string(offset);
}

}  // namespace

std::vector<uint8_t> serializePackedImage(const PackedDictionary& dictionary) {
  std::vector<uint8_t> out;
  size_t total = 6;
  for (const auto& b : dictionary.blocks) total += 6 + b.keyBytes.size() + b.packedBytes.size();
  const std::string name = utf16ToUtf8(dictionary.name);
  out.reserve(total + name.size());
  appendMessage(out, kNameMessage,
                std::span(reinterpret_cast<const uint8_t*>(name.data()), name.size()));
  for (const auto& b : dictionary.blocks) {
    appendMessage(out, kKeyMessage, b.keyBytes);
    appendMessage(out, kRecordMessage, b.packedBytes);
  }
  appendMessage(out, kEndMessage, {});
  return out;
}

bool writePackedImage(const std::filesystem::path& path, const PackedDictionary& dictionary,
                      std::string& error) {
  auto file = AtomicFile::create(path, error);
  if (!file) return false;
  // Message by message, so the image is never held twice in memory.
  auto put = [&](uint8_t type, std::span<const uint8_t> payload) {
    const uint8_t header[3] = {type, static_cast<uint8_t>(payload.size() >> 8),
                               static_cast<uint8_t>(payload.size() & 0xFF)};
    file->write(header);
    file->write(payload);
  };
  const std::string name = utf16ToUtf8(dictionary.name);
  put(kNameMessage, std::span(reinterpret_cast<const uint8_t*>(name.data()), name.size()));
  for (const auto& b : dictionary.blocks) {
    put(kKeyMessage, b.keyBytes);
    put(kRecordMessage, b.packedBytes);
  }
  put(kEndMessage, {});
  return file->commit(error);
}

std::optional<PackedDictionary> parsePackedImage(std::span<const uint8_t> image,
                                                 std::string& error) {
  size_t pos = 0;
  // Reads one message header and payload, or says what is wrong and where.
  auto message = [&](uint8_t& type, std::span<const uint8_t>& payload) {
    if (image.size() - pos < 3) {
      error = "truncated message header " + at(pos);
      return false;
    }
    type = image[pos];
    const size_t length = (size_t{image[pos + 1]} << 8) | image[pos + 2];
    if (image.size() - pos - 3 < length) {
      error = "message of type " + std::to_string(type) + " " + at(pos) + " announces " +
              std::to_string(length) + " bytes, but only " +
              std::to_string(image.size() - pos - 3) + " remain";
      return false;
    }
    payload = image.subspan(pos + 3, length);
    pos += 3 + length;
    return true;
  };

  PackedDictionary dictionary;
  uint8_t type;
  std::span<const uint8_t> payload;
  if (!message(type, payload)) return std::nullopt;
  if (type != kNameMessage) {
    error = "expected the name message (type 1) at offset 0, found type " + std::to_string(type);
    return std::nullopt;
  }
  dictionary.name =
      utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(payload.data()), payload.size()));

  for (;;) {
    const size_t start = pos;
    if (!message(type, payload)) return std::nullopt;
    if (type == kEndMessage) {
      if (!payload.empty()) {
        error = "end flag " + at(start) + " carries a payload";
        return std::nullopt;
      }
      break;
    }
    if (type != kKeyMessage) {
      error = "expected a key message (type 2) or the end flag (type 4) " + at(start) +
              ", found type " + std::to_string(type);
      return std::nullopt;
    }
    PackedBlock block;
    block.keyBytes.assign(payload.begin(), payload.end());
    const size_t recordStart = pos;
    if (!message(type, payload)) return std::nullopt;
    if (type != kRecordMessage) {
      error = "expected a record message (type 3) " + at(recordStart) + ", found type " +
              std::to_string(type);
      return std::nullopt;
    }
    block.packedBytes.assign(payload.begin(), payload.end());
    dictionary.blocks.push_back(std::move(block));
  }
  if (pos != image.size()) {
    error = std::to_string(image.size() - pos) + " bytes follow the end flag " + at(pos);
    return std::nullopt;
  }
  return dictionary;
}

std::optional<std::vector<DecodedEntry>> decodeBlock(const PackedBlock& block, std::string& error) {
  // A record buffer never exceeds 65,537 bytes; inflating stops past that, so a hostile
  // stream cannot make us allocate without bound.
  constexpr size_t kMaxRecords = 65537;
  std::vector<uint8_t> records(kMaxRecords + 1);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) {
    error = "zlib cannot start (out of memory)";
    return std::nullopt;
  }
  z.next_in = const_cast<Bytef*>(block.packedBytes.data());
  z.avail_in = static_cast<uInt>(block.packedBytes.size());
  z.next_out = records.data();
  z.avail_out = static_cast<uInt>(records.size());
  const int result = inflate(&z, Z_FINISH);
  const size_t produced = z.total_out;
  const size_t unused = z.avail_in;
  inflateEnd(&z);
  if (result != Z_STREAM_END) {
    error = produced > kMaxRecords ? "record buffer inflates past 65,537 bytes"
                                   : "record buffer is not a complete zlib stream";
    return std::nullopt;
  }
  if (unused != 0) {
    error = std::to_string(unused) + " bytes follow the record buffer's zlib stream";
    return std::nullopt;
  }
  records.resize(produced);

  std::vector<DecodedEntry> entries;
  size_t k = 0, r = 0;
  const auto& keys = block.keyBytes;
  while (k < keys.size()) {
    const size_t length = keys[k];
    if (length == 0 || keys.size() - k - 1 < length) {
      error = "key item at key offset " + std::to_string(k) +
              (length == 0 ? " is empty" : " runs past the key buffer");
      return std::nullopt;
    }
    if (records.size() - r < 2) {
      error = "key item " + std::to_string(entries.size()) + " has no record item";
      return std::nullopt;
    }
    const size_t n = readBigEndian16(records.data() + r);
    if (records.size() - r - 2 < n) {
      error = "record item " + std::to_string(entries.size()) + " runs past the record buffer";
      return std::nullopt;
    }
    entries.push_back({std::string(reinterpret_cast<const char*>(keys.data()) + k + 1, length),
                       std::string(reinterpret_cast<const char*>(records.data()) + r + 2, n)});
    k += 1 + length;
    r += 2 + n;
  }
  if (r != records.size()) {
    error = "record buffer holds " + std::to_string(records.size() - r) +
            " bytes beyond the last key item";
    return std::nullopt;
  }
  return entries;
}

}  // namespace lexora
