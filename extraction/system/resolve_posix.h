#pragma once

// Resolving an output's name, once, into what later steps work from.
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "file_io_os.h"
#include "handle_posix.h"

namespace linksift::os {

// What a name leads to, found once; every later step works from it.
struct Resolved {
  TargetKind kind = TargetKind::kMissing;
  int descriptor = -1;  // kDescriptor: the number of this process's descriptor
  Handle folder;        // kMissing, kFile, kDirectory: where the leaf is, pinned (O_PATH)
  std::string leaf;
  // kMissing, kFile, kDirectory, kUnreachableFolder: the file's name, as
  // given, or where links were followed, in the folder reached (the kernel's
  // name for it) or tried.
  std::filesystem::path tried;
  Handle handle;        // kDevice: the device, pipe or file itself (O_PATH)
  bool append = false;  // kDevice: a file reached through another process's descriptor
  struct stat existing = {};
};

// Follows links by hand, one leaf at a time from a pinned folder, so that a
// link to a file that does not exist yet still leads to where it belongs.
// The folders on the way are the kernel's to resolve, with its own checks. A
// link is followed only where the kernel would follow it for this user; a
// link in /proc is the kernel's to follow; a name that reaches one of this
// process's descriptors is refused unless the program was given it. A folder
// on the way that cannot be opened fails with the kind kUnreachableFolder.
std::error_code Resolve(const std::filesystem::path& path, Resolved& resolved);

}  // namespace linksift::os
