// The input's steps on both systems: the reads, the waits for a pipe and the
// check that a file on disk did not change under the run.
#include "input_file.h"

#include <algorithm>

#include "aligned_buffer.h"
#include "extraction_error.h"
#include "file_steps.h"

namespace linksift {
namespace fs = std::filesystem;
namespace {

// "-" names a standard stream, as on every command line.
int DescriptorOf(const fs::path& path, int standard, Stage stage) {
  if (path == "-") return standard;
  int descriptor = -1;
  Check(stage, path, os::DescriptorBehind(path, descriptor));
  return descriptor;
}

}  // namespace

InputFile::InputFile(const fs::path& path, const std::atomic<bool>* cancel)
    : path_(path), cancel_(cancel) {
  const int descriptor = DescriptorOf(path_, os::kStandardInput, Stage::kOpenInput);
  Check(Stage::kOpenInput, path_,
        descriptor >= 0 ? os::OpenInputDescriptor(descriptor, cancel != nullptr, input_, facts_)
                        : os::OpenInput(path_, cancel != nullptr, input_, facts_));
}

void InputFile::ForEachBlock(std::size_t block_size, const Consumer& consume) {
  const std::size_t chunk = std::min(block_size, kMaxTransfer);
  const AlignedBuffer buffer =
      AtStage(Stage::kRead, path_, [chunk] { return MakeAlignedBuffer(chunk); });
  for (;;) {
    if (!facts_.regular) WaitForData();
    std::size_t got = 0;
    Check(Stage::kRead, path_, os::ReadSome(*input_, buffer.get(), chunk, got));
    if (got == 0) break;
    consume(std::string_view(buffer.get(), got));
  }
  if (facts_.regular) CheckNotShrunk();
}

std::error_code InputFile::ReadAt(char* buffer, std::size_t size, std::uint64_t offset,
                                  std::size_t& got) {
  return os::ReadSomeAt(*input_, buffer, std::min(size, kMaxTransfer), offset, got);
}

void InputFile::CheckRead(std::error_code error) const {
  Check(Stage::kRead, path_, error);
}

// What was read may be half old, half new: no more the file than a short read would be.
void InputFile::CheckNotShrunk() {
  std::uint64_t size = 0;
  Check(Stage::kRead, path_, os::InputSize(*input_, size));
  if (size < facts_.size) Check(Stage::kRead, path_, MakeErrorCode(RunFailure::kInputChanged));
}

// A pipe may stay silent for as long as its writer likes; a cancel must not
// wait for it.
void InputFile::WaitForData() {
  for (bool ready = false; !ready;) {
    StopIf(cancel_);
    Check(Stage::kRead, path_, os::AwaitData(*input_, ready));
  }
}

}  // namespace linksift
