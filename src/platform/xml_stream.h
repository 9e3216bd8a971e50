// XML read as a stream of events, so that a large document costs what its largest part costs
// rather than a tree of all of it (posix/xml_stream.cpp: libxml2's reader; win32/xml_stream.cpp:
// through the XML document for now).
#pragma once

#include <string_view>

#include "platform/xml_document.h"

namespace lexora {

class XmlEvents {
 public:
  virtual ~XmlEvents() = default;
  // An element's tag name as the DOM shows it; an empty element gives both calls.
  virtual void startElement(std::u16string_view name) = 0;
  virtual void endElement() = 0;
  // Text and CDATA, and white space between elements when `options` keep it; one run of
  // text may come in several calls.
  virtual void text(std::u16string_view text) = 0;
};

// Reads `utf8` as parseXmlDocument does (strict, offline, the parser's depth limit) and
// tells `events` what it finds, in document order. Returns false when the text is not
// well-formed XML: what came before the fault has been told already.
bool readXmlStream(std::string_view utf8, XmlEvents& events, const XmlParseOptions& options = {});

}  // namespace lexora
