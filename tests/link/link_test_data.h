// Real packed dictionaries for the link's tests, made by the packer itself.
#pragma once

#include <string>

#include "pack/packed_dictionary.h"

namespace lexora::test {

// `entries` entries "word<i>" with explanations long enough to fill several blocks.
PackedDictionary packedTestDictionary(std::u16string name, int entries);

}  // namespace lexora::test
