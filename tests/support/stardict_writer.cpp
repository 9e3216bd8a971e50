#include "support/stardict_writer.h"

#include <zlib.h>

#include <stdexcept>

#include "support/test_support.h"

namespace lexora::test {
namespace {

void putLe16(std::string& out, unsigned value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void putLe32(std::string& out, uint32_t value) {
  putLe16(out, value & 0xFFFF);
  putLe16(out, value >> 16);
}

// Raw deflate of `data`, flushed with `flush`, appended to `out`.
void deflateInto(z_stream& stream, std::string_view data, int flush, std::string& out) {
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  char buffer[16384];
  do {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    if (deflate(&stream, flush) == Z_STREAM_ERROR) throw std::runtime_error("deflate");
    out.append(buffer, sizeof buffer - stream.avail_out);
  } while (stream.avail_out == 0);
}

uint32_t crcOf(std::string_view data) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

}  // namespace

std::string gzipBytes(std::string_view data) {
  std::string out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03", 10);
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  deflateInto(stream, data, Z_FINISH, out);
  deflateEnd(&stream);
  putLe32(out, crcOf(data));
  putLe32(out, static_cast<uint32_t>(data.size()));
  return out;
}

std::string gunzipBytes(std::string_view gzip) {
  z_stream stream{};
  if (inflateInit2(&stream, MAX_WBITS + 16) != Z_OK) throw std::runtime_error("inflate");
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gzip.data()));
  stream.avail_in = static_cast<uInt>(gzip.size());
  std::string out;
  char buffer[16384];
  int result;
  do {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    result = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - stream.avail_out);
  } while (result == Z_OK);
  inflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("not a complete gzip stream");
  return out;
}

std::string dictzipBytes(std::string_view data, uint16_t chunkLength) {
  std::vector<std::string> chunks;
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  size_t pos = 0;
  do {
    const std::string_view piece = data.substr(pos, chunkLength);
    pos += piece.size();
    std::string compressed;
    deflateInto(stream, piece, pos >= data.size() ? Z_FINISH : Z_FULL_FLUSH, compressed);
    chunks.push_back(std::move(compressed));
  } while (pos < data.size());
  deflateEnd(&stream);

  std::string out("\x1f\x8b\x08\x04\x00\x00\x00\x00\x02\x03", 10);
  const unsigned fieldLength = 6 + 2 * static_cast<unsigned>(chunks.size());
  putLe16(out, 4 + fieldLength);
  out += "RA";
  putLe16(out, fieldLength);
  putLe16(out, 1);
  putLe16(out, chunkLength);
  putLe16(out, static_cast<unsigned>(chunks.size()));
  for (const auto& chunk : chunks) putLe16(out, static_cast<unsigned>(chunk.size()));
  for (const auto& chunk : chunks) out += chunk;
  putLe32(out, crcOf(data));
  putLe32(out, static_cast<uint32_t>(data.size()));
  return out;
}

std::string indexRecord(std::string_view headword, uint64_t offset, uint32_t size, bool offsets64) {
  std::string out(headword);
  out.push_back('\0');
  for (int shift = offsets64 ? 56 : 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<char>((offset >> shift) & 0xFF));
  }
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<char>((size >> shift) & 0xFF));
  }
  return out;
}

StarDictFiles buildStarDictFiles(const StarDictFixture& fixture) {
  StarDictFiles files;
  const size_t count = fixture.entries.size();
  std::vector<uint64_t> offsets(count);
  for (size_t k = 0; k < count; ++k) {
    const size_t i = fixture.reverseBlocks ? count - 1 - k : k;
    offsets[i] = files.data.size();
    files.data += fixture.entries[i].block;
  }
  for (size_t i = 0; i < count; ++i) {
    const auto& entry = fixture.entries[i];
    files.index += indexRecord(entry.headword, offsets[i],
                               static_cast<uint32_t>(entry.block.size()), fixture.offsets64);
  }
  return files;
}

std::filesystem::path writeStarDict(const std::filesystem::path& folder, const std::string& base,
                                    const StarDictFixture& fixture) {
  std::string info = "StarDict's dict ifo file\nversion=2.4.2\n";
  for (const auto& line : fixture.infoLines) info += line + "\n";
  if (fixture.addWordcount) info += "wordcount=" + std::to_string(fixture.entries.size()) + "\n";
  if (fixture.offsets64) info += "idxoffsetbits=64\n";
  const auto ifo = writeFile(folder / (base + ".ifo"), info);

  const StarDictFiles files = buildStarDictFiles(fixture);
  switch (fixture.indexForm) {
    case IndexForm::Plain:
      writeFile(folder / (base + ".idx"), files.index);
      break;
    case IndexForm::Gzip:
      writeFile(folder / (base + ".idx.gz"), gzipBytes(files.index));
      break;
    case IndexForm::GzipUnderPlainName:
      writeFile(folder / (base + ".idx"), gzipBytes(files.index));
      break;
  }
  switch (fixture.dataForm) {
    case DataForm::Plain:
      writeFile(folder / (base + ".dict"), files.data);
      break;
    case DataForm::Gzip:
      writeFile(folder / (base + ".dict.dz"), gzipBytes(files.data));
      break;
    case DataForm::Dictzip:
      writeFile(folder / (base + ".dict.dz"), dictzipBytes(files.data, fixture.chunkLength));
      break;
    case DataForm::GzipUnderPlainName:
      writeFile(folder / (base + ".dict"), gzipBytes(files.data));
      break;
    case DataForm::DictzipUnderPlainName:
      writeFile(folder / (base + ".dict"), dictzipBytes(files.data, fixture.chunkLength));
      break;
  }
  return ifo;
}

}  // namespace lexora::test
