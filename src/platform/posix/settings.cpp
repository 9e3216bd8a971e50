// The settings store as an INI file.
#include "platform/settings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <span>
#include <vector>

#include "base/mutex.h"
#include "base/text_codec.h"
#include "platform/atomic_file.h"
#include "platform/file.h"

namespace lexora {
namespace {

std::string configDirectory() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) return std::string(xdg) + "/Lexora";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.config/Lexora";
}

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

// The settings of one file as read at the start of the run.
struct LoadedSettings {
  std::string path;
  std::vector<std::string> lines;
  std::optional<SettingsProblem> problem;
};

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    at = end + 1;
  }
  return lines;
}

// Only a regular file is read (a FIFO is refused without waiting for a writer), and never
// more than one byte past the bound, so that a file growing meanwhile is caught too.
LoadedSettings load(const std::string& path) {
  LoadedSettings loaded{path, {}, std::nullopt};
  FilePtr file = openForReading(path);
  if (!file) {
    // No settings yet is the usual first start, not a problem.
    if (errno != ENOENT && errno != ENOTDIR) loaded.problem = SettingsProblem{path, errno};
    return loaded;
  }
  std::string text(kSettingsMaxBytes + 1, '\0');
  const size_t n = std::fread(text.data(), 1, text.size(), file.get());
  if (n > kSettingsMaxBytes) {
    loaded.problem = SettingsProblem{path, EFBIG};
    return loaded;
  }
  if (std::ferror(file.get()) != 0) {
    loaded.problem = SettingsProblem{path, errno != 0 ? errno : EIO};
    return loaded;
  }
  text.resize(n);
  loaded.lines = splitLines(text);
  return loaded;
}

Mutex gLoadedMutex;
std::optional<LoadedSettings> gLoaded GUARDED_BY(gLoadedMutex);

// The settings of `path`, read at the first use. A different path (tests move
// XDG_CONFIG_HOME) is read afresh.
LoadedSettings& loadedLocked(const std::string& path) REQUIRES(gLoadedMutex) {
  if (!gLoaded || gLoaded->path != path) gLoaded = load(path);
  return *gLoaded;
}

// Index of "entry=" inside [section], or -1; `sectionEnd` is where a new entry would go
// (or -1 when the section is missing).
long findEntry(const std::vector<std::string>& lines, const std::string& section,
               const std::string& entry, long& sectionEnd) {
  sectionEnd = -1;
  bool inSection = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string t = trim(lines[i]);
    if (!t.empty() && t.front() == '[' && t.back() == ']') {
      inSection = t.substr(1, t.size() - 2) == section;
      if (inSection) sectionEnd = static_cast<long>(i) + 1;
      continue;
    }
    if (!inSection) continue;
    if (!t.empty()) sectionEnd = static_cast<long>(i) + 1;
    const auto eq = t.find('=');
    if (eq != std::string::npos && trim(t.substr(0, eq)) == entry) return static_cast<long>(i);
  }
  return -1;
}

std::string filePath(const std::string& applicationName) {
  return configDirectory() + "/" + applicationName + ".conf";
}

}  // namespace

Settings::Settings(std::string applicationName) : applicationName_(std::move(applicationName)) {}

std::u16string Settings::read(std::u16string_view section, std::u16string_view entry) const {
  MutexLock lock(gLoadedMutex);
  const auto& lines = loadedLocked(filePath(applicationName_)).lines;
  long sectionEnd;
  const long at = findEntry(lines, utf16ToUtf8(section), utf16ToUtf8(entry), sectionEnd);
  if (at < 0) return {};
  const std::string& line = lines[static_cast<size_t>(at)];
  // The value is everything after the first '=', exactly: "english " is not "english".
  return utf8ToUtf16(line.substr(line.find('=') + 1));
}

std::optional<SettingsProblem> Settings::problem() const {
  MutexLock lock(gLoadedMutex);
  return loadedLocked(filePath(applicationName_)).problem;
}

bool Settings::write(std::u16string_view section, std::u16string_view entry,
                     std::u16string_view value) {
  const std::string dir = configDirectory();
  const std::string path = filePath(applicationName_);
  // A line break would end the entry early and make the rest a line of its own: a folder
  // named "a\n[UI]\nlanguage=..." must not write settings of its own.
  const auto oneLine = [](std::u16string_view text) {
    return text.find_first_of(u"\r\n") == std::u16string_view::npos;
  };
  if (!oneLine(section) || !oneLine(entry) || !oneLine(value)) return false;
  MutexLock lock(gLoadedMutex);
  LoadedSettings& loaded = loadedLocked(path);
  if (loaded.problem) return false;

  // Create the folder and its parent (~/.config may not exist on a fresh account).
  const auto parent = dir.substr(0, dir.rfind('/'));
  ::mkdir(parent.c_str(), 0700);
  ::mkdir(dir.c_str(), 0700);

  auto lines = loaded.lines;
  const std::string s = utf16ToUtf8(section), e = utf16ToUtf8(entry);
  const std::string newLine = e + "=" + utf16ToUtf8(value);
  long sectionEnd;
  const long at = findEntry(lines, s, e, sectionEnd);
  if (at >= 0) {
    lines[static_cast<size_t>(at)] = newLine;
  } else if (sectionEnd >= 0) {
    lines.insert(lines.begin() + sectionEnd, newLine);
  } else {
    if (!lines.empty() && !trim(lines.back()).empty()) lines.emplace_back();
    lines.push_back("[" + s + "]");
    lines.push_back(newLine);
  }

  // Write beside the file and rename, so a crash never leaves half a settings file. Whatever
  // was put at the settings' place since they were read (a FIFO would block the write) is
  // not written into.
  std::string error;
  auto out = AtomicFile::create(path, error, AtomicFile::Target::RegularOnly);
  if (!out) return false;
  for (const auto& l : lines) {
    out->write(std::span(reinterpret_cast<const uint8_t*>(l.data()), l.size()));
    out->write(std::span(reinterpret_cast<const uint8_t*>("\n"), 1));
  }
  if (!out->commit(error)) return false;
  loaded.lines = std::move(lines);
  return true;
}

}  // namespace lexora
