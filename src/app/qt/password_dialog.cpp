#include "app/qt/password_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/qt/qt_text.h"
#include "link/password_answer.h"

namespace lexora {

CInputPasswordDialog::CInputPasswordDialog(const DialogTemplate& dialog,
                                           std::u16string_view attemptsText, QWidget* parent)
    : TemplateDialog(dialog, parent) {
  if (auto* attempts = qobject_cast<QLabel*>(control(password_control::kAttempts))) {
    attempts->setText(toQString(attemptsText));
  }
  if (auto* field = qobject_cast<QLineEdit*>(control(password_control::kPassword))) {
    field->setMaxLength(static_cast<int>(kPasswordMaxCharacters));
  }
  if (auto* ok = qobject_cast<QPushButton*>(control(password_control::kOk))) {
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  }
  if (auto* cancel = qobject_cast<QPushButton*>(control(password_control::kCancel))) {
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  }
}

std::u16string CInputPasswordDialog::password() const {
  const auto* field = qobject_cast<const QLineEdit*>(control(password_control::kPassword));
  return field ? toU16String(field->text()) : std::u16string();
}

}  // namespace lexora
