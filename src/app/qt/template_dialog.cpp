#include "app/qt/template_dialog.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "app/qt/application_icon.h"
#include "app/qt/qt_text.h"

namespace lexora {
namespace {

Qt::WindowFlags windowFlagsFor(uint32_t styles) {
  // A task-bar window is a top-level window of its own; the boxes are dialogs.
  Qt::WindowFlags flags = (styles & kStyleAppWindow) ? Qt::Window : Qt::Dialog;
  flags |= Qt::CustomizeWindowHint;
  if (styles & kStyleCaption) flags |= Qt::WindowTitleHint;
  if (styles & kStyleSystemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (styles & kStyleMinimizeBox) flags |= Qt::WindowMinimizeButtonHint;
  return flags;
}

QWidget* createControl(const ControlTemplate& control, const QRect& place, QWidget* parent) {
  const QString text = toQString(control.text);
  switch (control.kind) {
    case ControlKind::StaticText: {
      auto* label = new QLabel(text, parent);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setWordWrap(true);  // a left-aligned static text wraps at word boundaries
      return label;
    }
    case ControlKind::Icon: {
      auto* label = new QLabel(parent);
      const int side = std::min(place.width(), place.height());
      label->setPixmap(applicationIcon().pixmap(side, side));
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case ControlKind::Edit: {
      auto* edit = new QLineEdit(text, parent);
      edit->setReadOnly((control.styles & kStyleReadOnly) != 0);
      edit->setFrame((control.styles & kStyleBorder) != 0);
      if (control.styles & kStylePassword) edit->setEchoMode(QLineEdit::Password);
      return edit;
    }
    case ControlKind::PushButton: {
      auto* button = new QPushButton(text, parent);
      // Enter presses the focused button; the dialog manager's own default is OK (id 1),
      // so only an OK button styled as default is the default when no button has focus.
      button->setAutoDefault(true);
      button->setDefault((control.styles & kStyleDefaultButton) != 0 && control.id == kDialogOkId);
      return button;
    }
  }
  return nullptr;
}

}  // namespace

QFont dialogFont(const DialogFont& font) {
  QFont result;
  // The templates name Windows faces; where they are missing a CJK face keeps Chinese and
  // Latin text in one face with one set of metrics.
  result.setFamilies({toQString(font.face), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans CJK")});
  result.setPointSize(font.points);
  return result;
}

QSize dialogBaseUnits(const QFont& font) {
  // The platform's own measure: the average width of the 52 Latin letters, rounded, and
  // the font's height.
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return QSize((letters / 26 + 1) / 2, metrics.height());
}

TemplateDialog::TemplateDialog(const DialogTemplate& dialog, QWidget* parent)
    : QDialog(parent, windowFlagsFor(dialog.styles)) {
  setFont(dialogFont(dialog.font));
  base_ = dialogBaseUnits(font());
  setWindowTitle(toQString(dialog.caption));
  setWindowIcon(applicationIcon());
  setFixedSize(toPixels(dialog.size).size());
  for (const ControlTemplate& control : dialog.controls) {
    const QRect place = toPixels(control.place);
    QWidget* widget = createControl(control, place, this);
    widget->setGeometry(place);
    widget->setEnabled((control.styles & kStyleDisabled) == 0);
    widget->setVisible((control.styles & kStyleVisible) != 0);
    if (control.styles & kStyleTabStop) {
      widget->setFocusPolicy(Qt::StrongFocus);
    } else if (control.kind == ControlKind::StaticText || control.kind == ControlKind::Icon) {
      widget->setFocusPolicy(Qt::NoFocus);
    } else {
      widget->setFocusPolicy(Qt::ClickFocus);
    }
    controls_.push_back({control.id, widget, control.styles});
  }
}

QWidget* TemplateDialog::control(int id) const {
  if (id == kNoControlId) return nullptr;
  for (const Control& control : controls_) {
    if (control.id == id) return control.widget;
  }
  return nullptr;
}

std::vector<int> TemplateDialog::controlIds() const {
  std::vector<int> ids;
  for (const Control& control : controls_) ids.push_back(control.id);
  return ids;
}

QRect TemplateDialog::toPixels(DialogRect units) const {
  const DialogRect pixels = dialogUnitsToPixels(units, base_.width(), base_.height());
  return QRect(pixels.x, pixels.y, pixels.width, pixels.height);
}

void TemplateDialog::showEvent(QShowEvent* event) {
  if (!shown_) {
    shown_ = true;
    for (const Control& control : controls_) {
      if ((control.styles & kStyleTabStop) && control.widget->isEnabled()) {
        // Not as a Tab would, which selects an edit's whole text.
        control.widget->setFocus(Qt::OtherFocusReason);
        break;
      }
    }
  }
  QDialog::showEvent(event);
}

}  // namespace lexora
