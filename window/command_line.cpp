#include "command_line.h"

#include "utf16.h"
#include "version.h"

namespace linksift {
namespace {

CommandLine Only(CommandLine::Action action, std::string problem = {}) {
  CommandLine line;
  line.action = action;
  line.problem = std::move(problem);
  return line;
}

CommandLine Wrong(std::string problem) {
  return Only(CommandLine::Action::kWrong, std::move(problem));
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::filesystem::path>& arguments) {
  CommandLine line;
  bool options_ended = false;
  for (const std::filesystem::path& argument : arguments) {
    const std::string text = Utf8FromPath(argument);
    const bool option = !options_ended && text.size() > 1 && text.front() == '-';
    if (option && text == "--") {
      options_ended = true;
    } else if (option && (text == "--help" || text == "-h")) {
      return Only(CommandLine::Action::kHelp);
    } else if (option && text == "--version") {
      return Only(CommandLine::Action::kVersion);
    } else if (option) {
      return Wrong("unknown option '" + text + "'");
    } else if (line.file) {
      return Wrong("one FILE at most, not also '" + text + "'");
    } else {
      line.file = argument;
    }
  }
  return line;
}

namespace {

// How the program is called on this system.
#ifdef _WIN32
constexpr char kProgramName[] = "linksift.exe";
// A message box shows the help: no display to speak of.
constexpr char kWithoutWindow[] =
    "linksift-extract.exe INPUT OUTPUT does the same run without a window.\n";
#else
constexpr char kProgramName[] = "linksift";
constexpr char kWithoutWindow[] =
    "Without a display, linksift-extract INPUT OUTPUT does the same run.\n";
#endif

}  // namespace

std::string HelpText() {
  return std::string("Usage: ") + kProgramName +
         " [FILE]\n"
         "Opens a window with one button: choose a text file, and the first http:// link\n"
         "of each of its lines goes to urls.txt, beside the program or, where that folder\n"
         "cannot be written to, in the user's data folder. The window shows the count and\n"
         "the file's full path.\n"
         "With FILE, its links are taken at once, as if it had been chosen.\n"
         "\n" +
         kCommonOptionsHelp +
         "  --          end the options: what follows is a file name\n"
         "\n" +
         kWithoutWindow +
         "Exit status: 0 the window was closed, 1 it could not start,\n"
         "2 the command line was wrong.\n";
}

std::string VersionText() {
  return std::string("linksift ") + kVersionText + "\n";
}

std::string WrongCommandLineText(const std::string& problem) {
  return "linksift: " + problem + "; try '" + kProgramName + " --help'";
}

}  // namespace linksift
