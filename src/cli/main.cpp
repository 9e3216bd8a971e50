// lexora-cli: the transfer job and its tools, without a window.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/ansi_code_page.h"
#include "platform/application.h"
#include "platform/console.h"
#include "platform/text_codec.h"
#include "platform/ui_language.h"

using namespace lexora;

namespace {

constexpr BilingualText kUsage{
    u"用法: lexora-cli 命令 [选项] 参数...\n"
    u"命令:\n"
    u"  pack FILE... [-o OUT | --output-dir DIR]  加载并压缩词典，写出压缩映像(.lxp)\n"
    u"  info FILE...                              显示词典名、词条数、块数和压缩后尺寸\n"
    u"  inspect IMAGE [WORD...]                   检查压缩映像，或查找单词\n"
    u"  send FILE... [--device ADDR] [--yes | --no] [--password-stdin]\n"
    u"                                            加载、压缩并发送词典到手机（Ctrl-C 停止）\n"
    u"选项:\n"
    u"  --lang zh|en            本次运行的界面语言（不保存）\n"
    u"  --ansi-code-page NAME   无字节顺序标记的文本所用的代码页（如 CP936、CP1252）\n"
    u"  --device ADDR           手机（模拟器）的地址：unix:PATH 或 HOST:PORT\n"
    u"  --yes, --no             对每个“是否发送”问题自动回答\n"
    u"  --password-stdin        从标准输入读取手机密码\n"
    u"  --help, --version\n",
    u"Usage: lexora-cli COMMAND [OPTIONS] ARGUMENTS...\n"
    u"Commands:\n"
    u"  pack FILE... [-o OUT | --output-dir DIR]  load and pack dictionaries, write packed images "
    u"(.lxp)\n"
    u"  info FILE...                              show name, entries, blocks and packed size\n"
    u"  inspect IMAGE [WORD...]                   check a packed image, or look words up in it\n"
    u"  send FILE... [--device ADDR] [--yes | --no] [--password-stdin]\n"
    u"                                            load, pack and send dictionaries (Ctrl-C stops)\n"
    u"Options:\n"
    u"  --lang zh|en            interface language for this run (not stored)\n"
    u"  --ansi-code-page NAME   code page of text without a byte-order mark (CP936, CP1252, ...)\n"
    u"  --device ADDR           where the handheld (emulator) listens: unix:PATH or HOST:PORT\n"
    u"  --yes, --no             answer every send question Yes, or No\n"
    u"  --password-stdin        read the handheld's password from standard input\n"
    u"  --help, --version\n"};

// Output lost on a full disk or a closed pipe must not end in a success.
constexpr BilingualText kOutputLost{u"写入标准输出失败：", u"Writing to standard output failed: "};

int usageError(const std::string& what) {
  std::fprintf(stderr, "lexora-cli: %s\n%s", what.c_str(), utf16ToUtf8(kUsage.pick()).c_str());
  return kExitUsage;
}

// Everything a command printed is flushed here, so that a failed write (a full device, a
// closed pipe) turns the exit status into a failure even when the command itself succeeded.
int finishOutput(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    const int error = errno;
    std::fprintf(stderr, "lexora-cli: %s%s\n", utf16ToUtf8(kOutputLost.pick()).c_str(),
                 std::strerror(error != 0 ? error : EIO));
    return status == kExitOk ? kExitFailed : status;
  }
  return status;
}

int runCommand(const std::vector<std::string>& arguments) {
  setApplicationName("Lexora");  // shares the stored language choice with the desktop program
  std::string command;
  CommandLine line;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= arguments.size()) return std::nullopt;
      return arguments[++i];
    };
    if (arg == "--help" || arg == "-h") {
      std::fputs(utf16ToUtf8(kUsage.pick()).c_str(), stdout);
      return kExitOk;
    } else if (arg == "--version") {
      std::printf("lexora-cli %s\n", LEXORA_VERSION);
      return kExitOk;
    } else if (arg == "--lang") {
      const auto v = value();
      if (!v || (*v != "zh" && *v != "en")) return usageError("--lang takes zh or en");
      setUiLanguageForRun(*v == "zh" ? kLanguageChinese : kLanguageEnglish);
    } else if (arg == "--ansi-code-page") {
      const auto v = value();
      if (!v) return usageError("--ansi-code-page takes a code page name");
      if (!chooseAnsiCodePage(*v)) return usageError("unknown code page: " + *v);
    } else if (arg == "-o" || arg == "--output") {
      if (!(line.output = value())) return usageError("-o takes a file name");
    } else if (arg == "--output-dir") {
      if (!(line.outputDir = value())) return usageError("--output-dir takes a folder");
    } else if (arg == "--device") {
      if (!(line.device = value())) return usageError("--device takes an address");
    } else if (arg == "--yes" || arg == "-y") {
      line.answers = ConsoleUserInterface::Answers::AlwaysYes;
    } else if (arg == "--password-stdin") {
      line.passwordFromStdin = true;
    } else if (arg == "--no") {
      line.answers = ConsoleUserInterface::Answers::AlwaysNo;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usageError("unknown option " + arg);
    } else if (command.empty()) {
      command = arg;
    } else {
      line.operands.push_back(arg);
    }
  }

  if (command == "pack") {
    if (line.operands.empty()) return usageError("pack needs at least one FILE");
    if (line.output && line.outputDir) return usageError("use either -o or --output-dir");
    if (line.output && line.operands.size() > 1)
      return usageError("-o takes one FILE; use --output-dir");
    return packCommand(line);
  }
  if (command == "send") {
    if (line.answers == ConsoleUserInterface::Answers::Ask && line.passwordFromStdin) {
      return usageError("--password-stdin needs --yes or --no: standard input holds the password");
    }
    return sendCommand(line);
  }
  if (command == "info") {
    if (line.operands.empty()) return usageError("info needs at least one FILE");
    return infoCommand(line);
  }
  if (command == "inspect") {
    if (line.operands.empty()) return usageError("inspect needs an IMAGE");
    return inspectCommand(line);
  }
  return usageError(command.empty() ? "no command given" : "unknown command " + command);
}

}  // namespace

int main(int argc, char** argv) {
  prepareConsole();
  return finishOutput(runCommand(commandLineArguments(argc, argv)));
}
