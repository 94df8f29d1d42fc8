// The output's steps on both systems: their order, the stage each failure
// belongs to, temporary names and the loops around the system calls.
#include "replacement_file.h"

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "extraction_error.h"
#include "file_steps.h"

namespace linksift {
namespace fs = std::filesystem;
namespace {

// A large output goes to the disk while the scan goes on, in whole 64 KiB stretches.
constexpr std::uint64_t kWriteBackInterval = std::uint64_t{4} << 20;
constexpr std::uint64_t kWriteBackUnit = std::uint64_t{64} << 10;

constexpr std::string_view kTemporaryInfix = ".linksift-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kTemporaryDigits = 8;

// The longest name every file system takes (NAME_MAX; Windows counts UTF-16
// units, Wine's host then UTF-8 bytes, so the bytes of UTF-8 are counted).
constexpr std::size_t kMaxName = 255;
constexpr std::size_t kMaxTemporaryBase =
    kMaxName - 1 - kTemporaryInfix.size() - kTemporaryDigits - kTemporarySuffix.size();

// The target's name, cut where needed so that its temporary's name is valid,
// never inside a character (a UTF-16 pair, or a UTF-8 sequence).
template <typename Char>
std::basic_string<Char> TemporaryBase(std::basic_string_view<Char> name) {
  std::size_t bytes = 0;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < name.size();) {
    const auto unit = static_cast<std::uint32_t>(name[i]);
    std::size_t units = 1;
    std::size_t size = 1;
    if constexpr (sizeof(Char) == 1) {
      while (i + units < name.size() &&
             (static_cast<unsigned char>(name[i + units]) & 0xC0) == 0x80) {
        ++units;
      }
      size = units;
    } else {
      const bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < name.size();
      units = pair ? 2 : 1;
      size = pair ? 4 : unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
    }
    if (bytes + size > kMaxTemporaryBase) break;
    bytes += size;
    i += units;
    kept = i;
  }
  return std::basic_string<Char>(name.substr(0, kept));
}

// A hidden name beside the target, random so that runs seldom pick the same.
fs::path TemporaryName(const fs::path& target) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  constexpr char kDigits[] = "0123456789abcdef";
  std::string suffix(kTemporaryInfix);
  for (std::uint64_t bits = random(), i = 0; i < kTemporaryDigits; ++i, bits >>= 4) {
    suffix += kDigits[bits & 15];
  }
  fs::path name(".");
  const fs::path::string_type leaf = target.filename().native();
  name += TemporaryBase<fs::path::value_type>(leaf);
  return name += suffix.append(kTemporarySuffix);
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

bool IsTemporaryNameFor(std::string_view target, std::string_view name) {
  const std::string target_name = TemporaryBase(target);
  const std::size_t size =
      1 + target_name.size() + kTemporaryInfix.size() + kTemporaryDigits + kTemporarySuffix.size();
  if (name.size() != size || name[0] != '.') return false;
  name.remove_prefix(1);
  if (!name.starts_with(target_name)) return false;
  name.remove_prefix(target_name.size());
  if (!name.starts_with(kTemporaryInfix)) return false;
  name.remove_prefix(kTemporaryInfix.size());
  if (!name.ends_with(kTemporarySuffix)) return false;
  return name.substr(0, kTemporaryDigits).find_first_not_of("0123456789abcdef") ==
         std::string_view::npos;
}

}  // namespace os

ReplacementFile::ReplacementFile(const fs::path& target, const std::atomic<bool>* cancel,
                                 const InputFile* input)
    : target_(target), cancel_(cancel) {
  if (target_ == "-") {
    Check(Stage::kCreateOutput, target_, os::AdoptOutputDescriptor(os::kStandardOutput, output_),
          "cannot write to the output");
  } else {
    os::TargetKind kind = os::TargetKind::kMissing;
    const std::error_code error = os::ResolveOutput(target_, output_, kind);
    // No temporary can be made where the folder cannot even be opened.
    if (error && kind == os::TargetKind::kUnreachableFolder) {
      throw ExtractionError::FolderRefused(target_, error, os::FileTried(*output_));
    }
    Check(Stage::kCreateOutput, target_, error, "cannot follow the output");
    Open(kind, input != nullptr ? input->facts() : os::InputFacts{});
  }
}

void ReplacementFile::Open(os::TargetKind kind, const os::InputFacts& input) {
  // One of this process's descriptors, written through as it is.
  if (kind == os::TargetKind::kDescriptor) return;
  if (kind == os::TargetKind::kDirectory) {
    Check(Stage::kCreateOutput, target_, std::make_error_code(std::errc::is_a_directory),
          "cannot replace the output");
  }
  // A device or a pipe has no content to keep, and replacing it would be wrong.
  if (kind != os::TargetKind::kDevice) {
    // The folder first: where it refuses, the output's own protection is moot.
    if (const std::error_code error = os::CreateTemporary(*output_, input)) {
      throw ExtractionError::FolderRefused(target_, error, os::FileTried(*output_));
    }
    // A write-protected output stays as it is, as it would if written in place;
    // the temporary goes with output_.
    Check(Stage::kCreateOutput, target_, os::CheckWritable(*output_),
          "cannot replace the write-protected output");
    return StartWriteBehind(input);
  }
  // A pipe nobody reads yet is waited for, as a shell's redirection would.
  for (bool ready = false; !ready;) {
    StopIf(cancel_);
    Check(Stage::kCreateOutput, target_, os::OpenInPlace(*output_, ready),
          "cannot open the output");
    if (!ready) os::Pause();
  }
}

void ReplacementFile::Write(const char* data, std::size_t size) {
  while (size > 0) {
    std::size_t written = 0;
    Check(Stage::kWrite, target_,
          os::WriteSome(*output_, data, std::min(size, kMaxTransfer), written));
    data += written;
    size -= written;
    written_ += written;
    // A pipe whose reader has stalled must not hold a cancel up.
    for (bool ready = written > 0; !ready;) {
      StopIf(cancel_);
      Check(Stage::kWrite, target_, os::AwaitRoom(*output_, ready));
    }
  }
  if (write_behind_) Check(Stage::kWrite, target_, write_behind_->Written(written_));
}

// The old target's cached pages are dropped on the same thread, while the run
// goes on, rather than by the rename while it waits.
void ReplacementFile::StartWriteBehind(const os::InputFacts& input) {
  os::Output& output = *output_;
  write_behind_.emplace(
      [&output](std::uint64_t offset, std::uint64_t size) {
        return os::StartWriteBack(output, offset, size);
      },
      [&output, input](const std::atomic<bool>& finishing) {
        os::ForgetReplaced(output, input, finishing);
      },
      kWriteBackInterval, kWriteBackUnit);
}

// Any failure leaves the temporary to be removed with output_, and the target as it was.
void ReplacementFile::Commit() {
  if (os::WrittenInPlace(*output_)) return Check(Stage::kWrite, target_, os::Close(*output_));
  Check(Stage::kWrite, target_, write_behind_->Finish());
  Check(Stage::kWrite, target_, os::Flush(*output_));
  Check(Stage::kReplace, target_, os::Settle(*output_));
  // Closing reports late write errors on some file systems.
  Check(Stage::kWrite, target_, os::Close(*output_));
  Check(Stage::kReplace, target_, os::PutInPlace(*output_));
}

}  // namespace linksift
