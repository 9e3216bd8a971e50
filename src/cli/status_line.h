// How the status line looks on a terminal: the step's text and, on sending lines only,
// a bar for the percentage that text carries. No I/O here, so it is tested without one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lexora {

inline constexpr int kProgressBarWidth = 24;

// `text` followed, when `percent` is given, by " [" + filled + empty + "]" of
// kProgressBarWidth cells, filled in proportion to `percent` (clamped to 0..100).
std::string statusLineShown(std::string_view text, std::optional<int> percent);

// The line as the steps arrive: each text replaces the last and drops its bar; a
// percentage given after a text adds the bar to that text. Each call returns the line
// to show now.
class StatusLine {
 public:
  std::string setText(std::string text);
  std::string setProgress(int percent);
  void clear();
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  std::optional<int> percent_;
};

}  // namespace lexora
