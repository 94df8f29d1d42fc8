// xpm_to_ico OUTPUT.ico INPUT.xpm...: makes the Windows icon from the XPM
// pictures, at build time, on the build machine.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ico_file.h"
#include "xpm_image.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: xpm_to_ico OUTPUT.ico INPUT.xpm...\n");
    return 2;
  }
  std::vector<linksift::XpmImage> images;
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) {
      std::fprintf(stderr, "xpm_to_ico: cannot read %s\n", argv[i]);
      return 1;
    }
    try {
      images.push_back(linksift::ParseXpm(text.str()));
    } catch (const linksift::XpmError& e) {
      std::fprintf(stderr, "xpm_to_ico: %s: %s\n", argv[i], e.what());
      return 1;
    }
  }
  try {
    const std::string icon = linksift::EncodeIco(images);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << icon;
    out.close();
    if (!out) {
      std::fprintf(stderr, "xpm_to_ico: cannot write %s\n", argv[1]);
      std::remove(argv[1]);
      return 1;
    }
  } catch (const linksift::XpmError& e) {
    std::fprintf(stderr, "xpm_to_ico: %s\n", e.what());
    return 1;
  }
  return 0;
}
