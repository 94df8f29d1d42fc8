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
#else
constexpr char kProgramName[] = "linksift";
#endif

}  // namespace

std::string HelpText() {
#ifdef _WIN32
  // A message box shows it: no terminal to speak of.
  return HelpBoxText();
#else
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
         "\n"
         "Without a display, linksift-extract INPUT OUTPUT does the same run.\n"
         "Exit status: 0 the window was closed, 1 it could not start,\n"
         "2 the command line was wrong.\n";
#endif
}

std::string HelpBoxText() {
  // One line a paragraph: the box wraps them to its width.
  return "Запуск: linksift.exe [ФАЙЛ]\n"
         "\n"
         "Открывает окно с одной кнопкой: выберите текстовый файл, и первая ссылка http:// "
         "из каждой его строки попадёт в файл urls.txt рядом с программой или, если в эту "
         "папку писать нельзя, в папку данных пользователя. Окно покажет число ссылок и "
         "полный путь к файлу.\n"
         "С ФАЙЛОМ ссылки берутся сразу, как если бы он был выбран.\n"
         "\n"
         "Параметры:\n"
         "-h, --help — показать эту справку.\n"
         "--version — показать версию.\n"
         "-- — конец параметров: дальше идёт имя файла.\n"
         "\n"
         "Без окна то же делает linksift-extract.exe ВХОДНОЙ_ФАЙЛ ВЫХОДНОЙ_ФАЙЛ.\n"
         "\n"
         "Код завершения: 0 — окно закрыто, 1 — программа не смогла запуститься, 2 — "
         "неверная командная строка.\n";
}

std::string VersionText() {
  return std::string("linksift ") + kVersionText + "\n";
}

std::string WrongCommandLineText(const std::string& problem) {
  return "linksift: " + problem + "; try '" + kProgramName + " --help'";
}

}  // namespace linksift
