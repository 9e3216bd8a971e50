#include "platform/program_version.h"

#include "base/text_codec.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

constexpr BilingualText kLicence{
    u"本程序是自由软件，依 MIT 许可证发布（见 LICENSE 文件），不提供任何担保。",
    u"This is free software under the MIT License (see the LICENSE file); there is NO "
    u"WARRANTY."};

}  // namespace

std::string programVersionText(std::string_view program) {
  return std::string(program) + " " + LEXORA_VERSION +
         "\nCopyright (c) 2026 The Lexora developers\n" + utf16ToUtf8(pick(kLicence)) + "\n";
}

}  // namespace lexora
