#pragma once

#include <atomic>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "extraction_error.h"
#include "link_rule.h"

namespace linksift {

// Large enough that the two threads seldom hand chunks over, small enough to
// stay in a core's cache from the read to the scan.
inline constexpr std::size_t kDefaultBlockSize = 1024 * 1024;

// Bytes of the input read so far, and its size (0 for a pipe, which has none).
using ProgressCallback = std::function<void(std::uint64_t done, std::uint64_t total)>;

struct RunOptions {
  // Bytes read at a time; tests shrink it to move block edges around.
  std::size_t block_size = kDefaultBlockSize;
  // Told how far the run has got, at most once every `progress_interval` and
  // once at the end.
  ProgressCallback on_progress;
  std::chrono::steady_clock::duration progress_interval = std::chrono::milliseconds(20);
  // Set from any thread to stop the run: it then throws ExtractionCancelled.
  const std::atomic<bool>* cancel = nullptr;
};

// Writes the first link of every line of `input` to `output`, one per line
// with CR LF, and returns how many it wrote. CR, LF and CR LF end a line.
// Text that starts with a UTF-16 byte order mark is read as UTF-16 and its
// links are written in UTF-8; any other is read as bytes (see TextScanner).
// The output is replaced atomically: on any failure it keeps its old content
// and an ExtractionError is thrown; on a cancel, ExtractionCancelled.
// "-" is standard input as the input and standard output as the output; a
// device, a pipe or a descriptor's name (/dev/stdout, /dev/fd/N) is written
// directly, never replaced.
LinkCount ExtractLinksFromFile(const std::filesystem::path& input,
                               const std::filesystem::path& output, const RunOptions& options = {});

// Whether `output` names this process's standard output: "-", or on POSIX
// any name that reaches descriptor 1 (/dev/stdout, /proc/thread-self/fd/1, a
// link to one).
bool IsStandardOutput(const std::filesystem::path& output);

// Records which of the descriptors below `below` the program was given (those
// open now). A name that reaches any other descriptor of the process (its
// input, a connection: /dev/fd/N, /proc/self/fd/N) is then refused with "Bad
// file descriptor" rather than written through. Each program calls it at
// start-up, before it opens anything; until then every descriptor may be
// named. Windows has no such names.
void RecordGivenDescriptors(int below = INT_MAX);

}  // namespace linksift
