#include "handheld/dictionary_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

#include "base/text_codec.h"
#include "pack/image_file_name.h"
#include "pack/packed_image.h"
#include "pack/packed_image_reader.h"

namespace lexora::handheld {
namespace {

constexpr char kExtension[] = ".lxp";

std::string systemError(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

bool writeAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The suffix of a temporary name's `attempt`-th choice.
std::string tempSuffix(DictionaryStore::TempNames names, int attempt) {
  if (names == DictionaryStore::TempNames::Predictable) return std::to_string(attempt);
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  std::string suffix;
  for (int i = 0; i < 6; ++i) suffix += kLetters[random() % (sizeof kLetters - 1)];
  return suffix;
}

// Several connections may store the same name at once, so each writes a temporary file of
// its own, made exclusively (O_CREAT|O_EXCL: a name taken, by a link too, is never opened)
// in the store, and the last rename wins with one whole image. The store names these
// files itself rather than through AtomicFile: its short suffix leaves long dictionary
// names room under NAME_MAX, and --predictable-temp-names lets the tests plant links at
// the very names it will try.
bool replaceWith(const std::filesystem::path& path, const std::vector<uint8_t>& bytes,
                 DictionaryStore::TempNames names, std::string& error) {
  // Hidden and without the .lxp extension, so that `list` never shows a half-written one.
  // Its 8 more bytes at most (a dot, a dot and six characters) fit: packedImageFileName
  // leaves room for them under NAME_MAX.
  const std::string prefix = (path.parent_path() / ("." + path.filename().string() + ".")).string();
  constexpr int kAttempts = 100;
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < kAttempts; ++attempt) {
    temp = prefix + tempSuffix(names, attempt);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST && errno != EINTR) break;
  }
  if (fd < 0) {
    error = systemError("cannot create a temporary file in " + path.parent_path().string());
    return false;
  }
  bool ok = writeAll(fd, bytes);
  if (!ok) error = systemError("cannot write " + temp);
  if (ok && fsync(fd) != 0) {
    error = systemError("cannot flush " + temp);
    ok = false;
  }
  if (::close(fd) != 0 && ok) {
    error = systemError("cannot close " + temp);
    ok = false;
  }
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
    error = systemError("cannot rename " + temp + " to " + path.string());
    ok = false;
  }
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace

DictionaryStore::DictionaryStore(std::filesystem::path directory, TempNames tempNames)
    : directory_(std::move(directory)), tempNames_(tempNames) {}

std::filesystem::path DictionaryStore::defaultDirectory() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data) return std::filesystem::path(data) / "lexora-handheld";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : ".") / ".local/share/lexora-handheld";
}

bool DictionaryStore::store(const PackedDictionary& dictionary, std::filesystem::path& path,
                            std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(directory_, ec);
  if (ec) {
    error = "cannot create " + directory_.string() + ": " + ec.message();
    return false;
  }
  path = directory_ / packedImageFileName(utf16ToUtf8(dictionary.name));
  const std::vector<uint8_t> bytes = serializePackedImage(dictionary);
  if (bytes.empty()) {
    error = "the dictionary does not fit the packed image format";
    return false;
  }
  return replaceWith(path, bytes, tempNames_, error);
}

std::optional<std::vector<WordFound>> DictionaryStore::lookup(std::string_view utf8Name,
                                                              const std::vector<std::string>& words,
                                                              std::string& error) const {
  const std::filesystem::path path = directory_ / packedImageFileName(utf8Name);
  auto image = PackedImageReader::open(path, error);
  if (!image) return std::nullopt;
  auto found = lookupWords(*image, words, error);
  if (!found && !image->unreadable()) error = path.string() + ": " + error;
  return found;
}

namespace {

// `entry` filled from its image, or its error.
void readEntry(DictionaryStore::Entry& entry) {
  auto image = PackedImageReader::open(entry.path, entry.error);
  std::string name;
  if (!image || !image->readName(name, entry.error)) return;
  for (;;) {
    switch (image->skipBlock(entry.error)) {
      case PackedImageReader::Step::Block:
        continue;
      case PackedImageReader::Step::Damaged:
        return;
      case PackedImageReader::Step::End:
        entry.name = utf8ToUtf16(name);
        entry.blocks = image->blocks();
        entry.blockBytes = image->blockBytes();
        return;
    }
  }
}

}  // namespace

std::optional<std::vector<DictionaryStore::Entry>> DictionaryStore::list(std::string& error) const {
  std::vector<Entry> entries;
  std::error_code ec;
  std::filesystem::directory_iterator item(directory_, ec);
  // A store nothing was ever sent to does not exist yet: it holds no dictionaries.
  if (ec == std::errc::no_such_file_or_directory) return entries;
  for (; !ec && item != std::filesystem::directory_iterator(); item.increment(ec)) {
    if (item->path().extension() != kExtension) continue;
    // An entry that cannot be followed (a loop of links, say) is told, not thrown; one gone
    // since the folder was read (or a dangling link) holds nothing.
    std::error_code unreadable;
    const bool regular = item->is_regular_file(unreadable);
    if (unreadable == std::errc::no_such_file_or_directory || (!regular && !unreadable)) continue;
    Entry entry{item->path(), {}, {}, 0, 0};
    if (unreadable) {
      entry.error = unreadable.message();
    } else {
      readEntry(entry);
    }
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.path < b.path; });
  if (ec) {
    error = "cannot read the store " + directory_.string() + ": " + ec.message();
    return std::nullopt;
  }
  return entries;
}

}  // namespace lexora::handheld
