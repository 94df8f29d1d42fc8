#include "font_fit.h"

#include <algorithm>

#include "layout.h"

namespace linksift {

int LargestFittingSize(std::initializer_list<std::string> texts, TextExtent box, int largest,
                       int smallest, const MeasureText& measure) {
  const auto fits_at = [&](int size) {
    return std::all_of(texts.begin(), texts.end(),
                       [&](const std::string& text) { return FitsIn(measure(text, size), box); });
  };
  int size = largest;
  while (size > smallest && !fits_at(size)) --size;
  return std::max(size, smallest);
}

int ShrunkSize(const std::string& text, TextExtent box, int fitted, const MeasureText& measure) {
  // Rounded up: never below the floor (12 pixels would go down to 9, 75%).
  const int smallest = std::max(1, (fitted * kLabel1ShrinkPercent + 99) / 100);
  return LargestFittingSize({text}, box, fitted, smallest, measure);
}

}  // namespace linksift
