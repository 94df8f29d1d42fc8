#include "open_descriptors.h"

#include <system_error>

namespace linksift::testing_support {

int OpenDescriptors(const std::filesystem::path& file) {
  int count = 0;
  std::error_code ignored;  // a descriptor may close while we look
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    if (std::filesystem::read_symlink(entry.path(), ignored) == file) ++count;
  }
  return count;
}

}  // namespace linksift::testing_support
