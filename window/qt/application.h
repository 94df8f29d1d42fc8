#pragma once

#include "output_folders.h"

namespace linksift {

// Starts the toolkit, shows Form1 and runs until the window is closed; urls.txt
// goes where `placement` says. Without a display it prints why and how to get
// one, and returns 1.
int RunLinksift(int argc, char** argv, Placement placement);

// Qt's own texts (the dialog, the menus, the boxes' buttons) and its
// numbers and dates in Russian, as the window speaks, whatever the locale;
// false, and English texts, where they are missing. Once the application
// exists.
bool InstallQtTranslations();

// The program keeps no settings: what Qt would keep (the file dialog's
// history, in QtProject.conf) goes nowhere. Before the first dialog.
void KeepNoSettings();

}  // namespace linksift
