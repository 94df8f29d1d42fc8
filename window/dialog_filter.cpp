#include "dialog_filter.h"

namespace linksift {
namespace {

// The next "|"-separated field, taken off the front of `rest`.
std::string_view TakeField(std::string_view& rest) {
  const std::size_t bar = rest.find('|');
  const std::string_view field = rest.substr(0, bar);
  rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
  return field;
}

}  // namespace

std::vector<FilterEntry> SplitDialogFilter(std::string_view filter) {
  std::vector<FilterEntry> entries;
  while (!filter.empty()) {
    const std::string_view description = TakeField(filter);
    const std::string_view patterns = TakeField(filter);
    entries.push_back({std::string(description), std::string(patterns.empty() ? "*" : patterns)});
  }
  return entries;
}

}  // namespace linksift
