#pragma once

#include <filesystem>

namespace linksift {

// The name to hand the system for `path`. A name the system takes on any
// Windows stays as it is; one whose full form reaches MAX_PATH becomes that
// full form behind the \\?\ prefix (\\?\UNC\ for a network share), which
// lifts the limit whether or not long paths are enabled on the machine.
std::filesystem::path ExtendedPath(const std::filesystem::path& path);

}  // namespace linksift
