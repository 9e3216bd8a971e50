// Writes small StarDict dictionaries for tests: the info file, the index in plain or gzip
// form, and the data in plain, gzip or dictzip form, with the blocks in index order or not.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lexora::test {

// A gzip stream of `data` (one member, no extra field).
std::string gzipBytes(std::string_view data);

// The data of a complete gzip stream (throws when it is not one).
std::string gunzipBytes(std::string_view gzip);

// A dictzip file of `data`: a gzip member whose header holds the "RA" table and whose
// deflate stream is fully flushed after every `chunkLength` bytes. Header layout: bytes
// 10-11 XLEN, 12-13 "RA", 14-15 field length, 16-17 version, 18-19 chunk length, 20-21
// chunk count, then 2 bytes per chunk (all little-endian).
std::string dictzipBytes(std::string_view data, uint16_t chunkLength);

// One index record: headword, NUL, big-endian offset (32 or 64 bits), big-endian size.
std::string indexRecord(std::string_view headword, uint64_t offset, uint32_t size,
                        bool offsets64 = false);

enum class IndexForm { Plain, Gzip, GzipUnderPlainName };
enum class DataForm { Plain, Gzip, Dictzip, GzipUnderPlainName, DictzipUnderPlainName };

struct StarDictFixture {
  struct Entry {
    std::string headword;
    std::string block;  // the data block's bytes
  };
  std::vector<std::string> infoLines = {"bookname=Test Dictionary", "sametypesequence=m"};
  bool addWordcount = true;  // adds "wordcount=<number of entries>"
  std::vector<Entry> entries;
  bool offsets64 = false;      // adds "idxoffsetbits=64" and writes 64-bit offsets
  bool reverseBlocks = false;  // stores the data blocks in the reverse of index order
  IndexForm indexForm = IndexForm::Plain;
  DataForm dataForm = DataForm::Plain;
  uint16_t chunkLength = 64;  // small, so that blocks span chunks
};

// Writes <folder>/<base>.ifo, .idx or .idx.gz, and .dict or .dict.dz; returns the .ifo path.
std::filesystem::path writeStarDict(const std::filesystem::path& folder, const std::string& base,
                                    const StarDictFixture& fixture);

// The data file's bytes and the index records that point into it, as writeStarDict makes them.
struct StarDictFiles {
  std::string index;
  std::string data;  // uncompressed
};
StarDictFiles buildStarDictFiles(const StarDictFixture& fixture);

}  // namespace lexora::test
