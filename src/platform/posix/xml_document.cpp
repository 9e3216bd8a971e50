// The XML DOM through libxml2.
#include "platform/xml_document.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <limits>
#include <memory>
#include <mutex>

#include "base/text_codec.h"

namespace lexora {
namespace {

std::u16string text(const xmlChar* utf8) {
  return utf8 ? utf8ToUtf16(reinterpret_cast<const char*>(utf8)) : std::u16string();
}

// A node's name as the DOM shows it: the qualified name of an element, the target of a
// processing instruction, "#text" and the like for the other kinds.
XmlNode::Kind kindAndName(const xmlNode* node, std::u16string& name) {
  switch (node->type) {
    case XML_ELEMENT_NODE: {
      std::string qualified;
      if (node->ns != nullptr && node->ns->prefix != nullptr) {
        qualified = reinterpret_cast<const char*>(node->ns->prefix);
        qualified += ':';
      }
      qualified += reinterpret_cast<const char*>(node->name);
      name = utf8ToUtf16(qualified);
      return XmlNode::Kind::Element;
    }
    case XML_PI_NODE:
      name = text(node->name);
      return XmlNode::Kind::ProcessingInstruction;
    case XML_TEXT_NODE:
      name = u"#text";
      return XmlNode::Kind::Text;
    case XML_CDATA_SECTION_NODE:
      name = u"#cdata-section";
      return XmlNode::Kind::CData;
    case XML_COMMENT_NODE:
      name = u"#comment";
      return XmlNode::Kind::Comment;
    case XML_DOCUMENT_NODE:
      name = u"#document";
      return XmlNode::Kind::Document;
    default:
      name = u"#other";
      return XmlNode::Kind::Other;
  }
}

bool isBlank(const xmlChar* value) {
  if (value == nullptr) return true;
  for (; *value != 0; ++value) {
    if (*value != ' ' && *value != '\t' && *value != '\r' && *value != '\n') return false;
  }
  return true;
}

// White space between elements is not a node of the document, as a DOM that does not
// preserve white space never creates one.
void copyTree(const xmlNode* from, XmlNode& to, bool keepWhiteSpace) {
  to.kind = kindAndName(from, to.name);
  if (to.kind == XmlNode::Kind::Text || to.kind == XmlNode::Kind::CData ||
      to.kind == XmlNode::Kind::Comment || to.kind == XmlNode::Kind::ProcessingInstruction) {
    to.value = text(from->content);
  }
  for (const xmlNode* child = from->children; child != nullptr; child = child->next) {
    if (!keepWhiteSpace && child->type == XML_TEXT_NODE && isBlank(child->content)) continue;
    copyTree(child, to.children.emplace_back(), keepWhiteSpace);
  }
}

// Each CDATA section is a node of its own; libxml2 would merge adjacent ones.
void addCdataSection(void* context, const xmlChar* value, int length) {
  auto* parser = static_cast<xmlParserCtxt*>(context);
  if (parser->node == nullptr) return;
  xmlNode* node = xmlNewCDataBlock(parser->myDoc, value, length);
  if (node != nullptr && xmlAddChild(parser->node, node) == nullptr) xmlFreeNode(node);
}

struct DocumentFreer {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct ParserFreer {
  void operator()(xmlParserCtxt* parser) const { xmlFreeParserCtxt(parser); }
};

}  // namespace

std::optional<XmlNode> parseXmlDocument(std::u16string_view source,
                                        const XmlParseOptions& parseOptions) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { xmlInitParser(); });

  const std::string document = utf16ToUtf8(source);
  if (document.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return std::nullopt;

  std::unique_ptr<xmlParserCtxt, ParserFreer> parser(xmlNewParserCtxt());
  if (!parser || parser->sax == nullptr) return std::nullopt;
  parser->sax->cdataBlock = addCdataSection;
  // Strict and offline: no recovery, no network, no DTD loading, no entity substitution
  // beyond the predefined entities; errors are not printed.
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  std::unique_ptr<xmlDoc, DocumentFreer> doc(xmlCtxtReadMemory(
      parser.get(), document.data(), static_cast<int>(document.size()), nullptr, "UTF-8", options));
  // A name with an undeclared namespace prefix does not parse either.
  if (!doc || !parser->wellFormed || !parser->nsWellFormed) return std::nullopt;

  XmlNode root;
  copyTree(reinterpret_cast<const xmlNode*>(doc.get()), root, parseOptions.keepWhiteSpace);
  return root;
}

}  // namespace lexora
