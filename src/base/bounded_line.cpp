#include "base/bounded_line.h"

#include <algorithm>

namespace lexora {

BoundedLine::~BoundedLine() {
  std::fill(line_.begin(), line_.end(), '\0');
}

size_t BoundedLine::add(std::string_view bytes) {
  if (done()) return 0;
  const size_t end = bytes.find('\n');
  const size_t lineBytes = end == std::string_view::npos ? bytes.size() : end;
  if (line_.size() + lineBytes > maxBytes_) {
    const size_t taken = maxBytes_ - line_.size() + 1;  // one past the bound tells it
    tooLong_ = true;
    std::fill(line_.begin(), line_.end(), '\0');
    line_.clear();
    return std::min(taken, bytes.size());
  }
  line_.append(bytes.substr(0, lineBytes));
  if (end == std::string_view::npos) return bytes.size();
  complete_ = true;
  return end + 1;
}

std::string BoundedLine::take() {
  std::string line = std::move(line_);
  line_.clear();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace lexora
