#pragma once

#include <optional>
#include <string_view>

namespace linksift::testing_support {

// The link rule written plainly, one line at a time: the tests' reference for
// the code that runs, LinkScanner (link_scanner.cpp with the searches of
// search_kernels.cpp), which finds the same links in a stream of blocks.
// The first link of `line` (given without its line end), or nothing: it starts
// at the first "http://" in any letter case, runs to the first blank, and
// loses one trailing mark of ",.:;". The result views into `line`.
std::optional<std::string_view> ExtractLink(std::string_view line);

}  // namespace linksift::testing_support
