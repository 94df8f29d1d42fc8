#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

namespace linksift {

// What a run was doing when it failed.
enum class Stage {
  kOpenInput,     // opening the chosen file
  kCreateOutput,  // creating the temporary file beside the output, or opening a device or pipe
  kRead,          // reading the chosen file
  kWrite,         // writing or flushing the temporary file
  kReplace,       // putting the temporary file in place of the output
};

// Failures no system call reports, which a run finds for itself.
enum class RunFailure {
  kInputChanged = 1,  // the input shrank while it was read: what was read is not the file
};
const std::error_category& RunFailureCategory() noexcept;
std::error_code MakeErrorCode(RunFailure failure) noexcept;

// The one error a run reports: the facts, for a front end that words the
// failure itself (the window, in Russian), and an English message, what(),
// for one that shows it as it is (the command-line driver).
class ExtractionError : public std::runtime_error {
 public:
  // `action` words the failure for the English message when the stage's
  // usual words would mislead ("cannot open the output").
  ExtractionError(Stage stage, std::filesystem::path path, std::error_code code,
                  const char* action = nullptr);

  // kCreateOutput only: the output's folder refused the temporary file, as
  // opposed to the output itself refusing (write-protected, a pipe that
  // cannot be opened). A caller may then look for another folder. The error
  // names the folder tried, links followed (see tried()).
  // `tried`: the file the run tried to make there, where links led elsewhere.
  static ExtractionError FolderRefused(std::filesystem::path path, std::error_code code,
                                       std::filesystem::path tried = {});

  Stage stage() const noexcept { return stage_; }
  const std::filesystem::path& path() const noexcept { return path_; }
  std::error_code code() const noexcept { return code_; }
  bool folder_refused() const noexcept { return folder_refused_; }
  // The file the run tried to make: where the folder refused, the output's
  // name in the folder its links lead to; else path().
  const std::filesystem::path& tried() const noexcept { return tried_.empty() ? path_ : tried_; }

 private:
  ExtractionError(Stage stage, std::filesystem::path path, std::error_code code, const char* action,
                  std::filesystem::path tried);

  Stage stage_;
  std::filesystem::path path_;
  std::error_code code_;
  std::filesystem::path tried_;
  bool folder_refused_ = false;
};

// A run stopped on request. Nothing was changed.
class ExtractionCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "the run was cancelled"; }
};

// The English name of a stage, for logs and the command-line driver.
const char* Describe(Stage stage);

// A program's exit status for a run that failed.
inline constexpr int kRunFailed = 1;

// Runs a program's `run` and returns what it returns. What it lets out (no
// memory left outside the extraction) is reported on standard error after
// `program` and gives kRunFailed, rather than ending the program through
// std::terminate.
// No allocation: what escaped may be the lack of memory itself.
inline int RunCatching(const char* program, const std::function<int()>& run) noexcept {
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

// Runs `step`, turning a lack of memory or of threads into the error of
// `stage` on `path`, so that it is reported like any other failure.
template <typename Step>
decltype(auto) AtStage(Stage stage, const std::filesystem::path& path, Step&& step) {
  try {
    return step();
  } catch (const std::bad_alloc&) {
    throw ExtractionError(stage, path, std::make_error_code(std::errc::not_enough_memory));
  } catch (const std::system_error& error) {
    throw ExtractionError(stage, path, error.code());
  }
}

}  // namespace linksift
