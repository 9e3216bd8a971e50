// Windows: nothing is removed. Ctrl-C arrives on a thread of the console's own while the
// program's thread holds the temporary file open without FILE_SHARE_DELETE, so the file
// cannot be deleted from there; the next run's temporary file has a name of its own.
#include "platform/removed_on_termination.h"

#include <utility>

namespace lexora {

RemovedOnTermination::RemovedOnTermination(const std::filesystem::path&) {}

RemovedOnTermination::~RemovedOnTermination() = default;

RemovedOnTermination::RemovedOnTermination(RemovedOnTermination&& other) noexcept
    : slot_(std::exchange(other.slot_, -1)) {}

}  // namespace lexora
