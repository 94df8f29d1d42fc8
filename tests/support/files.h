#pragma once

#include <cstddef>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

namespace linksift::testing_support {

// Whole files as bytes; both throw when the file cannot be written or read.
void WriteFile(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFile(const std::filesystem::path& path);

// The names in a directory, to see that a run left nothing behind.
std::set<std::string> Names(const std::filesystem::path& directory);
// How many of a run's named temporaries are in `directory`.
std::size_t CountTemporaries(const std::filesystem::path& directory);

}  // namespace linksift::testing_support
