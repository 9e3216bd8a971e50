// The file name of a dictionary's packed image in the handheld's store, made from the
// dictionary's name. (`lexora-cli pack` names its images after their input files instead,
// as gzip does.)
#pragma once

#include <string>
#include <string_view>

namespace lexora {

// Letters, digits, '-', '_', '.' (not leading) and the bytes of valid non-ASCII UTF-8 are
// kept; every other byte becomes %XX and the empty name becomes "%", so that distinct names
// never share a file, no name reaches outside its folder or makes a hidden file, and no
// character a file system refuses remains. ".lxp" is appended.
std::string packedImageFileName(std::string_view utf8Name);

}  // namespace lexora
