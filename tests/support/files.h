#pragma once

#include <cstddef>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

namespace linksift::testing_support {

// A path from its UTF-8 text, as the tests write names. std::filesystem::path
// would read a narrow string in the system's code page on Windows.
std::filesystem::path PathFromUtf8(std::string_view utf8);

// Whole files as bytes; both throw when the file cannot be written or read.
void WriteFile(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFile(const std::filesystem::path& path);

// The names in a directory, to see that a run left nothing behind.
std::set<std::string> Names(const std::filesystem::path& directory);
// How many of a run's named temporaries are in `directory`.
std::size_t CountTemporaries(const std::filesystem::path& directory);

}  // namespace linksift::testing_support
