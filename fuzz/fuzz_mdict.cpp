// The MDict reader, and the packer on what it loads, on arbitrary file contents: a file it
// cannot read it may refuse, but never crash on or hang over.
#include "reader_on_file.h"
#include "sources/mdict_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lexora::fuzz::readerOnFile(data, size, "mdx", lexora::readMdictDictionary,
                             lexora::fuzz::Refusal::Allowed);
  return 0;
}
