#include "extraction_error.h"

#include <cstdio>
#include <exception>
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
                    const char* action) {
  std::string text;
  if (action != nullptr) {
    text.append(action).append(" ").append(Quoted(path));
  } else if (stage == Stage::kCreateOutput) {
    // Say where the temporary was to go: the folder is what the user must fix.
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    text.append("cannot create a temporary file in ").append(Quoted(folder));
    text.append(" for ").append(Quoted(path));
  } else {
    text.append(Describe(stage)).append(" ").append(Quoted(path));
  }
  return text.append(": ").append(SystemReason(code));
}

}  // namespace

ExtractionError::ExtractionError(Stage stage, std::filesystem::path path, std::error_code code,
                                 const char* action)
    : std::runtime_error(Compose(stage, path, code, action)),
      stage_(stage),
      path_(std::move(path)),
      code_(code) {}

ExtractionError ExtractionError::FolderRefused(std::filesystem::path path, std::error_code code) {
  ExtractionError error(Stage::kCreateOutput, std::move(path), code);
  error.folder_refused_ = true;
  return error;
}

// No allocation: what escaped may be the lack of memory itself.
int RunCatching(const char* program, const std::function<int()>& run) noexcept {
  try {
    return run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", program, e.what());
  } catch (...) {
    std::fprintf(stderr, "%s: an unknown failure\n", program);
  }
  std::fflush(stderr);
  return kRunFailed;
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
