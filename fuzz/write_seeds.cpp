// Writes the scanner tests' cases into a folder as the fuzzer's first inputs:
// each stream behind the two bytes of block size that the fuzzer reads, at a
// few block sizes.
#include <cstdio>
#include <fstream>
#include <string>

#include "stream_cases.h"

int main(int argc, char** argv) {
  using namespace linksift;
  using namespace linksift::testing_support;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  int written = 0;
  const auto write = [&](const std::string& name, const std::string& stream) {
    for (const unsigned block : {1u, 2u, 7u, 64u, 4096u}) {
      const unsigned size = block - 1;
      std::ofstream file(folder + "/" + name + "-" + std::to_string(block), std::ios::binary);
      file << static_cast<char>(size & 0xFF) << static_cast<char>(size >> 8) << stream;
      if (!file.flush()) {
        std::fprintf(stderr, "cannot write into %s\n", folder.c_str());
        return false;
      }
      ++written;
    }
    return true;
  };
  for (const StreamCase& c : kStreamCases) {
    if (!write("bytes-" + c.name, c.input)) return 1;
  }
  for (const StreamCase& c : kUtf16ByteCases) {
    if (!write("utf16-" + c.name, c.input)) return 1;
  }
  for (const Utf16Case& c : kUtf16Cases) {
    if (!write("le-" + c.name, Utf16Stream(c.text, ByteOrder::kLittleEndian)) ||
        !write("be-" + c.name, Utf16Stream(c.text, ByteOrder::kBigEndian))) {
      return 1;
    }
  }
  std::printf("%d seeds in %s\n", written, folder.c_str());
  return 0;
}
