#include "cli/command_line.h"

#include <string_view>

#include "base/text_codec.h"
#include "platform/ansi_code_page.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

// Usage mistakes: the text, then the argument it is about (when there is one).
constexpr BilingualText kUnknownOption{u"未知选项：", u"unknown option "};
constexpr BilingualText kNotTaken{u"此命令不接受该选项：", u"this command does not take "};
constexpr BilingualText kNeedsValue{u"该选项需要一个值：", u"this option needs a value: "};
constexpr BilingualText kBadLanguage{u"--lang 只接受 zh 或 en，而不是：",
                                     u"--lang takes zh or en, not "};
constexpr BilingualText kUnknownCodePage{u"未知的代码页：", u"unknown code page: "};
constexpr BilingualText kNoCommand{u"未指定命令", u"no command given"};
constexpr BilingualText kUnknownCommand{u"未知命令：", u"unknown command "};
constexpr BilingualText kNeedsFile{u"需要至少一个文件：", u"at least one FILE is needed: "};
constexpr BilingualText kNeedsImage{u"需要至少一个压缩映像：", u"at least one IMAGE is needed: "};
constexpr BilingualText kOutputOrFolder{u"-o 与 --output-dir 只能选用其一",
                                        u"use either -o or --output-dir"};
constexpr BilingualText kOutputTakesOneFile{u"-o 只对应一个文件；多个文件请使用 --output-dir",
                                            u"-o takes one FILE; use --output-dir"};
constexpr BilingualText kNameTakesOneFile{u"--name 只对应一个文件", u"--name takes one FILE"};
constexpr BilingualText kEmptyName{u"--name 需要一个非空的名称",
                                   u"--name takes a name, not nothing"};
// A name that is not UTF-8 would reach the handheld with U+FFFD in place of its bytes, so
// two such names could become one dictionary.
constexpr BilingualText kNameNotUtf8{u"--name 需要 UTF-8 编码的名称",
                                     u"--name takes a name in UTF-8"};
constexpr BilingualText kYesOrNo{u"--yes 与 --no 只能选用其一", u"use either --yes or --no"};
constexpr BilingualText kQuietOrVerbose{u"--quiet 与 --verbose 只能选用其一",
                                        u"use either --quiet or --verbose"};
constexpr BilingualText kPasswordNeedsAnswers{
    u"--password-stdin 需要同时使用 --yes 或 --no：标准输入用于读取密码",
    u"--password-stdin needs --yes or --no: standard input holds the password"};

constexpr unsigned bit(Command c) {
  return 1u << static_cast<unsigned>(c);
}
constexpr unsigned kEvery = ~0u;

enum class Option {
  Help,
  Version,
  Lang,
  CodePage,
  Quiet,
  Verbose,
  Output,
  OutputDir,
  Force,
  Name,
  Device,
  Yes,
  No,
  PasswordStdin,
  MarkupAsText
};

struct OptionSpec {
  std::string_view longName;
  char shortName;  // 0 when none
  bool takesValue;
  unsigned commands;  // the commands that take it
  Option option;
};

constexpr OptionSpec kOptions[] = {
    {"help", 'h', false, kEvery, Option::Help},
    {"version", 'V', false, kEvery, Option::Version},
    {"lang", 0, true, kEvery, Option::Lang},
    {"ansi-code-page", 0, true, kEvery, Option::CodePage},
    {"quiet", 'q', false, kEvery, Option::Quiet},
    {"verbose", 'v', false, kEvery, Option::Verbose},
    {"output", 'o', true, bit(Command::Pack), Option::Output},
    {"output-dir", 0, true, bit(Command::Pack), Option::OutputDir},
    {"force", 'f', false, bit(Command::Pack), Option::Force},
    {"name", 0, true, bit(Command::Pack) | bit(Command::Send), Option::Name},
    {"device", 0, true, bit(Command::Send), Option::Device},
    {"yes", 'y', false, bit(Command::Send), Option::Yes},
    {"no", 0, false, bit(Command::Send), Option::No},
    {"password-stdin", 0, false, bit(Command::Send), Option::PasswordStdin},
    {"markup-as-text", 0, false, bit(Command::Pack) | bit(Command::Info) | bit(Command::Send),
     Option::MarkupAsText},
};

const OptionSpec* findOption(std::string_view arg) {
  for (const OptionSpec& known : kOptions) {
    if (arg.size() == 2 && arg[0] == '-' && known.shortName != 0 && arg[1] == known.shortName) {
      return &known;
    }
    if (arg.starts_with("--") && arg.substr(2) == known.longName) return &known;
  }
  return nullptr;
}

Command commandNamed(std::string_view word) {
  if (word == "pack") return Command::Pack;
  if (word == "info") return Command::Info;
  if (word == "inspect") return Command::Inspect;
  if (word == "send") return Command::Send;
  return Command::None;
}

std::string_view commandWord(Command command) {
  switch (command) {
    case Command::Pack:
      return "pack";
    case Command::Info:
      return "info";
    case Command::Inspect:
      return "inspect";
    case Command::Send:
      return "send";
    case Command::None:
      break;
  }
  return {};
}

