#include "app/app_command_line.h"

#include <gtest/gtest.h>

namespace lexora {
namespace {

using Action = AppCommandLine::Action;

TEST(AppCommandLineTest, ActionsAndFilesForEachKindOfLine) {
  struct Case {
    std::vector<std::string> arguments;
    Action action;
    std::vector<std::string> files;
    std::string unknownOption;
  };
  const Case cases[] = {
      {{}, Action::Run, {}, ""},
      {{"a.txt", "b c.ifo"}, Action::Run, {"a.txt", "b c.ifo"}, ""},
      {{"--help"}, Action::Help, {}, ""},
      {{"a.txt", "-h"}, Action::Help, {}, ""},
      {{"-V"}, Action::Version, {}, ""},
      // A mistake does not hide a later --help, nor is a file after it kept.
      {{"-x", "a.txt", "--version"}, Action::Version, {}, ""},
      {{"a.txt", "--lang", "-y"}, Action::UsageError, {}, "--lang"},
      {{"-"}, Action::UsageError, {}, "-"},
      // After "--" nothing is an option, not even --help or a second "--".
      {{"--", "--help", "-x.txt", "--"}, Action::Run, {"--help", "-x.txt", "--"}, ""},
      {{"a.txt", "--", "-b.txt"}, Action::Run, {"a.txt", "-b.txt"}, ""},
      {{"-z", "--", "a.txt"}, Action::UsageError, {}, "-z"},
      {{""}, Action::Run, {""}, ""},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& argument : c.arguments) line += "[" + argument + "]";
    SCOPED_TRACE(line);
    const AppCommandLine parsed = parseAppCommandLine(c.arguments);
    EXPECT_EQ(parsed.action, c.action);
    std::vector<std::string> files;
    for (size_t index : parsed.files) files.push_back(c.arguments.at(index));
    EXPECT_EQ(files, c.files);
    EXPECT_EQ(parsed.unknownOption, c.unknownOption);
  }
}

}  // namespace
}  // namespace lexora
