#include "cli/status_line.h"

#include <algorithm>
#include <utility>

namespace lexora {

std::string statusLineShown(std::string_view text, std::optional<int> percent) {
  std::string shown(text);
  if (!percent) return shown;
  const int filled = std::clamp(*percent, 0, 100) * kProgressBarWidth / 100;
  shown += " [";
  shown.append(static_cast<size_t>(filled), '#');
  shown.append(static_cast<size_t>(kProgressBarWidth - filled), '.');
  shown += ']';
  return shown;
}

std::string StatusLine::setText(std::string text) {
  text_ = std::move(text);
  percent_.reset();
  return statusLineShown(text_, percent_);
}

std::string StatusLine::setProgress(int percent) {
  percent_ = percent;
  return statusLineShown(text_, percent_);
}

void StatusLine::clear() {
  text_.clear();
  percent_.reset();
}

}  // namespace lexora
