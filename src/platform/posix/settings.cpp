// The settings store as an INI file.
#include "platform/settings.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <span>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/text_codec.h"

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

std::vector<std::string> readLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
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
  const auto lines = readLines(filePath(applicationName_));
  long sectionEnd;
  const long at = findEntry(lines, utf16ToUtf8(section), utf16ToUtf8(entry), sectionEnd);
  if (at < 0) return {};
  const std::string& line = lines[static_cast<size_t>(at)];
  // The value is everything after the first '=', exactly: "english " is not "english".
  return utf8ToUtf16(line.substr(line.find('=') + 1));
}

bool Settings::write(std::u16string_view section, std::u16string_view entry,
                     std::u16string_view value) {
  const std::string dir = configDirectory();
  // Create the folder and its parent (~/.config may not exist on a fresh account).
  const auto parent = dir.substr(0, dir.rfind('/'));
  ::mkdir(parent.c_str(), 0700);
  ::mkdir(dir.c_str(), 0700);

  const std::string path = filePath(applicationName_);
  auto lines = readLines(path);
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

  // Write beside the file and rename, so a crash never leaves half a settings file.
  std::string error;
  auto out = AtomicFile::create(path, error);
  if (!out) return false;
  for (const auto& l : lines) {
    out->write(std::span(reinterpret_cast<const uint8_t*>(l.data()), l.size()));
    out->write(std::span(reinterpret_cast<const uint8_t*>("\n"), 1));
  }
  return out->commit(error);
}

}  // namespace lexora
