#include "app/file_selection.h"

#include "platform/path_text.h"

namespace lexora {

FileSelection makeFileSelection(std::vector<std::filesystem::path> paths) {
  FileSelection selection;
  for (const std::filesystem::path& path : paths) {
    if (!selection.text.empty()) selection.text += u';';
    selection.text += pathText(path);
  }
  selection.paths = std::move(paths);
  return selection;
}

FileSelection applyFileDialogResult(const FileSelection& current,
                                    std::optional<std::vector<std::u16string>> chosen) {
  if (!chosen) return current;
  std::vector<std::filesystem::path> paths;
  for (const std::u16string& text : *chosen) paths.push_back(pathFromText(text));
  return makeFileSelection(std::move(paths));
}

std::vector<std::u16string> parseOpenFileBuffer(std::u16string_view buffer, size_t fileOffset) {
  std::vector<std::u16string> paths;
  if (fileOffset == 0 || fileOffset > buffer.size()) return paths;
  std::u16string_view folder;
  if (buffer[fileOffset - 1] != u'\0') {
    // One file: the buffer is its full path, the folder everything before the separator.
    folder = buffer.substr(0, fileOffset - 1);
  } else {
    folder = buffer.substr(0, buffer.find(u'\0'));
    if (!folder.empty() && folder.back() == u'\\') folder.remove_suffix(1);
  }
  size_t at = fileOffset;
  while (at < buffer.size()) {
    const size_t end = std::min(buffer.find(u'\0', at), buffer.size());
    if (end == at) break;
    std::u16string path(folder);
    path += u'\\';
    path += buffer.substr(at, end - at);
    paths.push_back(std::move(path));
    at = end + 1;
  }
  return paths;
}

}  // namespace lexora
