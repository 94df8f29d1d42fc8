#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <string_view>

namespace linksift::testing_support {

// A short input with two links (in mixed case, with marks after them) and the
// urls.txt made from it.
inline constexpr char kTwoLinks[] = "see HTTP://Ab/Cd, next\r\nno link\r\nhttp://ef/g; end\r\n";
inline constexpr char kTwoLinksOut[] = "HTTP://Ab/Cd\r\nhttp://ef/g\r\n";

// The expected run output: the first link of every line, each with CR LF.
// Lines are split here independently of the scanner.
std::string ReferenceOutput(std::string_view input);

// Where two texts first differ (where the shorter ends, if it is a prefix of
// the other), or npos when they are the same: for comparing megabytes.
std::size_t FirstDifference(std::string_view a, std::string_view b);

// Random text rich in the bytes that matter: prefixes in mixed case, marks,
// blanks, tabs, CR, LF and arbitrary high bytes.
std::string RandomText(std::mt19937_64& random, std::size_t size);

// True when `text` is well-formed UTF-8.
bool IsUtf8(std::string_view text);

}  // namespace linksift::testing_support
