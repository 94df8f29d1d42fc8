#pragma once

#include <windows.h>

#include <string>

namespace linksift {

// The directory that holds the running executable, UTF-8, as the system
// reports it (a drive's root keeps its trailing separator).
std::string ProgramDirectory();

// Shows Form1 and runs until the window is closed; returns the exit code.
int RunLinksift(HINSTANCE instance, int show);

}  // namespace linksift
