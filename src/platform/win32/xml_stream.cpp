// XML events from MSXML 6's document, walked once it is read. A SAX reader would keep
// memory to the part being read; until then a large document costs its whole tree.
#include "platform/xml_stream.h"

#include "base/text_codec.h"

namespace lexora {
namespace {

void tell(const XmlNode& node, XmlEvents& events) {
  switch (node.kind) {
    case XmlNode::Kind::Element:
      events.startElement(node.name);
      for (const XmlNode& child : node.children) tell(child, events);
      events.endElement();
      break;
    case XmlNode::Kind::Text:
    case XmlNode::Kind::CData:
      events.text(node.value);
      break;
    case XmlNode::Kind::Document:
      for (const XmlNode& child : node.children) tell(child, events);
      break;
    default:
      break;
  }
}

}  // namespace

bool readXmlStream(std::string_view utf8, XmlEvents& events, const XmlParseOptions& options) {
  const std::optional<XmlNode> document = parseXmlDocument(utf8ToUtf16(utf8), options);
  if (!document) return false;
  tell(*document, events);
  return true;
}

}  // namespace lexora
