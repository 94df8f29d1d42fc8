#include "font_fit.h"

#include <gtest/gtest.h>

#include <string>

namespace linksift {
namespace {

// One row of `size` pixels, each character `size` wide: no wrapping, so
// what fits is plain to see.
TextExtent OneRow(const std::string& text, int size) {
  return {static_cast<int>(text.size()) * size, size};
}

TEST(FontFit, TheLargestSizeAtWhichEveryTextFits) {
  struct Case {
    const char* name;
    TextExtent box;
    int expected;
  };
  // "abcd" and "ab" between 12 and 8: the longer one decides.
  const Case cases[] = {
      {"fits at the top", {100, 100}, 12},       {"fits at none: the smallest", {10, 100}, 8},
      {"a width just met fits", {40, 100}, 10},  {"one pixel short does not", {39, 100}, 9},
      {"the height decides too", {100, 11}, 11},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LargestFittingSize({"ab", "abcd"}, c.box, 12, 8, &OneRow), c.expected) << c.name;
  }
}

TEST(FontFit, ALongerTextShrinksToFourFifthsOfTheFittedSizeAtMost) {
  struct Case {
    const char* name;
    std::string text;
    int fitted;
    int expected;
  };
  const TextExtent box = {60, 100};
  const Case cases[] = {
      {"fits as fitted", "abcde", 12, 12},
      {"one size smaller", "abcdef", 12, 10},
      {"too long: four fifths, rounded up", std::string(20, 'a'), 12, 10},
      {"four fifths exactly", std::string(20, 'a'), 10, 8},
      {"never below one pixel", std::string(100, 'a'), 1, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShrunkSize(c.text, box, c.fitted, &OneRow), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace linksift
