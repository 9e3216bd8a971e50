// XML events through libxml2's SAX2 push parser, fed the file in pieces: memory holds one
// piece and the elements open, never the document.
#include "platform/xml_stream.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>

#include <memory>
#include <mutex>
#include <vector>

namespace lexora {
namespace {

constexpr size_t kPieceBytes = 256 * 1024;

std::string_view view(const xmlChar* text, int length) {
  return {reinterpret_cast<const char*>(text), static_cast<size_t>(length)};
}

// What the callbacks share, in the parser's _private.
struct Reading {
  XmlEvents& events;
  int depth = 0;
  bool tooDeep = false;
};

Reading& readingOf(void* context) {
  return *static_cast<Reading*>(static_cast<xmlParserCtxt*>(context)->_private);
}

void startElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar*,
                  int, const xmlChar**, int, int, const xmlChar**) {
  Reading& reading = readingOf(context);
  // Without a tree libxml2 does not bound the depth itself.
  if (++reading.depth > kXmlStreamMaxDepth) {
    reading.tooDeep = true;
    xmlStopParser(static_cast<xmlParserCtxt*>(context));
    return;
  }
  const auto* local = reinterpret_cast<const char*>(localName);
  if (prefix == nullptr) {
    reading.events.startElement(local);
    return;
  }
  std::string qualified(reinterpret_cast<const char*>(prefix));
  qualified += ':';
  qualified += local;
  reading.events.startElement(qualified);
}

void endElement(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
  Reading& reading = readingOf(context);
  --reading.depth;
  reading.events.endElement();
}

void characters(void* context, const xmlChar* text, int length) {
  readingOf(context).events.text(view(text, length));
}

// The document's own entity declarations are kept, in a document with no elements, so that
// references to them are expanded (libxml2 bounds the expansion); nothing is loaded.
xmlSAXHandler handler() {
  xmlSAXHandler sax{};
  sax.initialized = XML_SAX2_MAGIC;
  sax.startDocument = xmlSAX2StartDocument;
  sax.internalSubset = xmlSAX2InternalSubset;
  sax.entityDecl = xmlSAX2EntityDecl;
  sax.getEntity = xmlSAX2GetEntity;
  sax.getParameterEntity = xmlSAX2GetParameterEntity;
  sax.startElementNs = startElement;
  sax.endElementNs = endElement;
  sax.characters = characters;
  sax.ignorableWhitespace = characters;
  sax.cdataBlock = characters;
  // Errors end the parse through the parser's well-formedness flag; nothing is printed.
  // (libxml2 2.12 made the error const.)
  sax.serror = [](void*, auto*) {};
  return sax;
}

struct ParserFreer {
  void operator()(xmlParserCtxt* parser) const {
    xmlFreeDoc(parser->myDoc);
    parser->myDoc = nullptr;
    xmlFreeParserCtxt(parser);
  }
};

}  // namespace

bool readXmlStream(std::FILE* file, XmlEvents& events) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { xmlInitParser(); });

  std::vector<char> piece(kPieceBytes);
  // The first bytes tell the parser the encoding.
  const size_t first = std::fread(piece.data(), 1, 4, file);
  xmlSAXHandler sax = handler();
  std::unique_ptr<xmlParserCtxt, ParserFreer> parser(
      xmlCreatePushParserCtxt(&sax, nullptr, piece.data(), static_cast<int>(first), nullptr));
  if (!parser) return false;
  Reading reading{events};
  parser->_private = &reading;
  // Offline and quiet; no DTD or external entity loaded.
  xmlCtxtUseOptions(parser.get(), XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  for (;;) {
    const size_t read = std::fread(piece.data(), 1, piece.size(), file);
    const bool last = read < piece.size();
    if (last && std::ferror(file)) return false;
    if (xmlParseChunk(parser.get(), piece.data(), static_cast<int>(read), last ? 1 : 0) != 0 ||
        parser->wellFormed == 0 || reading.tooDeep) {
      return false;
    }
    if (last) return true;
  }
}

}  // namespace lexora
