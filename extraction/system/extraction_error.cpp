#include "extraction_error.h"

#include <utility>

#include "system_reason.h"
#include "utf16.h"

namespace linksift {
namespace {

std::string Quoted(const std::filesystem::path& path) {
  std::string text = "'";
  return text.append(Utf8FromPath(path)).append("'");
}

std::string Compose(Stage stage, const std::filesystem::path& path, std::error_code code,
                    const char* action, const std::filesystem::path& tried) {
  std::string text;
  if (action != nullptr) {
    text.append(action).append(" ").append(Quoted(path));
  } else if (stage == Stage::kCreateOutput) {
    // Say where the temporary was to go: the folder is what the user must fix.
    const std::filesystem::path folder = tried.has_parent_path() ? tried.parent_path() : ".";
    text.append("cannot create a temporary file in ").append(Quoted(folder));
    text.append(" for ").append(Quoted(path));
  } else {
    text.append(Describe(stage)).append(" ").append(Quoted(path));
  }
  return text.append(": ").append(SystemReason(code));
}

class RunFailures final : public std::error_category {
 public:
  const char* name() const noexcept override { return "linksift"; }
  std::string message(int value) const override {
    if (value == static_cast<int>(RunFailure::kInputChanged)) {
      return "the file changed while it was being read";
    }
    return "unknown failure";
  }
};

}  // namespace

const std::error_category& RunFailureCategory() noexcept {
  static const RunFailures category;
  return category;
}

std::error_code MakeErrorCode(RunFailure failure) noexcept {
  return std::error_code(static_cast<int>(failure), RunFailureCategory());
}

ExtractionError::ExtractionError(Stage stage, std::filesystem::path path, std::error_code code,
                                 const char* action)
    : ExtractionError(stage, std::move(path), code, action, {}) {}

ExtractionError::ExtractionError(Stage stage, std::filesystem::path path, std::error_code code,
                                 const char* action, std::filesystem::path tried)
    : std::runtime_error(Compose(stage, path, code, action, tried.empty() ? path : tried)),
      stage_(stage),
      path_(std::move(path)),
      code_(code),
      tried_(std::move(tried)) {}

ExtractionError ExtractionError::FolderRefused(std::filesystem::path path, std::error_code code,
                                               std::filesystem::path tried) {
  ExtractionError error(Stage::kCreateOutput, std::move(path), code, nullptr, std::move(tried));
  error.folder_refused_ = true;
  return error;
}

const char* Describe(Stage stage) {
  struct Name {
    Stage stage;
    const char* text;
  };
  static constexpr Name kNames[] = {
      {Stage::kOpenInput, "cannot open the input"},
      {Stage::kCreateOutput, "cannot create the output"},
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
