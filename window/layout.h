#pragma once

namespace linksift {

// Where Form1's controls stand inside its client area, in twips: 1440 to the
// inch, so 15 to the pixel at 96 dpi.
struct TwipsBox {
  int left, top, width, height;
};

inline constexpr int kTwipsPerPixelAt96Dpi = 15;

inline constexpr int kForm1Width = 5400;
inline constexpr int kForm1Height = 2490;
inline constexpr TwipsBox kCommand1Box = {720, 300, 3855, 315};
inline constexpr TwipsBox kLabel1Box = {180, 720, 5055, 1695};
// While a run lasts the bar stands in Label1's place, along its top edge, as
// tall as Command1.
inline constexpr TwipsBox kProgressBarBox = {kLabel1Box.left, kLabel1Box.top, kLabel1Box.width,
                                             kCommand1Box.height};
// Where the bar draws no text (Win32), "Esc — отмена" stands at its right
// end and the bar makes room for it.
inline constexpr int kCancelHintWidth = 1200;
inline constexpr int kCancelHintGap = 90;
inline constexpr TwipsBox kCancelHintBox = {
    kProgressBarBox.left + kProgressBarBox.width - kCancelHintWidth, kProgressBarBox.top,
    kCancelHintWidth, kProgressBarBox.height};
inline constexpr TwipsBox kProgressBarBesideHintBox = {
    kProgressBarBox.left, kProgressBarBox.top,
    kProgressBarBox.width - kCancelHintWidth - kCancelHintGap, kProgressBarBox.height};

// Label1's font: the largest pixel size (at 96 dpi) from the first down to the
// second at which the instructions and LongestResultText() both fit.
inline constexpr int kLabel1LargestFont = 12;
inline constexpr int kLabel1SmallestFont = 8;
// A result too long for the label gets smaller letters, down to this share of
// the fitted size (still readable); beyond that it scrolls inside the label.
inline constexpr int kLabel1ShrinkPercent = 80;

}  // namespace linksift
