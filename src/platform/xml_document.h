// A small XML DOM: a document parsed into a tree of nodes, as the system's own XML
// component shows it (MSXML 6 on Windows, libxml2 elsewhere). posix/ and win32/xml_document.cpp.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lexora {

struct XmlNode {
  enum class Kind { Document, Element, Text, CData, Comment, ProcessingInstruction, Other };
  Kind kind = Kind::Other;
  // The DOM's nodeName: an element's tag name, a processing instruction's target, and
  // "#text", "#cdata-section", "#comment", "#document" for the others.
  std::u16string name;
  // The DOM's nodeValue for text, CDATA, comment and processing-instruction nodes; empty
  // for the others.
  std::u16string value;
  std::vector<XmlNode> children;
};

struct XmlParseOptions {
  // Text made only of white space between elements is a node too (where line breaks
  // between elements are part of the text).
  bool keepWhiteSpace = false;
  // A document type declaration is accepted (its DTD is still never loaded). MSXML refuses
  // one otherwise; libxml2 accepts one either way.
  bool allowDocumentType = false;
};

// Parses `text` strictly and offline, with the component's defaults otherwise: text made
// only of white space between elements is no node (unless `options` keep it), entity and
// character references are resolved, adjacent CDATA sections stay separate nodes. No
// network, no DTD or external entity is loaded; nesting is bounded by the parser's depth
// limit. Returns the document node, or nullopt when the text is not well-formed XML or the
// component cannot be created or fails while the tree is read. Any thread.
std::optional<XmlNode> parseXmlDocument(std::u16string_view text,
                                        const XmlParseOptions& options = {});

}  // namespace lexora
