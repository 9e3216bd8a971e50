#include "platform/random_access_file.h"

#include <cstdio>
#include <mutex>

#include "platform/file.h"

namespace lexora {
namespace {

// The C library has no pread here: a seek and a read under a lock instead.
class StreamInput : public RandomAccessInput {
 public:
  StreamInput(FilePtr file, uint64_t size) : file_(std::move(file)), size_(size) {}

  uint64_t size() const override { return size_; }

  bool readAt(uint64_t offset, char* buffer, size_t size) override {
    if (offset > size_ || size > size_ - offset) return false;
    std::lock_guard lock(mutex_);
    if (_fseeki64(file_.get(), static_cast<int64_t>(offset), SEEK_SET) != 0) return false;
    return std::fread(buffer, 1, size, file_.get()) == size;
  }

 private:
  FilePtr file_;
  uint64_t size_;
  std::mutex mutex_;
};

}  // namespace

std::unique_ptr<RandomAccessInput> openRandomAccess(const std::filesystem::path& path) {
  FilePtr file = openForReading(path);
  if (!file || _fseeki64(file.get(), 0, SEEK_END) != 0) return nullptr;
  const int64_t size = _ftelli64(file.get());
  if (size < 0) return nullptr;
  return std::make_unique<StreamInput>(std::move(file), static_cast<uint64_t>(size));
}

}  // namespace lexora
