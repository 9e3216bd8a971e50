// Loads dictionaries without packing them and reports entries per second:
//   lexora-bench-load [--markup-as-text] FILE...
// --markup-as-text keeps StarDict HTML fields as text, so a StarDict of HTML is read like an
// HTML dictionary of another format.
#include <chrono>
#include <cstdio>
#include <string_view>

#include "base/text_codec.h"
#include "base/user_interface.h"
#include "sources/load_dictionary_file.h"
#include "sources/source_options.h"

namespace {

// Messages go to stderr; the benchmark asks no questions.
class QuietUserInterface : public lexora::UserInterface {
 public:
  lexora::MessageAnswer showMessage(std::u16string_view text, lexora::MessageIcon,
                                    lexora::MessageButtons) override {
    std::fprintf(stderr, "%s\n", lexora::utf16ToUtf8(text).c_str());
    return lexora::MessageAnswer::No;
  }
  void setStatus(std::u16string_view) override {}
  std::optional<std::u16string> askPassword(std::u16string_view) override { return std::nullopt; }
};

}  // namespace

int main(int argc, char** argv) {
  QuietUserInterface ui;
  int status = 0;
  lexora::SourceOptions options;
  int first = 1;
  if (argc > 1 && std::string_view(argv[1]) == "--markup-as-text") {
    options.markupAsText = true;
    first = 2;
  }
  for (int i = first; i < argc; ++i) {
    const auto start = std::chrono::steady_clock::now();
    lexora::LoadedDictionary dictionary;
    if (lexora::loadDictionaryFile(dictionary, std::filesystem::path(argv[i]), ui, options) != 0) {
      status = 1;
      continue;
    }
    // Loading ends by freezing the map (sorting and merging), so this is all of it.
    const size_t records = dictionary.entries.size();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %zu records in %.3f s\n", argv[i], records, seconds);
  }
  return status;
}
