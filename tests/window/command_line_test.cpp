#include "command_line.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace linksift {
namespace {

using Action = CommandLine::Action;

TEST(ParseCommandLine, OptionsFileAndMistakes) {
  struct Case {
    std::vector<std::filesystem::path> arguments;
    Action action;
    std::string file;  // empty: none
    std::string problem;
  };
  const Case cases[] = {
      {{}, Action::kShowWindow, "", ""},
      {{"notes.txt"}, Action::kShowWindow, "notes.txt", ""},
      {{"/tmp/x\xff/in.txt"}, Action::kShowWindow, "/tmp/x\xff/in.txt", ""},
      {{"-"}, Action::kShowWindow, "-", ""},
      {{"--help"}, Action::kHelp, "", ""},
      {{"a.txt", "--version"}, Action::kVersion, "", ""},
      {{"--version", "--bogus"}, Action::kVersion, "", ""},
      {{"--", "--help"}, Action::kShowWindow, "--help", ""},
      {{"--", "-x", "--"}, Action::kWrong, "", "one FILE at most, not also '--'"},
      {{"--bogus"}, Action::kWrong, "", "unknown option '--bogus'"},
      {{"-h"}, Action::kHelp, "", ""},
      {{"-x"}, Action::kWrong, "", "unknown option '-x'"},
      {{"a.txt", "b.txt"}, Action::kWrong, "", "one FILE at most, not also 'b.txt'"},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.arguments);
    const std::string name = c.arguments.empty() ? "(none)" : c.arguments.front().string();
    EXPECT_EQ(line.action, c.action) << name;
    EXPECT_EQ(line.file ? line.file->string() : "", c.file) << name;
    EXPECT_EQ(line.problem, c.problem) << name;
  }
}

TEST(CommandLineTexts, NameTheVersionTheWayOutAndTheDriver) {
  // The version as the Windows version block writes it: major, two-digit
  // minor, four-digit revision.
  EXPECT_TRUE(
      std::regex_match(VersionText(), std::regex("linksift [0-9]+\\.[0-9]{2}\\.[0-9]{4}\n")))
      << VersionText();
  EXPECT_NE(HelpText().find("linksift-extract"), std::string::npos);
  EXPECT_TRUE(HelpText().starts_with("Usage: linksift [FILE]\n")) << HelpText();
  // The help box is Russian and leaves the wrapping to the box: no line
  // ends inside a sentence.
  const std::string box = HelpBoxText();
  EXPECT_TRUE(box.starts_with("Запуск: linksift.exe [ФАЙЛ]\n")) << box;
  EXPECT_NE(box.find("linksift-extract.exe"), std::string::npos);
  for (std::size_t start = 0, end; (end = box.find('\n', start)) != std::string::npos;
       start = end + 1) {
    const std::string line = box.substr(start, end - start);
    EXPECT_TRUE(line.empty() || line.ends_with('.') || line.ends_with(':') || line.ends_with(']'))
        << "wrapped: " << line;
  }
  const std::string wrong = WrongCommandLineText("unknown option '-x'");
  EXPECT_EQ(wrong.find('\n'), std::string::npos) << "one line";
  EXPECT_NE(wrong.find("--help"), std::string::npos);
}

}  // namespace
}  // namespace linksift
