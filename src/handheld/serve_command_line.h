// What `lexora-handheld serve` is told on its command line: where to listen, the store, the
// password's source, the limits and the faults to make; or why the line is wrong.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "handheld/fault_plan.h"
#include "handheld/handheld_server.h"

namespace lexora::handheld {

struct ServeCommandLine {
  ServeOptions options;  // all but `listen`, which is still text here
  FaultPlan faults;
  std::string listen;                         // --listen ADDR, not yet parsed
  std::optional<std::string> passwordSource;  // --password-file FILE (- is standard input)
  bool allowRemote = false;                   // --allow-remote
};

// Reads the words after "serve"; the defaults are the default address and store. Nothing,
// with `error` the usage error's text, when a word is not an option of serve, an option
// lacks its value, or a number is out of its option's range.
std::optional<ServeCommandLine> parseServeCommandLine(const std::vector<std::string>& args,
                                                      std::string& error);

}  // namespace lexora::handheld
