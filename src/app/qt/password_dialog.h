// CInputPasswordDialog: asks for the handheld's password, from template 131 or 132. The
// prompt replaces the attempts text; the masked field takes at most 14 characters; the
// focus is on OK at opening, so Enter at once answers with an empty password. OK accepts;
// Cancel, Escape and the close box reject.
#pragma once

#include <string>
#include <string_view>

#include "app/qt/template_dialog.h"

namespace lexora {

class CInputPasswordDialog : public TemplateDialog {
 public:
  CInputPasswordDialog(const DialogTemplate& dialog, std::u16string_view attemptsText,
                       QWidget* parent = nullptr);

  // The password as typed; meaningful once the dialog was accepted.
  std::u16string password() const;
};

}  // namespace lexora
