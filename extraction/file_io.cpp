// The file layer both systems share: the order of the steps, the stage each
// failure belongs to, temporary names and the loops around the system calls.
#include "file_io.h"

#include <algorithm>
#include <memory>
#include <random>
#include <string>

#include "extraction_error.h"

namespace linksift {
namespace fs = std::filesystem;
namespace {

// Windows reads and writes at most a DWORD's worth at a time.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

void Check(Stage stage, const fs::path& path, std::error_code error) {
  if (error) throw ExtractionError(stage, path, error);
}

// A hidden name beside the target, random so that runs seldom pick the same.
fs::path TemporaryName(const fs::path& target) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  constexpr char kDigits[] = "0123456789abcdef";
  std::string suffix = ".linksift-";
  for (std::uint64_t bits = random(), i = 0; i < 8; ++i, bits >>= 4) suffix += kDigits[bits & 15];
  fs::path name(".");
  name += target.filename().native();
  return name += suffix + ".tmp";
}

}  // namespace

namespace os {

fs::path DirectoryOf(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

std::error_code CreateUnderFreshName(
    const fs::path& target, const std::function<std::error_code(const fs::path& name)>& create) {
  std::error_code error;
  for (int attempt = 0; attempt < 100; ++attempt) {
    error = create(TemporaryName(target));
    if (error != std::errc::file_exists) return error;
  }
  return error;
}

}  // namespace os

InputFile::InputFile(const fs::path& path, const std::atomic<bool>* cancel)
    : path_(path), cancel_(cancel) {
  Check(Stage::kOpenInput, path_, os::OpenInput(path_, cancel != nullptr, input_, facts_));
}

void InputFile::ForEachBlock(std::size_t block_size, const Consumer& consume) {
  if (facts_.regular && facts_.size > 0) {
    std::error_code error;
    if (os::ConsumeMapped(*input_, facts_.size, block_size, consume, error)) {
      return Check(Stage::kRead, path_, error);
    }
  }
  ReadBlocks(block_size, consume);
}

void InputFile::ReadBlocks(std::size_t block_size, const Consumer& consume) {
  const std::size_t chunk = std::min(block_size, kMaxTransfer);
  const std::unique_ptr<char[]> buffer(new char[chunk]);
  for (;;) {
    if (!facts_.regular) WaitForData();
    std::size_t got = 0;
    Check(Stage::kRead, path_, os::ReadSome(*input_, buffer.get(), chunk, got));
    if (got == 0) return;
    consume(std::string_view(buffer.get(), got));
  }
}

// A pipe may stay silent for as long as its writer likes; a cancel must not
// wait for it.
void InputFile::WaitForData() {
  for (bool ready = false; !ready;) {
    if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) throw ExtractionCancelled();
    Check(Stage::kRead, path_, os::AwaitData(*input_, ready));
  }
}

ReplacementFile::ReplacementFile(const fs::path& target) : target_(target) {
  os::TargetKind kind;
  output_ = os::InspectTarget(target_, kind);
  if (kind == os::TargetKind::kDirectory) {
    Check(Stage::kCreateOutput, target_, std::make_error_code(std::errc::is_a_directory));
  }
  // A device or a pipe has no content to keep, and replacing it would be wrong.
  in_place_ = kind == os::TargetKind::kDevice;
  Check(Stage::kCreateOutput, target_,
        in_place_ ? os::OpenInPlace(*output_) : os::CreateTemporary(*output_));
}

void ReplacementFile::Write(const char* data, std::size_t size) {
  while (size > 0) {
    std::size_t written = 0;
    Check(Stage::kWrite, target_,
          os::WriteSome(*output_, data, std::min(size, kMaxTransfer), written));
    data += written;
    size -= written;
  }
}

// Any failure leaves the temporary to be removed with output_, and the target as it was.
void ReplacementFile::Commit() {
  if (in_place_) return Check(Stage::kWrite, target_, os::Close(*output_));
  Check(Stage::kWrite, target_, os::Flush(*output_));
  Check(Stage::kReplace, target_, os::Settle(*output_));
  // Closing reports late write errors on some file systems.
  Check(Stage::kWrite, target_, os::Close(*output_));
  Check(Stage::kReplace, target_, os::PutInPlace(*output_));
}

}  // namespace linksift