// The mistakes a command line can have once every word is read.
const BilingualText* commandMistake(const CommandLine& line, bool yes, bool no, bool quiet,
                                    bool verbose) {
  if (quiet && verbose) return &kQuietOrVerbose;
  const size_t files = line.operands.size();
  if (line.name && line.name->empty()) return &kEmptyName;
  if (line.name && firstInvalidUtf8(*line.name) != std::string::npos) return &kNameNotUtf8;
  if (line.name && files > 1) return &kNameTakesOneFile;
  switch (line.command) {
    case Command::Pack:
      if (files == 0) return &kNeedsFile;
      if (line.output && line.outputDir) return &kOutputOrFolder;
      if (line.output && files > 1) return &kOutputTakesOneFile;
      return nullptr;
    case Command::Info:
      return files == 0 ? &kNeedsFile : nullptr;
    case Command::Inspect:
      return files == 0 ? &kNeedsImage : nullptr;
    case Command::Send:
      if (files == 0) return &kNeedsFile;
      if (yes && no) return &kYesOrNo;
      if (!yes && !no && line.passwordFromStdin) return &kPasswordNeedsAnswers;
      return nullptr;
    case Command::None:
      break;
  }
  return &kNoCommand;
}

}  // namespace

std::u16string ParsedCommandLine::error() const {
  if (!mistake) return {};
  return std::u16string(pick(*mistake)) + utf8ToUtf16(about);
}

ParsedCommandLine parseCommandLine(int argc, const char* const* argv) {
  ParsedCommandLine parsed;
  CommandLine& line = parsed.line;
  bool help = false, version = false, yes = false, no = false, quiet = false, verbose = false;
  bool optionsEnded = false, commandSeen = false;
  // Options may come before or after the command word, so which command takes an option is
  // checked once the command is known.
  struct Given {
    const OptionSpec* known;
    std::string word;
  };
  std::vector<Given> given;
  auto mistake = [&parsed](const BilingualText& text, std::string about) {
    if (parsed.mistake) return;  // the first one is reported
    parsed.mistake = &text;
    parsed.about = std::move(about);
  };

  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
      if (!commandSeen) {
        commandSeen = true;
        line.command = commandNamed(arg);
        if (line.command == Command::None) mistake(kUnknownCommand, arg);
        continue;
      }
      line.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // --option=value gives the value in the same word.
    std::optional<std::string> inlineValue;
    if (const size_t equals = arg.find('='); arg.starts_with("--") && equals != std::string::npos) {
      inlineValue = arg.substr(equals + 1);
      arg.resize(equals);
    }
    const OptionSpec* known = findOption(arg);
    if (!known || (inlineValue && !known->takesValue)) {
      mistake(kUnknownOption, arg);
      continue;
    }
    std::string value;
    if (known->takesValue) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        mistake(kNeedsValue, arg);
        continue;
      }
    }
    given.push_back({known, arg});
    switch (known->option) {
      case Option::Help:
        help = true;
        break;
      case Option::Version:
        version = true;
        break;
      case Option::Lang:
        if (value == "zh" || value == "en") {
          line.language = value == "zh" ? UiLanguage::Chinese : UiLanguage::English;
        } else {
          mistake(kBadLanguage, value);
        }
        break;
      case Option::CodePage:
        // Only tried here: the caller chooses it, once the whole line is read.
        if (AnsiCodePage::open(value)) {
          line.ansiCodePage = value;
        } else {
          mistake(kUnknownCodePage, value);
        }
        break;
      case Option::Quiet:
        quiet = true;
        line.detail = ConsoleUserInterface::Detail::Quiet;
        break;
      case Option::Verbose:
        verbose = true;
        line.detail = ConsoleUserInterface::Detail::Verbose;
        break;
      case Option::Output:
        line.output = value;
        break;
      case Option::OutputDir:
        line.outputDir = value;
        break;
      case Option::Force:
        line.force = true;
        break;
      case Option::Name:
        line.name = value;
        break;
      case Option::Device:
        line.device = value;
        break;
      case Option::Yes:
        yes = true;
        line.answers = ConsoleUserInterface::Answers::AlwaysYes;
        break;
      case Option::No:
        no = true;
        line.answers = ConsoleUserInterface::Answers::AlwaysNo;
        break;
      case Option::PasswordStdin:
        line.passwordFromStdin = true;
        break;
      case Option::MarkupAsText:
        line.markupAsText = true;
        break;
    }
  }

  if (help || version) {
    parsed.action = help ? ParsedCommandLine::Action::Help : ParsedCommandLine::Action::Version;
    return parsed;
  }
  if (line.command != Command::None) {
    for (const Given& g : given) {
      if ((g.known->commands & bit(line.command)) == 0) mistake(kNotTaken, g.word);
    }
  }
  if (!parsed.mistake) {
    if (const BilingualText* text = commandMistake(line, yes, no, quiet, verbose)) {
      const bool namesCommand = text == &kNeedsFile || text == &kNeedsImage;
      mistake(*text, namesCommand ? std::string(commandWord(line.command)) : std::string());
    }
  }
  if (parsed.mistake) parsed.action = ParsedCommandLine::Action::UsageError;
  return parsed;
}

}  // namespace lexora
