// The file name of a dictionary's packed image in the handheld's store, made from the
// dictionary's name. (`lexora-cli pack` names its images after their input files instead,
// as gzip does.)
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lexora {

// The longest file name the store gives an image: NAME_MAX (255 bytes) less the 8 bytes its
// temporary name adds (a leading '.' and a trailing ".XXXXXX"), so that the temporary file
// can be made wherever the image can.
inline constexpr size_t kMaxImageFileName = 247;

// Letters, digits, '-', '_', '.' (not leading) and the bytes of valid non-ASCII UTF-8 are
// kept; every other byte becomes %XX and the empty name becomes "%", so that distinct names
// never share a file, no name reaches outside its folder or makes a hidden file, and no
// character a file system refuses remains. ".lxp" is appended. A name whose file name would
// be longer than kMaxImageFileName is cut and marked with a hash of the whole name.
std::string packedImageFileName(std::string_view utf8Name);

}  // namespace lexora
