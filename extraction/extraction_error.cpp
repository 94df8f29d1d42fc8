#include "extraction_error.h"

#include <utility>

namespace linksift {
namespace {

std::string Compose(Stage stage, const std::filesystem::path& path, std::error_code code) {
  // u8string: on Windows, string() would depend on the system's code page.
  const std::u8string name = path.u8string();
  std::string text = Describe(stage);
  text.append(" '").append(name.begin(), name.end()).append("': ").append(SystemReason(code));
  return text;
}

}  // namespace

ExtractionError::ExtractionError(Stage stage, std::filesystem::path path, std::error_code code)
    : std::runtime_error(Compose(stage, path, code)),
      stage_(stage),
      path_(std::move(path)),
      code_(code) {}

const char* Describe(Stage stage) {
  switch (stage) {
    case Stage::kOpenInput:
      return "cannot open the input";
    case Stage::kCreateOutput:
      return "cannot create the output beside";
    case Stage::kRead:
      return "cannot read the input";
    case Stage::kWrite:
      return "cannot write the output";
    case Stage::kReplace:
      return "cannot replace the output";
  }
  return "cannot process";
}

}  // namespace linksift
