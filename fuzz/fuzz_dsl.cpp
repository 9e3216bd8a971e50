// The DSL reader, and the packer on what it loads, on arbitrary file contents.
#include "reader_on_file.h"
#include "sources/dsl_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lexora::fuzz::readerOnFile(data, size, "dsl", lexora::readDslDictionary);
  return 0;
}
