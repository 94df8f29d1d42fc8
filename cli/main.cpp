// linksift-extract INPUT OUTPUT: a developer's driver for scripts and benchmarks.
#include <cstdio>
#include <exception>

#include "extract.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: linksift-extract INPUT OUTPUT\n");
    return 2;
  }
  try {
    const linksift::LinkCount count = linksift::ExtractLinksFromFile(argv[1], argv[2]);
    std::printf("%llu\n", static_cast<unsigned long long>(count));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "linksift-extract: %s\n", e.what());
    return 1;
  }
}
