// lexora: the desktop dialog.
#include "app/qt/lexora_app.h"

int main(int argc, char** argv) {
  lexora::CLexoraApp app(argc, argv);
  return app.run();
}
