#pragma once

#include <string>
#include <string_view>

#include "link_output.h"

namespace linksift::testing_support {

// Gathers a scanner's output, for the tests and the fuzzer to compare.
class StringSink final : public LinkSink {
 public:
  void Write(std::string_view bytes) override { text.append(bytes); }
  std::string text;
};

}  // namespace linksift::testing_support
