#include "program_folders.h"

#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace linksift {
namespace {

// The program's own path, as bytes: a folder name need not be UTF-8.
std::filesystem::path ProgramPath(std::error_code& error) {
  std::string name(256, '\0');
  for (;;) {
    const ssize_t size = ::readlink("/proc/self/exe", name.data(), name.size());
    if (size < 0) {
      error.assign(errno, std::generic_category());
      return {};
    }
    if (static_cast<std::size_t>(size) < name.size()) {
      name.resize(static_cast<std::size_t>(size));
      return name;
    }
    name.resize(name.size() * 2);  // may have been cut: try again with more room
  }
}

// Only an absolute setting counts; a relative one is to be ignored.
std::filesystem::path AbsoluteFrom(const EnvironmentLookup& getenv, const char* variable) {
  const char* value = getenv(variable);
  if (value == nullptr || value[0] != '/') return {};
  return value;
}

std::filesystem::path UserDataFolder(const EnvironmentLookup& getenv) {
  std::filesystem::path data = AbsoluteFrom(getenv, "XDG_DATA_HOME");
  if (data.empty()) {
    const std::filesystem::path home = AbsoluteFrom(getenv, "HOME");
    if (home.empty()) return {};
    data = home / ".local" / "share";
  }
  return data / "linksift";
}

}  // namespace

OutputFolders LinuxOutputFolders(const EnvironmentLookup& getenv) {
  OutputFolders folders;
  const std::filesystem::path program = ProgramPath(folders.program_unknown);
  if (!folders.program_unknown) folders.program = program.parent_path();
  folders.user_data = UserDataFolder(getenv);
  return folders;
}

}  // namespace linksift
