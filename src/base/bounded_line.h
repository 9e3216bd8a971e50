// One line gathered from blocks of bytes read in turn, with a bound: input without line
// ends (a link to /dev/zero, an endless pipe) costs no more than the bound, however long
// it runs. The console's password lines and the emulator's password file share it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lexora {

// The longest line taken where a password is expected: far more than the 14 characters a
// password has, so that a line a little too long is still refused as too long rather than
// cut.
inline constexpr size_t kPasswordLineMaxBytes = 1024;

class BoundedLine {
 public:
  explicit BoundedLine(size_t maxBytes) : maxBytes_(maxBytes) {}
  // The bytes gathered are cleared: they may hold a password.
  ~BoundedLine();
  BoundedLine(const BoundedLine&) = delete;
  BoundedLine& operator=(const BoundedLine&) = delete;

  // Takes bytes up to and including the LF that ends the line, or up to the bound; returns
  // how many were taken. The rest belongs to whatever is read after this line.
  size_t add(std::string_view bytes);

  // A LF ended the line.
  bool complete() const { return complete_; }
  // More than the bound arrived without a LF; nothing more is taken.
  bool tooLong() const { return tooLong_; }
  bool done() const { return complete_ || tooLong_; }

  // The line without its LF (and without a CR before it). Clears what was gathered.
  std::string take();

 private:
  size_t maxBytes_;
  std::string line_;
  bool complete_ = false;
  bool tooLong_ = false;
};

}  // namespace lexora
