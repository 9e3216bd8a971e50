#include "platform/scratch_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/posix/positioned_io.h"

namespace lexora {
namespace {

class DescriptorScratch : public ScratchFile {
 public:
  explicit DescriptorScratch(int descriptor) : descriptor_(descriptor) {}
  ~DescriptorScratch() override { ::close(descriptor_); }
  DescriptorScratch(const DescriptorScratch&) = delete;
  DescriptorScratch& operator=(const DescriptorScratch&) = delete;

  uint64_t size() const override { return size_; }

  bool append(const char* bytes, size_t size) override {
    if (!pwriteAll(descriptor_, bytes, size, size_)) return false;
    size_ += size;
    return true;
  }

  bool readAt(uint64_t offset, char* buffer, size_t size) const override {
    if (offset > size_ || size > size_ - offset) return false;
    return preadAll(descriptor_, buffer, size, offset);
  }

 private:
  int descriptor_;
  uint64_t size_ = 0;
};

// TMPDIR as the user set it, else /var/tmp: /tmp is often a RAM disk, which would hold in
// memory what the file is there to keep out of it.
std::string temporaryFolder() {
  const char* set = std::getenv("TMPDIR");
  return set && *set ? set : "/var/tmp";
}

}  // namespace

std::unique_ptr<ScratchFile> createScratchFile() {
  const std::string folder = temporaryFolder();
#ifdef O_TMPFILE
  // A file that never had a name: nothing is left behind whatever ends the program.
  const int nameless = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (nameless >= 0) return std::make_unique<DescriptorScratch>(nameless);
#endif
  // File systems without O_TMPFILE: a fresh name, removed at once.
  std::string name = folder + "/lexora-XXXXXX";
  const int descriptor = mkostemp(name.data(), O_CLOEXEC);
  if (descriptor < 0) return nullptr;
  ::unlink(name.c_str());
  return std::make_unique<DescriptorScratch>(descriptor);
}

}  // namespace lexora
