#pragma once

#include <functional>
#include <initializer_list>
#include <string>

namespace linksift {

// Width and height in pixels: of Label1's box, or of what a text needs in it.
struct TextExtent {
  int width = 0;
  int height = 0;
};

inline bool FitsIn(TextExtent needed, TextExtent box) {
  return needed.width <= box.width && needed.height <= box.height;
}

// What `text` needs when drawn at pixel size `size`, wrapped to the box's
// width; each front end measures its own way.
using MeasureText = std::function<TextExtent(const std::string& text, int size)>;

// The largest pixel size from `largest` down to `smallest` at which every one
// of `texts` fits inside `box`; `smallest` when none does.
int LargestFittingSize(std::initializer_list<std::string> texts, TextExtent box, int largest,
                       int smallest, const MeasureText& measure);

// The size `text` shows at in a label fitted at `fitted`: that size when the
// text fits, else smaller letters, down to kLabel1ShrinkPercent of it (a text
// longer still scrolls).
int ShrunkSize(const std::string& text, TextExtent box, int fitted, const MeasureText& measure);

}  // namespace linksift
