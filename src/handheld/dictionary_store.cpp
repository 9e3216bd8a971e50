#include "handheld/dictionary_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "pack/packed_image.h"
#include "platform/text_codec.h"

namespace lexora::handheld {
namespace {

constexpr char kExtension[] = ".lxp";

bool keptAscii(char c, bool first) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || (c == '.' && !first);
}

}  // namespace

DictionaryStore::DictionaryStore(std::filesystem::path directory)
    : directory_(std::move(directory)) {}

std::filesystem::path DictionaryStore::defaultDirectory() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data) return std::filesystem::path(data) / "lexora-handheld";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : ".") / ".local/share/lexora-handheld";
}

std::string DictionaryStore::fileNameFor(std::string_view utf8Name) {
  // "%" alone cannot come out of the escaping below, so the empty name gets it.
  if (utf8Name.empty()) return std::string("%") + kExtension;
  const bool validUtf8 = utf16ToUtf8(utf8ToUtf16(utf8Name)) == utf8Name;
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < utf8Name.size(); ++i) {
    const char c = utf8Name[i];
    const auto byte = static_cast<unsigned char>(c);
    if (keptAscii(c, i == 0) || (validUtf8 && byte >= 0x80)) {
      out += c;
    } else {
      out += '%';
      out += digits[byte >> 4];
      out += digits[byte & 15];
    }
  }
  return out + kExtension;
}

bool DictionaryStore::store(const PackedDictionary& dictionary, std::filesystem::path& path,
                            std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(directory_, ec);
  if (ec) {
    error = "cannot create " + directory_.string() + ": " + ec.message();
    return false;
  }
  path = directory_ / fileNameFor(utf16ToUtf8(dictionary.name));
  return writePackedImage(path.string(), dictionary, error);
}

std::optional<PackedDictionary> DictionaryStore::load(std::string_view utf8Name,
                                                      std::string& error) const {
  const std::filesystem::path path = directory_ / fileNameFor(utf8Name);
  auto bytes = readWholeFile(path.string(), error);
  if (!bytes) return std::nullopt;
  auto dictionary = parsePackedImage(*bytes, error);
  if (!dictionary) error = path.string() + ": " + error;
  return dictionary;
}

std::vector<DictionaryStore::Entry> DictionaryStore::list() const {
  std::vector<Entry> entries;
  std::error_code ec;
  for (const auto& item : std::filesystem::directory_iterator(directory_, ec)) {
    if (!item.is_regular_file() || item.path().extension() != kExtension) continue;
    Entry entry{item.path(), std::nullopt, {}};
    if (auto bytes = readWholeFile(item.path().string(), entry.error)) {
      entry.dictionary = parsePackedImage(*bytes, entry.error);
    }
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.path < b.path; });
  return entries;
}

}  // namespace lexora::handheld
