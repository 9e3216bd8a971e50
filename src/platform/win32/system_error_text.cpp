// The system's Chinese message table, where Windows has one installed (a Chinese edition or
// language pack). The file functions fail with errno values; FormatMessageW speaks of the
// system's own error codes, so the common ones are translated back.
#include "platform/system_error_text.h"

#include <windows.h>

#include <cerrno>
#include <string>

#include "base/text_codec.h"

namespace lexora {
namespace {

// 0 when `error` has no system code that says the same.
DWORD systemCode(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case ENOSPC:
      return ERROR_DISK_FULL;
    case EMFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EPIPE:
      return ERROR_BROKEN_PIPE;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    default:
      return 0;
  }
}

}  // namespace

std::optional<std::string> chineseSystemErrorText(int error) {
  const DWORD code = systemCode(error);
  if (code == 0) return std::nullopt;
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED),
      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  // No Chinese table: FormatMessageW fails rather than answer in another language.
  if (length == 0 || !text) return std::nullopt;
  std::u16string wide(text, text + length);
  LocalFree(text);
  while (!wide.empty() && (wide.back() == u'\r' || wide.back() == u'\n' || wide.back() == u' ')) {
    wide.pop_back();
  }
  if (wide.empty()) return std::nullopt;
  return utf16ToUtf8(wide);
}

}  // namespace lexora
