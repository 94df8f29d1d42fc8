#pragma once

// What each system's file layer gives the shared one (file_io.cpp), which
// decides the order of the steps and the stage a failure belongs to.
// file_io_posix.cpp and file_io_win32.cpp define it; every function returns
// the system's reason for a failure, or an empty error_code.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>
#include <system_error>

namespace linksift::os {

using Consumer = std::function<void(std::string_view)>;

// An input file open for reading, as the system keeps it.
struct Input;
// An output in the making: the target's facts and either what is written in
// place or the temporary that replaces the target. Letting one go removes the
// temporary.
struct Output;

void Release(Input* input) noexcept;
void Release(Output* output) noexcept;
struct Releaser {
  template <typename Open>
  void operator()(Open* open) const noexcept {
    Release(open);
  }
};
using InputPtr = std::unique_ptr<Input, Releaser>;
using OutputPtr = std::unique_ptr<Output, Releaser>;

struct InputFacts {
  std::uint64_t size = 0;  // 0 when the input has none
  bool regular = false;    // a file on disk, read from its start, rather than a pipe or device
  // Its identity where the system gives one, so that no sweep takes it for a temporary.
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

// The standard streams by number: 0 input, 1 output, 2 error.
inline constexpr int kStandardInput = 0;
inline constexpr int kStandardOutput = 1;

// The descriptor of this process a name reaches (/dev/stdout, /dev/fd/N,
// /proc/thread-self/fd/N, a link to one, however spelt), or -1. Such a name is
// written or read through the descriptor, never resolved to the file behind
// it. A descriptor the program was not given is refused (EBADF). Windows has
// no such names.
std::error_code DescriptorBehind(const std::filesystem::path& path, int& descriptor);
// See RecordGivenDescriptors in extract.h.
void RecordGivenDescriptors(int below);

// `cancellable`: the reader will ask AwaitData whether a pipe has bytes for it.
std::error_code OpenInput(const std::filesystem::path& path, bool cancellable, InputPtr& input,
                          InputFacts& facts);
// Reads from an open descriptor of this process (a copy of it: the original stays open).
std::error_code OpenInputDescriptor(int descriptor, bool cancellable, InputPtr& input,
                                    InputFacts& facts);
// Reads up to `size` bytes; `got` is 0 at the end.
std::error_code ReadSome(Input& input, char* buffer, std::size_t size, std::size_t& got);
// Reads up to `size` bytes of a regular file from `offset`; `got` is 0 at
// the end. Reads from two threads at once may overlap.
std::error_code ReadSomeAt(Input& input, char* buffer, std::size_t size, std::uint64_t offset,
                           std::size_t& got);
// Waits a short while for a pipe's next bytes; `ready` once a read would not block.
std::error_code AwaitData(Input& input, bool& ready);
// The size of an open file now.
std::error_code InputSize(Input& input, std::uint64_t& size);

// What an output's name leads to: one of this process's descriptors, written
// through as it is; nothing yet, or a file, replaced; a directory, refused; a
// device, a pipe or a file reached through another process's descriptor,
// written in place; a folder that cannot be opened, which refuses the
// temporary (POSIX: ResolveOutput fails with the folder's reason).
enum class TargetKind { kDescriptor, kMissing, kFile, kDirectory, kDevice, kUnreachableFolder };

// Resolves `target` once, following symbolic links where the system has them
// and may follow them; every later step works from what it found, never from
// the name again.
std::error_code ResolveOutput(const std::filesystem::path& target, OutputPtr& output,
                              TargetKind& kind);
// Writes to an open descriptor of this process, as it is, append mode and all.
std::error_code AdoptOutputDescriptor(int descriptor, OutputPtr& output);
// Whether the output is written in place (a descriptor, a device, a pipe)
// rather than replaced through a temporary.
bool WrittenInPlace(const Output& output);
// A device or a pipe, written to directly. `ready` stays false while a pipe
// has no reader yet: try again after a while.
std::error_code OpenInPlace(Output& output, bool& ready);
// For messages: the file the output's resolution led to, links followed;
// empty where it is the name given.
std::filesystem::path FileTried(const Output& output);
// Refuses to replace an existing target that is write-protected.
std::error_code CheckWritable(Output& output);
// A new, empty temporary file beside the target, owned and moded as the
// target is where the system lets it. Stale temporaries of killed runs are
// swept first, never `input`.
std::error_code CreateTemporary(Output& output, const InputFacts& input);
// Writes up to `size` bytes; `written` is 0 when a pipe is full: AwaitRoom then.
std::error_code WriteSome(Output& output, const char* data, std::size_t size, std::size_t& written);
// Waits a short while for room in a full pipe; `ready` once a write would not block.
std::error_code AwaitRoom(Output& output, bool& ready);
// Starts writing `size` bytes from `offset` to the disk and returns without
// waiting for them; errc::not_supported where the system cannot. Any other
// failure is the written bytes' own.
std::error_code StartWriteBack(Output& output, std::uint64_t offset, std::uint64_t size);
// Drops the cached pages of the file the temporary will replace, a stretch at
// a time until `stop` is set, so that the rename over it has fewer to drop
// while the run waits. Best effort: nothing but the cache changes, and never
// for the run's own input. Safe beside writes to the temporary.
void ForgetReplaced(const Output& output, const InputFacts& input, const std::atomic<bool>& stop);
// Makes the written bytes durable.
std::error_code Flush(Output& output);
// Readies the temporary for its rename: gives it a name, or keeps it from
// vanishing with its handle.
std::error_code Settle(Output& output);
std::error_code Close(Output& output);
// Renames the closed temporary over the target.
std::error_code PutInPlace(Output& output);
// Waits a moment, for loops that poll.
void Pause();
// The cores this process may run on, at least 1: on one, a second thread
// that reads only takes turns with the first.
unsigned UsableCores();

// Shared by both systems (file_io.cpp).

// The directory a file name lives in.
std::filesystem::path DirectoryOf(const std::filesystem::path& file);
// Creates a file under fresh temporary names for `target` (hidden, beside it,
// its name's start kept short enough for the whole to be a valid name) until
// `create` finds one that is not taken; it reports a taken one as
// errc::file_exists. Gives up after 100 names.
std::error_code CreateUnderFreshName(
    const std::filesystem::path& target,
    const std::function<std::error_code(const std::filesystem::path& name)>& create);
// Whether `name` has the form of a temporary name for a target named `target_name`.
bool IsTemporaryNameFor(std::string_view target_name, std::string_view name);

inline std::error_code SystemError(int code) {
  return std::error_code(code, std::system_category());
}

}  // namespace linksift::os
