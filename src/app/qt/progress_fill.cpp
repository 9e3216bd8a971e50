#include "app/qt/progress_fill.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>

namespace lexora {

ProgressFill::ProgressFill(QLineEdit& edit) : QObject(&edit), edit_(edit) {
  // The edit paints its frame and text over what this filter paints first; its own
  // background would cover the fill, so it becomes transparent and is painted here.
  QPalette palette = edit.palette();
  base_ = palette.brush(QPalette::Active, QPalette::Base);
  palette.setBrush(QPalette::Base, Qt::transparent);
  edit.setPalette(palette);
  edit.installEventFilter(this);
}

void ProgressFill::show(ProgressState state, int percent) {
  state_ = state;
  percent_ = std::clamp(percent, 0, 100);
  edit_.update();
}

bool ProgressFill::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &edit_ && event->type() == QEvent::Paint) {
    QPainter painter(&edit_);
    const QRect whole = edit_.rect();
    painter.fillRect(whole, base_);
    if (state_ != ProgressState::None) {
      QRect filled = whole;
      filled.setWidth(whole.width() * percent_ / 100);
      painter.fillRect(filled, state_ == ProgressState::Failed ? kFailedColor : kNormalColor);
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace lexora
