#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace linksift {

// One entry of an Open dialog's filter: what the user reads and the patterns
// ("*.txt", or several joined by ";") of the names it lists.
struct FilterEntry {
  std::string description;
  std::string patterns;

  bool operator==(const FilterEntry&) const = default;
};

// Splits "description|patterns|description|patterns...". A description
// without patterns after it lists every file.
std::vector<FilterEntry> SplitDialogFilter(std::string_view filter);

}  // namespace linksift
