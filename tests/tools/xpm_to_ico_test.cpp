#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "ico_file.h"
#include "xpm_image.h"

namespace linksift {
namespace {

std::string Xpm(const std::string& values, const std::string& body) {
  return "/* XPM */\nstatic const char* const x[] = {\n\"" + values + "\",\n" + body + "};\n";
}

unsigned Word(const std::string& bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

std::uint32_t Dword(const std::string& bytes, std::size_t at) {
  return Word(bytes, at) | static_cast<std::uint32_t>(Word(bytes, at + 2)) << 16;
}

TEST(ParseXpm, ReadsColoursAndPixelsRowByRow) {
  const XpmImage image = ParseXpm(Xpm("3 2 3 1", R"("  c None",
". c #102030",
"w c #FFFFFF",
". w",
"ww.",
)"));
  ASSERT_EQ(image.width, 3);
  ASSERT_EQ(image.height, 2);
  EXPECT_EQ(image.At(0, 0), (XpmColor{0x10, 0x20, 0x30, false}));
  EXPECT_TRUE(image.At(1, 0).transparent);
  EXPECT_EQ(image.At(2, 0), (XpmColor{0xff, 0xff, 0xff, false}));
  EXPECT_EQ(image.At(2, 1), image.At(0, 0));
}

struct BadXpm {
  std::string name;
  std::string text;
};

class ParseXpmRejects : public testing::TestWithParam<BadXpm> {};

TEST_P(ParseXpmRejects, WithAnError) {
  EXPECT_THROW(ParseXpm(GetParam().text), XpmError);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ParseXpmRejects,
    testing::Values(BadXpm{"NoStrings", "/* XPM */"}, BadXpm{"ShortValues", Xpm("2 2 1", "")},
                    BadXpm{"ZeroWidth", Xpm("0 1 1 1", "\". c #000000\",\n\"\",\n")},
                    BadXpm{"MissingRow", Xpm("1 2 1 1", "\". c #000000\",\n\".\",\n")},
                    BadXpm{"ShortRow", Xpm("2 1 1 1", "\". c #000000\",\n\".\",\n")},
                    BadXpm{"UnknownKey", Xpm("1 1 1 1", "\". c #000000\",\n\"x\",\n")},
                    BadXpm{"NamedColour", Xpm("1 1 1 1", "\". c black\",\n\".\",\n")},
                    BadXpm{"NoColourVisual", Xpm("1 1 1 1", "\". m #000000\",\n\".\",\n")},
                    BadXpm{"UnterminatedString", "\"1 1 1 1"}),
    [](const auto& info) { return info.param.name; });

TEST(EncodeIco, StoresFourBitPixelsBottomUpWithATransparencyMask) {
  const XpmImage image = ParseXpm(Xpm("3 2 3 1", R"("  c None",
". c #102030",
"w c #FFFFFF",
". w",
"ww.",
)"));
  const std::string ico = EncodeIco({image});
  // Directory: reserved, type 1 (icon), one entry.
  EXPECT_EQ(Word(ico, 0), 0u);
  EXPECT_EQ(Word(ico, 2), 1u);
  EXPECT_EQ(Word(ico, 4), 1u);
  // Entry: 3x2, 16 colours, 1 plane, 4 bits, size and offset.
  EXPECT_EQ(ico[6], 3);
  EXPECT_EQ(ico[7], 2);
  EXPECT_EQ(ico[8], 16);
  EXPECT_EQ(Word(ico, 10), 1u);
  EXPECT_EQ(Word(ico, 12), 4u);
  const std::uint32_t size = Dword(ico, 14);
  const std::uint32_t offset = Dword(ico, 18);
  EXPECT_EQ(offset, 22u);
  // Header 40, palette 64, colour rows 2 x 4, mask rows 2 x 4.
  ASSERT_EQ(size, 40u + 64u + 8u + 8u);
  ASSERT_EQ(ico.size(), offset + size);
  EXPECT_EQ(Dword(ico, offset + 8), 4u);  // height counts colours and mask
  // Opaque colours in table order: #102030 is entry 0, white entry 1 (BGR0).
  EXPECT_EQ(ico.substr(offset + 40, 8), std::string("\x30\x20\x10\x00\xff\xff\xff\x00", 8));
  // Bottom row first: "ww." then ". w"; two pixels a byte, high nibble first.
  const std::size_t pixels = offset + 40 + 64;
  EXPECT_EQ(ico.substr(pixels, 2), std::string("\x11\x00", 2));
  EXPECT_EQ(ico.substr(pixels + 4, 2), std::string("\x00\x10", 2));
  // Mask: only the middle pixel of the top row is transparent.
  const std::size_t mask = pixels + 8;
  EXPECT_EQ(static_cast<unsigned char>(ico[mask]), 0x00);
  EXPECT_EQ(static_cast<unsigned char>(ico[mask + 4]), 0x40);
}

TEST(EncodeIco, RefusesMoreThanSixteenOpaqueColours) {
  std::string colours;
  std::string row;
  for (int i = 0; i < 17; ++i) {
    const char key = static_cast<char>('a' + i);
    colours += std::string("\"") + key + " c #0000" + (i < 10 ? "0" : "1") +
               std::to_string(i % 10) + "\",\n";
    row += key;
  }
  const XpmImage image = ParseXpm(Xpm("17 1 17 1", colours + "\"" + row + "\",\n"));
  EXPECT_THROW(EncodeIco({image}), XpmError);
}

// The program's own pictures: 32x32 and 16x16 in 16 colours at most.
TEST(EncodeIco, TakesTheProgramsPictures) {
  std::vector<XpmImage> images;
  for (const char* name : {"linksift_32.xpm", "linksift_16.xpm"}) {
    std::ostringstream text;
    text << std::ifstream(std::string(LINKSIFT_RESOURCES_DIR) + "/" + name).rdbuf();
    images.push_back(ParseXpm(text.str()));
  }
  EXPECT_EQ(images[0].width, 32);
  EXPECT_EQ(images[1].width, 16);
  const std::string ico = EncodeIco(images);
  EXPECT_EQ(Word(ico, 4), 2u);
  EXPECT_EQ(ico[6], 32);
  EXPECT_EQ(ico[6 + 16], 16);
}

}  // namespace
}  // namespace linksift
