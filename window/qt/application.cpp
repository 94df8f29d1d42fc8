#include "application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "command_line.h"
#include "display_check.h"
#include "ending_signals_posix.h"
#include "extract.h"
#include "form1.h"
#include "program_folders.h"
#include "program_icon.h"
#include "version.h"

namespace linksift {
namespace {

const char* Environment(const char* name) {
  return std::getenv(name);
}

// Help and version need no display; both go to stdout, and one that cannot
// take them gets told why.
int Print(const char* what, const std::string& text) {
  errno = 0;
  if (std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0) return kExitWindowClosed;
  const char* reason = std::strerror(errno != 0 ? errno : EIO);
  std::fprintf(stderr, "linksift: cannot print the %s: %s\n", what, reason);
  return kExitCannotStart;
}

// The arguments Qt may see: none after "--", which are file names only.
int QtArgumentCount(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) return i;
  }
  return argc;
}

}  // namespace

bool InstallQtTranslations() {
  // The dialog's sizes, dates and file types too.
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(QLocale(QLocale::Russian, QLocale::Russia), "qtbase", "_",
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

void KeepNoSettings() {
  // Where no file, folder or lock file can be made: writes fail quietly.
  for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
    QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
    QSettings::setPath(format, QSettings::SystemScope, QStringLiteral("/dev/null"));
  }
}

int RunLinksift(int argc, char** argv, Placement placement) {
  const char* program = argc > 0 ? argv[0] : "linksift";
  // Arguments are bytes: a file name need not be UTF-8.
  const std::vector<std::filesystem::path> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const CommandLine line = ParseCommandLine(arguments);
  switch (line.action) {
    case CommandLine::Action::kHelp:
      return Print("help", HelpText());
    case CommandLine::Action::kVersion:
      return Print("version", VersionText());
    case CommandLine::Action::kWrong:
      std::fprintf(stderr, "%s\n", WrongCommandLineText(line.problem).c_str());
      return kExitWrongCommandLine;
    case CommandLine::Action::kShowWindow:
      break;
  }
  if (const auto message = MissingDisplayMessage(Environment, program)) {
    std::fprintf(stderr, "%s\n", message->c_str());
    return kExitCannotStart;
  }
  // A run writes through no descriptor but those the program was given;
  // the display's connection and the rest are its own.
  RecordGivenDescriptors(3);
  InstallEndingHandlers();
  int qt_argc = QtArgumentCount(argc, argv);
  QApplication app(qt_argc, argv);
  QCoreApplication::setApplicationName("Linksift");
  QCoreApplication::setApplicationVersion(kVersionText);
  // Docks and task bars find the desktop entry, and with it the icon, by this name.
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kApplicationId));
  QApplication::setWindowIcon(ProgramIcon());

  InstallQtTranslations();
  KeepNoSettings();

  OutputFolders folders = LinuxOutputFolders(Environment);
  folders.placement = placement;
  Form1 form(std::move(folders));
  form.show();
  // Without a window manager nobody else gives it the keyboard.
  form.activateWindow();
  if (line.file) form.OpenFileOnceShown(*line.file);
  return app.exec();
}

}  // namespace linksift
