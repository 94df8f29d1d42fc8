#include "application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "display_check.h"
#include "form1.h"
#include "program_icon.h"
#include "version.h"

namespace linksift {

int RunLinksift(int argc, char** argv) {
  const char* program = argc > 0 ? argv[0] : "linksift";
  if (const auto message = MissingDisplayMessage(
          [](const char* name) -> const char* { return std::getenv(name); }, program)) {
    std::fprintf(stderr, "%s\n", message->c_str());
    return 1;
  }
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName("Linksift");
  QCoreApplication::setApplicationVersion(kVersionText);
  // Docks and task bars find the desktop entry, and with it the icon, by this name.
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kApplicationId));
  QApplication::setWindowIcon(ProgramIcon());

  // The dialog's own buttons and captions speak the user's language.
  QTranslator translator;
  if (translator.load(QLocale(), "qtbase", "_",
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(&translator);
  }

  Form1 form(QCoreApplication::applicationDirPath().toStdString());
  form.show();
  // Without a window manager nobody else gives it the keyboard.
  form.activateWindow();
  return app.exec();
}

}  // namespace linksift
