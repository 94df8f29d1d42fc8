#include "known_folder.h"

#include <memory>

namespace linksift {

std::filesystem::path KnownFolder(const KNOWNFOLDERID& id) {
  PWSTR folder = nullptr;
  const HRESULT result = ::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &folder);
  const std::unique_ptr<wchar_t, decltype(&::CoTaskMemFree)> owner(folder, &::CoTaskMemFree);
  if (FAILED(result) || folder == nullptr) return {};
  return std::filesystem::path(folder);
}

}  // namespace linksift
