#include "ico_file.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace linksift {
namespace {

constexpr int kPaletteSize = 16;
constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kHeaderSize = 40;  // BITMAPINFOHEADER

void Put16(std::string& out, unsigned value) {
  out.push_back(static_cast<char>(value & 0xff));
  out.push_back(static_cast<char>((value >> 8) & 0xff));
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xffff);
  Put16(out, value >> 16);
}

// Bitmap rows are padded to whole 32-bit words.
std::size_t RowBytes(int width, int bits_per_pixel) {
  return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits_per_pixel) + 31) / 32 * 4;
}

// Index into the 16-entry palette for every XPM colour; transparent ones get 0.
std::array<std::uint8_t, 256> PaletteIndices(const XpmImage& image, std::string& palette) {
  std::array<std::uint8_t, 256> index{};
  int used = 0;
  for (std::size_t i = 0; i < image.colors.size(); ++i) {
    const XpmColor& color = image.colors[i];
    if (color.transparent) continue;
    if (used == kPaletteSize) throw XpmError("more than 16 opaque colours");
    palette += {static_cast<char>(color.blue), static_cast<char>(color.green),
                static_cast<char>(color.red), '\0'};
    index[i] = static_cast<std::uint8_t>(used++);
  }
  palette.resize(kPaletteSize * 4, '\0');
  return index;
}

// The image as stored in the file: header, palette, colour rows and mask
// rows, both bottom-up.
std::string EncodeImage(const XpmImage& image) {
  std::string palette;
  const auto index = PaletteIndices(image, palette);
  const std::size_t color_row = RowBytes(image.width, 4);
  const std::size_t mask_row = RowBytes(image.width, 1);
  const auto rows = static_cast<std::size_t>(image.height);
  std::string colors(color_row * rows, '\0');
  std::string mask(mask_row * rows, '\0');
  for (int y = 0; y < image.height; ++y) {
    const std::size_t row = rows - 1 - static_cast<std::size_t>(y);
    for (int x = 0; x < image.width; ++x) {
      const auto col = static_cast<std::size_t>(x);
      const std::uint8_t key = image.pixels[static_cast<std::size_t>(y * image.width + x)];
      if (image.colors[key].transparent) {
        mask[row * mask_row + col / 8] |= static_cast<char>(0x80 >> (col % 8));
      } else {
        const int shift = x % 2 == 0 ? 4 : 0;
        colors[row * color_row + col / 2] |= static_cast<char>(index[key] << shift);
      }
    }
  }
  std::string out;
  Put32(out, kHeaderSize);
  Put32(out, static_cast<std::uint32_t>(image.width));
  Put32(out, static_cast<std::uint32_t>(image.height * 2));  // colours and mask together
  Put16(out, 1);                                             // planes
  Put16(out, 4);                                             // bits per pixel
  Put32(out, 0);                                             // no compression
  Put32(out, static_cast<std::uint32_t>(colors.size() + mask.size()));
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, kPaletteSize);
  Put32(out, 0);
  return out + palette + colors + mask;
}

}  // namespace

std::string EncodeIco(const std::vector<XpmImage>& images) {
  std::string directory;
  Put16(directory, 0);
  Put16(directory, 1);  // an icon, not a cursor
  Put16(directory, static_cast<unsigned>(images.size()));
  std::string data;
  std::size_t offset = kDirectorySize + kEntrySize * images.size();
  for (const XpmImage& image : images) {
    if (image.width > 256 || image.height > 256) throw XpmError("icons are at most 256x256");
    const std::string encoded = EncodeImage(image);
    directory.push_back(static_cast<char>(image.width % 256));  // 0 stands for 256
    directory.push_back(static_cast<char>(image.height % 256));
    directory.push_back(static_cast<char>(kPaletteSize));
    directory.push_back('\0');
    Put16(directory, 1);
    Put16(directory, 4);
    Put32(directory, static_cast<std::uint32_t>(encoded.size()));
    Put32(directory, static_cast<std::uint32_t>(offset));
    offset += encoded.size();
    data += encoded;
  }
  return directory + data;
}

}  // namespace linksift
