// XML read as a stream of events, from a file fed to the parser in pieces, so that a large
// document costs what its largest part costs rather than its whole text or a tree of it
// (posix/xml_stream.cpp: libxml2's SAX2 push parser; win32/xml_stream.cpp: MSXML 6's SAX2).
#pragma once

#include <cstdio>
#include <string_view>

namespace lexora {

// Names and text are UTF-8, whatever the document's own encoding; each view lasts only for
// the call.
class XmlEvents {
 public:
  virtual ~XmlEvents() = default;
  // An element's qualified tag name (prefix:name as written); an empty element gives both
  // calls.
  virtual void startElement(std::string_view name) = 0;
  virtual void endElement() = 0;
  // Text and CDATA, white space between elements included, with character references and
  // the predefined entities resolved; one run of text may come in several calls.
  virtual void text(std::string_view text) = 0;
};

// Deeper nesting is refused as not well-formed: the readers' recursion stays bounded. The
// same bound as libxml2's own for a tree.
inline constexpr int kXmlStreamMaxDepth = 256;

// Reads the XML document in `file`, from where it stands to its end, and tells `events`
// what it finds, in document order. The encoding is the document's (a byte-order mark or
// its XML declaration). Strict and offline: a document type declaration is accepted and the
// entities it declares are expanded (within the parser's bounds on expansion; Wine's MSXML
// refuses a reference to one instead), but no DTD or external entity is ever loaded;
// nesting is bounded by kXmlStreamMaxDepth. Returns false when the text is not well-formed
// XML or cannot be read: what came before the fault has been told already.
bool readXmlStream(std::FILE* file, XmlEvents& events);

}  // namespace lexora
