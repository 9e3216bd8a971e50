// XML events through libxml2's reader, which keeps only the nodes being read.
#include "platform/xml_stream.h"

#include <libxml/parser.h>
#include <libxml/xmlreader.h>

#include <limits>
#include <memory>
#include <mutex>

#include "base/text_codec.h"

namespace lexora {
namespace {

struct ReaderFreer {
  void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};

std::u16string_view text(const xmlChar* utf8, std::u16string& buffer) {
  buffer.clear();
  if (utf8 != nullptr) appendUtf16(buffer, reinterpret_cast<const char*>(utf8));
  return buffer;
}

}  // namespace

bool readXmlStream(std::string_view utf8, XmlEvents& events, const XmlParseOptions& options) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { xmlInitParser(); });
  if (utf8.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return false;

  // Strict and offline, as the document parser: no network, nothing printed.
  const int parseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  std::unique_ptr<xmlTextReader, ReaderFreer> reader(xmlReaderForMemory(
      utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", parseOptions));
  if (!reader) return false;
  std::u16string buffer;
  int status;
  while ((status = xmlTextReaderRead(reader.get())) == 1) {
    switch (xmlTextReaderNodeType(reader.get())) {
      case XML_READER_TYPE_ELEMENT:
        events.startElement(text(xmlTextReaderConstName(reader.get()), buffer));
        if (xmlTextReaderIsEmptyElement(reader.get()) == 1) events.endElement();
        break;
      case XML_READER_TYPE_END_ELEMENT:
        events.endElement();
        break;
      case XML_READER_TYPE_TEXT:
      case XML_READER_TYPE_CDATA:
        events.text(text(xmlTextReaderConstValue(reader.get()), buffer));
        break;
      case XML_READER_TYPE_WHITESPACE:
      case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
        if (options.keepWhiteSpace)
          events.text(text(xmlTextReaderConstValue(reader.get()), buffer));
        break;
      default:
        break;  // comments, processing instructions, the document type
    }
  }
  return status == 0;
}

}  // namespace lexora
