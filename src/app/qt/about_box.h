// CAboutDlg: the About box, built from template 100 or 104; OK, Escape and the close box
// end it.
#pragma once

#include "app/qt/template_dialog.h"

namespace lexora {

class CAboutDlg : public TemplateDialog {
 public:
  explicit CAboutDlg(const DialogTemplate& dialog, QWidget* parent = nullptr);
};

}  // namespace lexora
