#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace linksift {

// A path's UTF-8 text, for messages. string() would give it in the system's
// code page on Windows.
std::string Utf8FromPath(const std::filesystem::path& path);

#ifdef _WIN32
// Texts are UTF-8; the system's "W" functions take and give UTF-16.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
#endif

}  // namespace linksift
