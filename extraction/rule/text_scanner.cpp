#include "text_scanner.h"

#include <algorithm>

namespace linksift {

void TextScanner::Feed(std::string_view block) {
  if (!bytes_ && !units_) {
    const std::size_t take = std::min(kMarkSize - started_, block.size());
    std::copy_n(block.data(), take, start_ + started_);
    started_ += take;
    block.remove_prefix(take);
    if (started_ < kMarkSize) return;
    ChooseReading();
  }
  if (units_) return units_->Feed(block);
  bytes_->Feed(block);
}

void TextScanner::Finish() {
  if (!bytes_ && !units_) ChooseReading();
  if (units_) return units_->Finish();
  bytes_->Finish();
}

LinkCount TextScanner::count() const {
  if (units_) return units_->count();
  return bytes_ ? bytes_->count() : 0;
}

// By the mark alone: text without one is read as bytes, as it always was.
void TextScanner::ChooseReading() {
  const std::string_view start(start_, started_);
  if (start == "\xFF\xFE") {
    units_.emplace(sink_, ByteOrder::kLittleEndian);
  } else if (start == "\xFE\xFF") {
    units_.emplace(sink_, ByteOrder::kBigEndian);
  } else {
    bytes_.emplace(sink_);
    bytes_->Feed(start);
  }
}

}  // namespace linksift
