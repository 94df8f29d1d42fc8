// linksift-extract INPUT OUTPUT: a developer's driver for scripts and benchmarks.
#include <cstdio>
#include <exception>
#include <filesystem>

#include "extract.h"

namespace {

// Takes the arguments as the system gives them: bytes on POSIX, UTF-16 on
// Windows, where the narrow form would lose names outside the code page.
template <typename Char>
int Run(int argc, Char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: linksift-extract INPUT OUTPUT\n");
    return 2;
  }
  try {
    const linksift::LinkCount count = linksift::ExtractLinksFromFile(
        std::filesystem::path(argv[1]), std::filesystem::path(argv[2]));
    std::printf("%llu\n", static_cast<unsigned long long>(count));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "linksift-extract: %s\n", e.what());
    return 1;
  }
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  return Run(argc, argv);
}
#else
int main(int argc, char** argv) {
  return Run(argc, argv);
}
#endif
