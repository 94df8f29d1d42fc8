#pragma once

#include <filesystem>

namespace linksift::testing_support {

// How many descriptors of this process are open on `file`.
int OpenDescriptors(const std::filesystem::path& file);

}  // namespace linksift::testing_support
