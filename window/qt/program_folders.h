#pragma once

#include "display_check.h"
#include "output_folders.h"

namespace linksift {

// Where urls.txt may go on Linux: the folder of the running program, read as
// bytes from /proc/self/exe, and $XDG_DATA_HOME/linksift (by default
// ~/.local/share/linksift) for when that folder cannot be written to.
OutputFolders LinuxOutputFolders(const EnvironmentLookup& getenv);

}  // namespace linksift
