#include "app/app_command_line.h"

#include "base/text_codec.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

constexpr BilingualText kUsage{
    u"用法: lexora [文件...]\n"
    u"      lexora --help | --version\n"
    u"打开莱克索拉对话框，并以给出的文件（文本词典 *.txt、*.tab，StarDict 词典 *.ifo，\n"
    u"dictd 词典 *.index，DSL 词典 *.dsl、*.dsl.dz，XDXF 词典 *.xdxf，MDict 词典 *.mdx）\n"
    u"为所选文件。\n"
    u"  -h, --help     显示本帮助并退出\n"
    u"  -V, --version  显示版本和许可证并退出\n"
    u"  --             其后的每个参数都是文件，即使以 - 开头\n",
    u"Usage: lexora [FILE...]\n"
    u"       lexora --help | --version\n"
    u"Opens the Lexora dialog with the FILEs (text dictionaries *.txt, *.tab; StarDict *.ifo;\n"
    u"dictd *.index; DSL *.dsl, *.dsl.dz; XDXF *.xdxf; MDict *.mdx) as the selection.\n"
    u"  -h, --help     show this help and exit\n"
    u"  -V, --version  show the version and licence and exit\n"
    u"  --             every argument after it is a file, even one starting with -\n"};

constexpr BilingualText kUnknownOption{u"未知选项: ", u"unknown option: "};

}  // namespace

AppCommandLine parseAppCommandLine(const std::vector<std::string>& arguments) {
  AppCommandLine line;
  bool options = true;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!options || argument.empty() || argument.front() != '-') {
      line.files.push_back(i);
    } else if (argument == "--") {
      options = false;
    } else if (argument == "--help" || argument == "-h") {
      return AppCommandLine{AppCommandLine::Action::Help, {}, {}};
    } else if (argument == "--version" || argument == "-V") {
      return AppCommandLine{AppCommandLine::Action::Version, {}, {}};
    } else if (line.unknownOption.empty()) {
      // Keep reading: a --help further on still wins.
      line.unknownOption = argument;
    }
  }
  if (!line.unknownOption.empty()) {
    line.action = AppCommandLine::Action::UsageError;
    line.files.clear();
  }
  return line;
}

std::u16string appUsageText() {
  return std::u16string(pick(kUsage));
}

std::u16string appUsageMistake(const std::string& option) {
  return u"lexora: " + std::u16string(pick(kUnknownOption)) + utf8ToUtf16(option) + u"\n";
}

}  // namespace lexora
