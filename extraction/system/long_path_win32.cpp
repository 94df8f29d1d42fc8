#include "long_path_win32.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace linksift {
namespace {

// The name as the system would resolve it now: absolute, with backslashes,
// "." and ".." taken out. Empty when the system cannot resolve it.
std::wstring FullName(const std::wstring& name) {
  std::wstring full(name.size() + MAX_PATH, L'\0');
  for (;;) {
    const DWORD size =
        ::GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (size == 0) return {};
    if (size < full.size()) {
      full.resize(size);
      return full;
    }
    full.resize(size);  // The room it needs, its terminator included.
  }
}

bool HasDrive(std::wstring_view full) {
  return full.size() >= 3 && full[1] == L':' && full[2] == L'\\';
}

}  // namespace

std::filesystem::path ExtendedPath(const std::filesystem::path& path) {
  const std::wstring& name = path.native();
  // Already in the system's own form (\\?\, \\.\): taken as it is.
  if (name.starts_with(LR"(\\?\)") || name.starts_with(LR"(\\.\)")) return path;
  const std::wstring full = FullName(name);
  if (full.size() < MAX_PATH) return path;
  if (HasDrive(full)) return LR"(\\?\)" + full;
  if (full.starts_with(LR"(\\)") && !full.starts_with(LR"(\\?\)") &&
      !full.starts_with(LR"(\\.\)")) {
    return LR"(\\?\UNC\)" + full.substr(2);
  }
  return path;
}

}  // namespace linksift
