#include "platform/scratch_file.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace lexora {
namespace {

class HandleScratch : public ScratchFile {
 public:
  explicit HandleScratch(HANDLE file) : file_(file) {}
  ~HandleScratch() override { CloseHandle(file_); }
  HandleScratch(const HandleScratch&) = delete;
  HandleScratch& operator=(const HandleScratch&) = delete;

  uint64_t size() const override { return size_; }

  bool append(const char* bytes, size_t size) override {
    for (size_t done = 0; done < size;) {
      const DWORD piece = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
      OVERLAPPED at = place(size_ + done);
      DWORD written = 0;
      if (!WriteFile(file_, bytes + done, piece, &written, &at) || written == 0) return false;
      done += written;
    }
    size_ += size;
    return true;
  }

  // A positioned ReadFile on a handle opened without overlapped I/O is synchronous and,
  // unlike a seek and a read, needs no lock between threads.
  bool readAt(uint64_t offset, char* buffer, size_t size) const override {
    if (offset > size_ || size > size_ - offset) return false;
    for (size_t done = 0; done < size;) {
      const DWORD piece = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
      OVERLAPPED at = place(offset + done);
      DWORD read = 0;
      if (!ReadFile(file_, buffer + done, piece, &read, &at) || read == 0) return false;
      done += read;
    }
    return true;
  }

 private:
  static OVERLAPPED place(uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
  }

  HANDLE file_;
  uint64_t size_ = 0;
};

}  // namespace

std::unique_ptr<ScratchFile> createScratchFile() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return nullptr;
  wchar_t name[MAX_PATH + 1];
  if (GetTempFileNameW(folder, L"lxr", 0, name) == 0) return nullptr;
  // Deleted when the handle closes, the process's end included; "temporary" asks the
  // system to keep it in its cache rather than hurry it to the disk.
  const HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DeleteFileW(name);
    return nullptr;
  }
  return std::make_unique<HandleScratch>(file);
}

}  // namespace lexora
