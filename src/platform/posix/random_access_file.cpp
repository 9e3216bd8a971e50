#include "platform/random_access_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/file.h"
#include "platform/posix/positioned_io.h"

namespace lexora {
namespace {

// pread keeps no shared position, so the chunk inflation may read from several threads.
class DescriptorInput : public RandomAccessInput {
 public:
  DescriptorInput(int descriptor, uint64_t size) : descriptor_(descriptor), size_(size) {}
  ~DescriptorInput() override { closeDescriptor(descriptor_); }
  DescriptorInput(const DescriptorInput&) = delete;
  DescriptorInput& operator=(const DescriptorInput&) = delete;

  uint64_t size() const override { return size_; }

  bool readAt(uint64_t offset, char* buffer, size_t size) override {
    if (offset > size_ || size > size_ - offset) return false;
    return preadAll(descriptor_, buffer, size, offset);
  }

 private:
  int descriptor_;
  uint64_t size_;
};

}  // namespace

std::unique_ptr<RandomAccessInput> openRandomAccess(const std::filesystem::path& path) {
  const int descriptor = openDescriptorForReading(path);
  if (descriptor < 0) return nullptr;
  struct stat info;
  if (fstat(descriptor, &info) != 0 || info.st_size < 0) {
    closeDescriptor(descriptor);
    return nullptr;
  }
  return std::make_unique<DescriptorInput>(descriptor, static_cast<uint64_t>(info.st_size));
}

}  // namespace lexora
