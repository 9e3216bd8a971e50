// What the fuzz targets of file readers share: the input as a file, and a user interface
// that shows nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "base/user_interface.h"

class SilentUserInterface : public lexora::UserInterface {
 public:
  lexora::MessageAnswer showMessage(std::u16string_view, lexora::MessageIcon,
                                    lexora::MessageButtons) override {
    return lexora::MessageAnswer::Ok;
  }
  void setStatus(std::u16string_view) override {}
  std::optional<std::u16string> askPassword(std::u16string_view) override { return std::nullopt; }
};

// Writes the fuzzer's input to `path`, which the reader then opens; false when it cannot.
inline bool writeFuzzInput(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  return true;
}
