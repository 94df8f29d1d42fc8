#pragma once

#include "output_folders.h"

namespace linksift {

// Starts the toolkit, shows Form1 and runs until the window is closed; urls.txt
// goes where `placement` says. Without a display it prints why and how to get
// one, and returns 1.
int RunLinksift(int argc, char** argv, Placement placement);

}  // namespace linksift
