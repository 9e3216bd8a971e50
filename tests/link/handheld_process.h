// Starts lexora-handheld for a test: `serve` on a Unix socket in a private temporary folder
// (so the address is always free), with a store beside it. Stopped and cleaned up with the
// object. Also runs the program's other commands.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace lexora::test {

class HandheldProcess {
 public:
  // `extraArgs` are added to "serve --listen ADDR --store DIR"; a `password` is handed over
  // in a file of its own, as the emulator takes it. Check started().
  explicit HandheldProcess(std::vector<std::string> extraArgs = {},
                           const std::string& password = "");
  ~HandheldProcess();
  HandheldProcess(const HandheldProcess&) = delete;
  HandheldProcess& operator=(const HandheldProcess&) = delete;

  bool started() const { return pid_ > 0; }
  const std::string& address() const { return address_; }
  std::filesystem::path store() const { return dir_ / "store"; }
  // What the emulator has written to its standard error so far.
  std::string log() const;
  // Stops the emulator (SIGTERM) and waits for it; returns its exit status.
  int stop();

  static std::string binary();

  struct Result {
    int status = -1;
    std::string out;
    std::string err;
  };
  // Runs lexora-handheld with `args` to completion.
  static Result run(const std::vector<std::string>& args);

 private:
  TempDir dir_;
  pid_t pid_ = -1;
  std::string address_;
};

}  // namespace lexora::test
