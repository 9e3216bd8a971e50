#include "app/browse_folder.h"

#include "platform/application.h"
#include "platform/path_text.h"

namespace lexora {
namespace {

constexpr std::u16string_view kSection = u"UI";
constexpr std::u16string_view kEntry = u"lastFolder";

}  // namespace

std::u16string browseFolder() {
  const std::u16string stored = applicationSettings().read(kSection, kEntry);
  if (stored.empty()) return {};
  std::error_code error;
  if (!std::filesystem::is_directory(pathFromText(stored), error)) return {};
  return stored;
}

void rememberBrowseFolder(const std::filesystem::path& file) {
  const std::filesystem::path folder = file.parent_path();
  if (folder.empty()) return;
  const std::u16string text = pathText(folder);
  if (pathFromText(text) != folder) return;
  Settings settings = applicationSettings();
  // Most Browses come back to the same folder: the settings file is not rewritten for them.
  if (settings.read(kSection, kEntry) == text) return;
  settings.write(kSection, kEntry, text);
}

}  // namespace lexora
