// A file that must not outlive the program when it is ended from outside: a half-written
// temporary file is removed when Ctrl-C, SIGTERM or SIGHUP ends the program, as gzip does,
// and the program then ends as that signal would have ended it (exit status 130, 143, 129
// in a shell). A signal the program was started with ignored (nohup) stays ignored, and a
// program that takes the signals itself (the emulator, or while ConsoleInterrupts lives)
// keeps doing so; its own clean-up runs instead.
// One implementation per system: signal handlers here; on Windows nothing is removed (a file
// the program holds open cannot be deleted from the console's control thread).
#pragma once

#include <filesystem>

namespace lexora {

class RemovedOnTermination {
 public:
  // From now on `path` is removed if a terminating signal arrives. At most a few at once
  // (the handler cannot allocate): beyond that the path is simply not removed.
  explicit RemovedOnTermination(const std::filesystem::path& path);
  // The file is no longer removed by a signal (it was renamed, or removed already).
  ~RemovedOnTermination();
  RemovedOnTermination(RemovedOnTermination&& other) noexcept;
  RemovedOnTermination& operator=(RemovedOnTermination&&) = delete;
  RemovedOnTermination(const RemovedOnTermination&) = delete;

 private:
  int slot_ = -1;  // the handler's entry, -1 when none
};

}  // namespace lexora
