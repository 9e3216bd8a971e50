#include "app/qt/about_box.h"

#include <QPushButton>

namespace lexora {

CAboutDlg::CAboutDlg(const DialogTemplate& dialog, QWidget* parent)
    : TemplateDialog(dialog, parent) {
  if (auto* ok = qobject_cast<QPushButton*>(control(about_control::kOk))) {
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  }
}

}  // namespace lexora
