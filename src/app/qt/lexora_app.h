// CLexoraApp: the desktop program's start-up. It names the application (settings, box
// captions), decides the interface language before the template is chosen, shows the main
// dialog modally with the files of the command line as the selection, and ends with it.
#pragma once

#include <QApplication>
#include <memory>

namespace lexora {

class CLexoraApp {
 public:
  // `argc` and `argv` as main() received them; Qt's own options are taken out.
  CLexoraApp(int& argc, char** argv);
  ~CLexoraApp();
  CLexoraApp(const CLexoraApp&) = delete;
  CLexoraApp& operator=(const CLexoraApp&) = delete;

  // Runs the main dialog until it ends; the program's exit status.
  int run();

 private:
  std::unique_ptr<QApplication> application_;
};

}  // namespace lexora
