// The XDXF reader, and the packer on what it loads, on arbitrary file contents.
#include "reader_on_file.h"
#include "sources/xdxf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lexora::fuzz::readerOnFile(data, size, "xdxf", lexora::readXdxfDictionary,
                             lexora::fuzz::Refusal::Allowed);
  return 0;
}
