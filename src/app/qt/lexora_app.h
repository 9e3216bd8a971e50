// CLexoraApp: the desktop program's start-up. It names the application (settings, box
// captions), decides the interface language before the template is chosen, shows the main
// dialog modally with the files of the command line as the selection, and ends with it.
#pragma once

#include <QApplication>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace lexora {

// The files named on the command line, argv[1] to argv[argc - 1] once Qt has taken its own
// options out, without lexora's own options (and the "--" that ends them): made absolute, in the
// system's bytes, so that a name that is not UTF-8 is opened as given (QApplication::arguments()
// would have decoded it into U+FFFD).
std::vector<std::filesystem::path> commandLineFiles(int argc, const char* const* argv);

class CLexoraApp {
 public:
  // `argc` and `argv` as main() received them; Qt's own options are taken out.
  CLexoraApp(int& argc, char** argv);
  ~CLexoraApp();
  CLexoraApp(const CLexoraApp&) = delete;
  CLexoraApp& operator=(const CLexoraApp&) = delete;

  // Runs the main dialog until it ends; the program's exit status. A command line that asks
  // for the help or the version, or is wrong, has been answered already: no window opens.
  int run();

 private:
  std::optional<int> exitStatus_;
  std::unique_ptr<QApplication> application_;
  std::vector<std::filesystem::path> files_;
};

}  // namespace lexora
