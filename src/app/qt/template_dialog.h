// A Qt dialog built from one of the dialog templates: its controls, by id, at their place,
// with dialog units scaled by the template font's average character size as the platform's
// dialog manager does, so the layout keeps its proportions on any font and screen scale.
#pragma once

#include <QDialog>
#include <QFont>
#include <QSize>
#include <vector>

#include "app/dialog_templates.h"

namespace lexora {

// The template's font: its face when installed, else a CJK-capable face, at its points.
QFont dialogFont(const DialogFont& font);
// A font's average character width and height in pixels, as dialog units are based on.
QSize dialogBaseUnits(const QFont& font);

class TemplateDialog : public QDialog {
 public:
  // Creates every control of `dialog` in template order (the tab order), the caption, the
  // window's decorations, the font and the fixed client size.
  explicit TemplateDialog(const DialogTemplate& dialog, QWidget* parent = nullptr);

  // The control with `id`; null for none (and for kNoControlId).
  QWidget* control(int id) const;
  // Every control's id, first to last (kNoControlId for those without one).
  std::vector<int> controlIds() const;
  QSize baseUnits() const { return base_; }
  QRect toPixels(DialogRect units) const;

 protected:
  // The first enabled tab-stop control has the focus when the dialog opens.
  void showEvent(QShowEvent* event) override;

 private:
  struct Control {
    int id;
    QWidget* widget;
    uint32_t styles;
  };

  QSize base_;
  std::vector<Control> controls_;
  bool shown_ = false;
};

}  // namespace lexora
