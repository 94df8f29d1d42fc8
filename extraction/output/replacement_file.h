#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "file_io_os.h"
#include "input_file.h"
#include "write_behind.h"

namespace linksift {

// Every failure throws ExtractionError.

// A replacement for `target`, written to a temporary file in the same
// directory and put in place by Commit(). Until then the target is untouched;
// a replacement that is never committed leaves nothing behind. A device or
// pipe is written directly, and so is "-" (standard output) or a descriptor's
// name (/dev/stdout, /dev/fd/N): the file behind one is never replaced. A
// wait for a pipe's reader, or for room in it, ends with ExtractionCancelled
// once `cancel` is set. `input`, the run's input, is never taken for a
// stale temporary, whatever its name.
class ReplacementFile {
 public:
  explicit ReplacementFile(const std::filesystem::path& target,
                           const std::atomic<bool>* cancel = nullptr,
                           const InputFile* input = nullptr);

  void Write(const char* data, std::size_t size);
  // Makes the content durable and puts it in place of the target.
  void Commit();

 private:
  void Open(os::TargetKind kind, const os::InputFacts& input);
  void StartWriteBehind(const os::InputFacts& input);

  std::filesystem::path target_;  // as given, for messages
  const std::atomic<bool>* cancel_;
  os::OutputPtr output_;
  std::uint64_t written_ = 0;
  // A temporary's bytes go to the disk while the run goes on; before output_ goes.
  std::optional<WriteBehind> write_behind_;
};

}  // namespace linksift
