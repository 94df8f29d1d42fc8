#pragma once

#include <windows.h>

#include "output_folders.h"

namespace linksift {

// Where urls.txt may go on Windows: the folder of the running executable, as
// the system reports it (a drive's root keeps its trailing separator), and
// %LOCALAPPDATA%\Linksift for when that folder cannot be written to.
OutputFolders WindowsOutputFolders();

// Reads the command line; --help and --version show a message box and return
// 0, a wrong command line one with the error and returns 2. Otherwise shows
// Form1, runs the command line's FILE if it has one, and returns once the
// window is closed. urls.txt goes where `placement` says.
int RunLinksift(HINSTANCE instance, int show, Placement placement);

}  // namespace linksift
