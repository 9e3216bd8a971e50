// The packed image: a packed dictionary as exactly the bytes of its conversation with the
// handheld (name message, key and record message per block, end flag). Written by
// `lexora-cli pack`, stored by the handheld, read back by `inspect` and `lookup`.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pack/packed_dictionary.h"

namespace lexora {

// The whole conversation for `dictionary`, as bytes. REQUIRES: the name and every buffer
// fit a message (packDictionary's blocks do); otherwise the result is empty, never an image.
std::vector<uint8_t> serializePackedImage(const PackedDictionary& dictionary);

// Writes the image atomically (to a temporary file beside `path`, then renamed).
// On failure (a name or buffer that does not fit a message included) returns false and puts the
// reason (in English, with the OS error) in `error`.
bool writePackedImage(const std::filesystem::path& path, const PackedDictionary& dictionary,
                      std::string& error);
class AtomicFile;
// The same into a file opened beforehand (so that an unusable output is found before the
// dictionary is loaded); commits it.
bool writePackedImage(AtomicFile& file, const PackedDictionary& dictionary, std::string& error);

// Parses an image: a name message, then key/record message pairs, then the end flag and
// nothing after it. On a damaged image returns nullopt with `error` naming the offset of the
// first message out of place. Only the structure is read: checkPackedImage also decodes and
// checks every block. The whole dictionary is held: an image in a file is better read with
// a PackedImageReader, a block at a time.
std::optional<PackedDictionary> parsePackedImage(std::span<const uint8_t> image,
                                                 std::string& error);

// One entry of a decoded block: the key item's headword and the record item's text.
struct DecodedEntry {
  std::string headword;  // the key item, in its source case
  std::string text;      // the record item (explanation, merged parts included)
};

// Inflates a block's record stream and pairs its items with the key items. Fails (with
// `error`) when the stream is damaged or the two lists do not pair up one to one.
std::optional<std::vector<DecodedEntry>> decodeBlock(const PackedBlock& block, std::string& error);

}  // namespace lexora
