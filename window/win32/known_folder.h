#pragma once

#include <windows.h>

#include <shlobj.h>

#include <filesystem>

namespace linksift {

// The user's folder of that kind (Documents, local application data), or
// an empty path when the system cannot say.
std::filesystem::path KnownFolder(const KNOWNFOLDERID& id);

}  // namespace linksift
