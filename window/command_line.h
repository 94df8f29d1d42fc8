#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace linksift {

// The window's exit codes.
inline constexpr int kExitWindowClosed = 0;
inline constexpr int kExitCannotStart = 1;
inline constexpr int kExitWrongCommandLine = 2;

// What the command line asks of the window program.
struct CommandLine {
  enum class Action {
    kShowWindow,  // with `file` to run at once, if given
    kHelp,
    kVersion,
    kWrong,  // `problem` says what, in one line
  };
  Action action = Action::kShowWindow;
  std::optional<std::filesystem::path> file;
  std::string problem;
};

// Reads the arguments after the program's name: --help, --version, `--`
// (what follows is a file name even if it starts with '-') and at most one
// FILE. '-' alone is a file name too. Every front end parses with it.
CommandLine ParseCommandLine(const std::vector<std::filesystem::path>& arguments);

// How to call the program, for --help: in English for a terminal on Linux,
// on Windows HelpBoxText().
std::string HelpText();
// The same in Russian for a message box, one line to a paragraph.
std::string HelpBoxText();
// "linksift VERSION", for --version.
std::string VersionText();
// The one line a wrong command line gets, with where to look for help.
std::string WrongCommandLineText(const std::string& problem);

}  // namespace linksift
