#include "pack/packed_image.h"

#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "pack/transfer_message.h"
#include "platform/bytes.h"
#include "platform/text_codec.h"

namespace lexora {
namespace {

std::span<const uint8_t> bytesOf(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

bool everyPayloadFits(const std::string& name, const PackedDictionary& dictionary) {
  bool fits = fitsMessage(name.size());
  for (const auto& b : dictionary.blocks) {
    fits = fits && fitsMessage(b.keyBytes.size()) && fitsMessage(b.packedBytes.size());
  }
  return fits;
}

std::string at(uint64_t offset) {
  return "at offset " + std::to_string(offset);
}

std::string typeNumber(MessageType type) {
  return std::to_string(static_cast<unsigned>(type));
}

}  // namespace

std::vector<uint8_t> serializePackedImage(const PackedDictionary& dictionary) {
  const std::string name = utf16ToUtf8(dictionary.name);
  if (!everyPayloadFits(name, dictionary)) return {};
  std::vector<uint8_t> out;
  size_t total = 2 * kMessageHeaderSize + name.size();
  for (const auto& b : dictionary.blocks) {
    total += 2 * kMessageHeaderSize + b.keyBytes.size() + b.packedBytes.size();
  }
  out.reserve(total);
  appendMessage(out, MessageType::Name, bytesOf(name));
  for (const auto& b : dictionary.blocks) {
    appendMessage(out, MessageType::Key, b.keyBytes);
    appendMessage(out, MessageType::Record, b.packedBytes);
  }
  appendMessage(out, MessageType::End, {});
  return out;
}

bool writePackedImage(const std::string& path, const PackedDictionary& dictionary,
                      std::string& error) {
  const std::string name = utf16ToUtf8(dictionary.name);
  if (!everyPayloadFits(name, dictionary)) {
    error = "cannot write " + path + ": the name or a block is longer than a message holds";
    return false;
  }
  const std::string temp = path + ".part";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) {
    error = "cannot create " + temp + ": " + std::strerror(errno);
    return false;
  }
  // Message by message, so the image is never held twice in memory.
  bool written = true;
  auto put = [&](MessageType type, std::span<const uint8_t> payload) {
    const auto header = messageHeader(type, payload.size());
    written =
        written && std::fwrite(header.data(), 1, header.size(), f) == header.size() &&
        (payload.empty() || std::fwrite(payload.data(), 1, payload.size(), f) == payload.size());
  };
  put(MessageType::Name, bytesOf(name));
  for (const auto& b : dictionary.blocks) {
    put(MessageType::Key, b.keyBytes);
    put(MessageType::Record, b.packedBytes);
  }
  put(MessageType::End, {});
  written = written && std::fflush(f) == 0 && ::fsync(fileno(f)) == 0;
  const int writeErrno = errno;
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    error = "cannot write " + temp + ": " + std::strerror(written ? errno : writeErrno);
    std::remove(temp.c_str());
    return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    error = "cannot rename " + temp + " to " + path + ": " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

std::optional<PackedDictionary> parsePackedImage(std::span<const uint8_t> image,
                                                 std::string& error) {
  std::optional<MessageDamage> damage;
  std::vector<TransferMessage> messages = readMessages(image, damage);
  size_t next = 0;
  // The next message, or what is wrong where it should start.
  auto message = [&]() -> TransferMessage* {
    if (next < messages.size()) return &messages[next++];
    error =
        damage ? damage->text() : "the image ends " + at(image.size()) + " without its end flag";
    return nullptr;
  };

  PackedDictionary dictionary;
  TransferMessage* m = message();
  if (!m) return std::nullopt;
  if (m->type != MessageType::Name) {
    error = "expected the name message (type " + typeNumber(MessageType::Name) +
            ") at offset 0, found type " + typeNumber(m->type);
    return std::nullopt;
  }
  dictionary.name = utf8ToUtf16(
      std::string_view(reinterpret_cast<const char*>(m->payload.data()), m->payload.size()));

  for (;;) {
    if (!(m = message())) return std::nullopt;
    if (m->type == MessageType::End) {
      if (!m->payload.empty()) {
        error = "end flag " + at(m->offset) + " carries a payload";
        return std::nullopt;
      }
      break;
    }
    if (m->type != MessageType::Key) {
      error = "expected a key message (type " + typeNumber(MessageType::Key) +
              ") or the end flag (type " + typeNumber(MessageType::End) + ") " + at(m->offset) +
              ", found type " + typeNumber(m->type);
      return std::nullopt;
    }
    PackedBlock block;
    block.keyBytes = std::move(m->payload);
    if (!(m = message())) return std::nullopt;
    if (m->type != MessageType::Record) {
      error = "expected a record message (type " + typeNumber(MessageType::Record) + ") " +
              at(m->offset) + ", found type " + typeNumber(m->type);
      return std::nullopt;
    }
    block.packedBytes = std::move(m->payload);
    dictionary.blocks.push_back(std::move(block));
  }
  const uint64_t end = m->offset + kMessageHeaderSize;
  if (end != image.size()) {
    error = std::to_string(image.size() - end) + " bytes follow the end flag " + at(end);
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

std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  std::vector<uint8_t> bytes;
  uint8_t buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    error = "cannot read " + path;
    return std::nullopt;
  }
  return bytes;
}

}  // namespace lexora
