// The floor under the XDXF reader: libxml2's SAX2 push parser over a file fed in the same
// 256 KiB pieces, with callbacks that do nothing. What the reader costs beyond this is ours.
//   lexora-bench-xml-floor FILE...
#include <libxml/parser.h>

#include <chrono>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  xmlInitParser();
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    const auto start = std::chrono::steady_clock::now();
    std::FILE* file = std::fopen(argv[i], "rb");
    if (file == nullptr) {
      std::perror(argv[i]);
      status = 1;
      continue;
    }
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    size_t elements = 0;
    sax.startElementNs = [](void* context, const xmlChar*, const xmlChar*, const xmlChar*, int,
                            const xmlChar**, int, int, const xmlChar**) {
      ++*static_cast<size_t*>(static_cast<xmlParserCtxt*>(context)->_private);
    };
    sax.endElementNs = [](void*, const xmlChar*, const xmlChar*, const xmlChar*) {};
    sax.characters = [](void*, const xmlChar*, int) {};
    sax.cdataBlock = sax.characters;
    sax.serror = [](void*, auto*) {};
    std::vector<char> piece(256 * 1024);
    const size_t first = std::fread(piece.data(), 1, 4, file);
    xmlParserCtxt* parser =
        xmlCreatePushParserCtxt(&sax, nullptr, piece.data(), static_cast<int>(first), argv[i]);
    parser->_private = &elements;
    xmlCtxtUseOptions(parser, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    bool ok = true;
    for (;;) {
      const size_t read = std::fread(piece.data(), 1, piece.size(), file);
      const bool last = read < piece.size();
      if (xmlParseChunk(parser, piece.data(), static_cast<int>(read), last ? 1 : 0) != 0) {
        ok = false;
        break;
      }
      if (last) break;
    }
    ok = ok && parser->wellFormed != 0;
    xmlFreeParserCtxt(parser);
    std::fclose(file);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %zu elements in %.3f s%s\n", argv[i], elements, seconds,
                ok ? "" : " (not well-formed)");
    if (!ok) status = 1;
  }
  return status;
}
