#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace linksift {

// What a run was doing when it failed.
enum class Stage {
  kOpenInput,     // opening the chosen file
  kCreateOutput,  // creating the temporary file beside the output
  kRead,          // reading the chosen file
  kWrite,         // writing or flushing the temporary file
  kReplace,       // putting the temporary file in place of the output
};

// The one error a run reports. It carries facts only; front ends choose the words.
class ExtractionError : public std::runtime_error {
 public:
  ExtractionError(Stage stage, std::filesystem::path path, std::error_code code);

  Stage stage() const noexcept { return stage_; }
  const std::filesystem::path& path() const noexcept { return path_; }
  std::error_code code() const noexcept { return code_; }

 private:
  Stage stage_;
  std::filesystem::path path_;
  std::error_code code_;
};

// A run stopped on request. Nothing was changed.
class ExtractionCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "the run was cancelled"; }
};

// The English name of a stage, for logs and the command-line driver.
const char* Describe(Stage stage);

// The system's text for `code` in UTF-8, whatever code page the system uses.
// Each system's file layer defines it (file_io_posix.cpp, file_io_win32.cpp).
std::string SystemReason(std::error_code code);

}  // namespace linksift
