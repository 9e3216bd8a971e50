// The sending progress as a fill behind a line edit's text: the status line keeps its text
// and shows how far the dictionary has come from across the room.
#pragma once

#include <QColor>
#include <QLineEdit>
#include <QObject>

#include "app/dialog_view.h"

namespace lexora {

class ProgressFill : public QObject {
 public:
  inline static const QColor kNormalColor{0xB4, 0xE6, 0xB4};
  inline static const QColor kFailedColor{0xF2, 0xB0, 0xB0};

  // Paints behind `edit`'s text from now on; `edit` owns this object.
  explicit ProgressFill(QLineEdit& edit);

  void show(ProgressState state, int percent);
  ProgressState state() const { return state_; }
  int percent() const { return percent_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit& edit_;
  QBrush base_;  // the edit's own background, painted here once the edit's is transparent
  ProgressState state_ = ProgressState::None;
  int percent_ = 0;
};

}  // namespace lexora
