#include "sources/source_options.h"

#include "base/text_codec.h"

namespace lexora {

SourceOptions storedSourceOptions(const Settings& settings) {
  SourceOptions options;
  // Typed by hand into the settings file: letter case is not held against the user.
  options.markupAsText = asciiLower(settings.read(u"Sources", u"markup")) == u"text";
  return options;
}

}  // namespace lexora
