// What `lexora-cli --help` and `lexora-cli COMMAND --help` print.
#include "cli/command_line.h"

namespace lexora {
namespace {

constexpr BilingualText kProgramHelp{
    u"用法: lexora-cli [选项] 命令 参数...\n"
    u"命令:\n"
    u"  pack FILE... [-o OUT | --output-dir DIR] [--force] [--name NAME]\n"
    u"       [--markup-as-text]\n"
    u"      加载并压缩词典，写出压缩映像(.lxp)；-o - 写到标准输出\n"
    u"  info FILE... [--markup-as-text]\n"
    u"      显示词典名、词条数、块数和压缩后尺寸\n"
    u"  inspect IMAGE... [WORD...]\n"
    u"      检查压缩映像，或在其中查找单词\n"
    u"  send FILE... [--device ADDR] [--yes | --no] [--password-stdin] [--name NAME]\n"
    u"       [--markup-as-text]\n"
    u"      加载、压缩并发送词典到手机（Ctrl-C 停止）\n"
    u"适用于所有命令的选项:\n"
    u"  --lang zh|en            本次运行的界面语言（不保存）\n"
    u"  --ansi-code-page NAME   无字节顺序标记的文本所用的代码页（如 CP936、CP1252）\n"
    u"  -q, --quiet             不显示状态行（错误仍会显示）\n"
    u"  -v, --verbose           每个步骤各占一行，并显示更多细节\n"
    u"  -h, --help              显示帮助（命令之后：该命令的帮助）\n"
    u"  -V, --version           显示版本和许可证\n"
    u"状态和进度写到标准错误；命令的结果写到标准输出。\n"
    u"退出状态: 0 成功，1 有文件失败，2 命令行有误，3 无法打开到手机的通道。\n",
    u"Usage: lexora-cli [OPTIONS] COMMAND ARGUMENTS...\n"
    u"Commands:\n"
    u"  pack FILE... [-o OUT | --output-dir DIR] [--force] [--name NAME]\n"
    u"       [--markup-as-text]\n"
    u"      load and pack dictionaries, write packed images (.lxp); -o - writes to stdout\n"
    u"  info FILE... [--markup-as-text]\n"
    u"      show name, entries, blocks and packed size\n"
    u"  inspect IMAGE... [WORD...]\n"
    u"      check packed images, or look words up in them\n"
    u"  send FILE... [--device ADDR] [--yes | --no] [--password-stdin] [--name NAME]\n"
    u"       [--markup-as-text]\n"
    u"      load, pack and send dictionaries to the handheld (Ctrl-C stops)\n"
    u"Options for every command:\n"
    u"  --lang zh|en            interface language for this run (not stored)\n"
    u"  --ansi-code-page NAME   code page of text without a byte-order mark (CP936, CP1252, ...)\n"
    u"  -q, --quiet             no status lines (errors are still shown)\n"
    u"  -v, --verbose           every step on a line of its own, and more detail\n"
    u"  -h, --help              show this help (after a command: that command's help)\n"
    u"  -V, --version           show the version and the licence\n"
    u"Status and progress go to standard error; what a command produces to standard output.\n"
    u"Exit status: 0 success, 1 some file failed, 2 wrong command line, 3 no channel to the "
    u"handheld.\n"};

constexpr BilingualText kPackHelp{
    u"用法: lexora-cli pack FILE... [-o OUT | --output-dir DIR] [--force] [--name NAME]\n"
    u"加载并压缩每个词典，写出其压缩映像。默认写到当前文件夹，文件名取自输入文件名\n"
    u"（wn.ifo → wn.lxp）。\n"
    u"  -o, --output OUT        写到 OUT（只对应一个文件）；- 表示标准输出\n"
    u"  --output-dir DIR        写到 DIR 文件夹中\n"
    u"  -f, --force             覆盖已有的压缩映像；允许 -o - 写到终端\n"
    u"  --name NAME             映像中的词典名（默认取自词典本身；只对应一个文件）\n"
    u"  --markup-as-text        保留 StarDict 的 HTML(h) 和 XDXF(x) 字段，转为纯文本\n"
    u"适用于所有命令的选项见 lexora-cli --help。\n",
    u"Usage: lexora-cli pack FILE... [-o OUT | --output-dir DIR] [--force] [--name NAME]\n"
    u"Loads and packs each dictionary and writes its packed image, by default into the\n"
    u"current folder, named after the input file (wn.ifo -> wn.lxp).\n"
    u"  -o, --output OUT        write to OUT (one FILE only); - is standard output\n"
    u"  --output-dir DIR        write into the folder DIR\n"
    u"  -f, --force             replace existing images; let -o - write to a terminal\n"
    u"  --name NAME             the dictionary's name in the image (default: its own; one "
    u"FILE only)\n"
    u"  --markup-as-text        keep StarDict HTML (h) and XDXF (x) fields, as plain text\n"
    u"Options for every command: see lexora-cli --help.\n"};

constexpr BilingualText kInfoHelp{
    u"用法: lexora-cli info FILE... [--markup-as-text]\n"
    u"加载并压缩每个词典，在标准输出上显示词典名、词条数、块数和压缩后尺寸；不写任何文件。\n"
    u"  --markup-as-text        保留 StarDict 的 HTML(h) 和 XDXF(x) 字段，转为纯文本\n"
    u"适用于所有命令的选项见 lexora-cli --help。\n",
    u"Usage: lexora-cli info FILE... [--markup-as-text]\n"
    u"Loads and packs each dictionary and shows its name, entries, blocks and packed size on\n"
    u"standard output; writes no file.\n"
    u"  --markup-as-text        keep StarDict HTML (h) and XDXF (x) fields, as plain text\n"
    u"Options for every command: see lexora-cli --help.\n"};

constexpr BilingualText kInspectHelp{
    u"用法: lexora-cli inspect IMAGE... [WORD...]\n"
    u"像手机那样检查每个压缩映像；给出单词时，在映像中查找它们，每个结果先列出词头，\n"
    u"再列出释义。第一个参数是映像，紧随其后、以 .lxp 结尾的参数也是映像，其余是单词。\n"
    u"适用于所有命令的选项见 lexora-cli --help。\n",
    u"Usage: lexora-cli inspect IMAGE... [WORD...]\n"
    u"Checks each packed image as the handheld does; given words, looks them up instead and\n"
    u"prints each headword before its definition. The first argument is an image, and so is\n"
    u"each one right after it that ends in .lxp; the rest are words.\n"
    u"Options for every command: see lexora-cli --help.\n"};

constexpr BilingualText kSendHelp{
    u"用法: lexora-cli send FILE... [--device ADDR] [--yes | --no] [--password-stdin]\n"
    u"                  [--name NAME]\n"
    u"打开到手机的通道，然后逐个加载、压缩词典，询问是否按压缩后尺寸发送，并发送。\n"
    u"第一次 Ctrl-C 在下一个安全点停止，第二次立即退出。\n"
    u"  --device ADDR           手机（模拟器）的地址：unix:PATH 或 HOST:PORT\n"
    u"                          （默认取 [Link] device= 设置，再默认为模拟器的地址）\n"
    u"  -y, --yes               对每个“是否发送”问题回答“是”（空词典除外）\n"
    u"  --no                    对每个“是否发送”问题回答“否”\n"
    u"  --password-stdin        从标准输入读取手机密码，每次询问读一行\n"
    u"  --name NAME             手机上的词典名（默认取自词典本身；只对应一个文件）\n"
    u"  --markup-as-text        保留 StarDict 的 HTML(h) 和 XDXF(x) 字段，转为纯文本\n"
    u"适用于所有命令的选项见 lexora-cli --help。\n",
    u"Usage: lexora-cli send FILE... [--device ADDR] [--yes | --no] [--password-stdin]\n"
    u"                  [--name NAME]\n"
    u"Opens one channel to the handheld, then loads and packs each dictionary, asks whether\n"
    u"to send it at its packed size, and sends it. A first Ctrl-C stops at the next safe\n"
    u"point, a second quits at once.\n"
    u"  --device ADDR           where the handheld (emulator) listens: unix:PATH or HOST:PORT\n"
    u"                          (default: the [Link] device= setting, else the emulator's)\n"
    u"  -y, --yes               answer every send question Yes (never for an empty one)\n"
    u"  --no                    answer every send question No\n"
    u"  --password-stdin        read the handheld's password from standard input, a line a "
    u"time\n"
    u"  --name NAME             the dictionary's name on the handheld (default: its own; one "
    u"FILE only)\n"
    u"  --markup-as-text        keep StarDict HTML (h) and XDXF (x) fields, as plain text\n"
    u"Options for every command: see lexora-cli --help.\n"};

constexpr std::u16string_view kDeviceInUsage = u"[--device ADDR] ";
constexpr std::u16string_view kDeviceOptionLine = u"  --device ";
// Where an option's description starts, and its continuation lines with it.
constexpr size_t kDescriptionColumn = 26;

const BilingualText& helpFor(Command command) {
  switch (command) {
    case Command::Pack:
      return kPackHelp;
    case Command::Info:
      return kInfoHelp;
    case Command::Inspect:
      return kInspectHelp;
    case Command::Send:
      return kSendHelp;
    case Command::None:
      break;
  }
  return kProgramHelp;
}

// `help` without --device: its mention in the usage lines, its own line and the lines that
// continue its description.
std::u16string withoutDeviceOption(std::u16string_view help) {
  const std::u16string continuation(kDescriptionColumn, u' ');
  std::u16string result;
  bool inDeviceOption = false;
  while (!help.empty()) {
    const size_t lineEnd = help.find(u'\n');
    const size_t length = lineEnd == std::u16string_view::npos ? help.size() : lineEnd + 1;
    std::u16string line(help.substr(0, length));
    help.remove_prefix(length);
    if (line.starts_with(kDeviceOptionLine)) {
      inDeviceOption = true;
      continue;
    }
    if (inDeviceOption && line.starts_with(continuation)) continue;
    inDeviceOption = false;
    if (const size_t at = line.find(kDeviceInUsage); at != std::u16string::npos) {
      line.erase(at, kDeviceInUsage.size());
    }
    result += line;
  }
  return result;
}

}  // namespace

std::u16string helpText(Command command, bool deviceOption) {
  const std::u16string_view help = pick(helpFor(command));
  return deviceOption ? std::u16string(help) : withoutDeviceOption(help);
}

}  // namespace lexora
