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
  struct Name {
    Stage stage;
    const char* text;
  };
  static constexpr Name kNames[] = {
      {Stage::kOpenInput, "cannot open the input"},
      {Stage::kCreateOutput, "cannot create the output beside"},
      {Stage::kRead, "cannot read the input"},
      {Stage::kWrite, "cannot write the output"},
      {Stage::kReplace, "cannot replace the output"},
  };
  for (const Name& name : kNames) {
    if (name.stage == stage) return name.text;
  }
  return "cannot process";
}

}  // namespace linksift
