#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace linksift {

struct XpmColor {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool transparent = false;  // "None"

  bool operator==(const XpmColor&) const = default;
};

// A picture read from XPM text: its colour table and, row by row from the
// top, an index into that table for every pixel.
struct XpmImage {
  int width = 0;
  int height = 0;
  std::vector<XpmColor> colors;
  std::vector<std::uint8_t> pixels;  // width * height entries

  const XpmColor& At(int x, int y) const {
    return colors[pixels[static_cast<std::size_t>(y * width + x)]];
  }
};

class XpmError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads an XPM 3 file (the C array form). Colours are "#RRGGBB" or "None";
// at most 256 of them. Throws XpmError saying what is wrong.
XpmImage ParseXpm(std::string_view text);

}  // namespace linksift
