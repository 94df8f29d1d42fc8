#include "extract.h"

#include <algorithm>
#include <optional>

#include "aligned_buffer.h"
#include "replacement_file.h"
#include "split_scan.h"
#include "text_scanner.h"

namespace linksift {
namespace {

class FileSink final : public LinkSink {
 public:
  explicit FileSink(ReplacementFile& file) : file_(file) {}

  void Write(std::string_view bytes) override { file_.Write(bytes.data(), bytes.size()); }

 private:
  ReplacementFile& file_;
};

// Counts bytes, tells the caller now and then, and stops the run when asked.
class RunMonitor {
 public:
  RunMonitor(const RunOptions& options, std::uint64_t total) : options_(options), total_(total) {}

  void Advance(std::size_t bytes) {
    StopIfCancelled();
    done_ += bytes;
    if (!options_.on_progress) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_report_ < options_.progress_interval) return;
    last_report_ = now;
    options_.on_progress(done_, total_);
  }

  void Finish() {
    if (options_.on_progress) options_.on_progress(done_, total_);
    StopIfCancelled();
  }

  void StopIfCancelled() const {
    if (options_.cancel != nullptr && options_.cancel->load(std::memory_order_relaxed)) {
      throw ExtractionCancelled();
    }
  }

 private:
  const RunOptions& options_;
  const std::uint64_t total_;
  std::uint64_t done_ = 0;
  std::chrono::steady_clock::time_point last_report_ = std::chrono::steady_clock::now();
};

// Scans the file from `begin` on with `scanner`, on two threads.
template <typename Scanner>
void ScanRest(InputFile& source, const ChunkReader& read, Scanner& scanner, RunMonitor& monitor,
              std::uint64_t begin, std::size_t chunk) {
  // A file that ends within the next chunk has nothing to overlap with, nor
  // has a process held to one core.
  const bool help = source.size() > begin + chunk && os::UsableCores() > 1;
  SplitScan<Scanner> split(scanner, read, begin, chunk, help);
  source.CheckRead(split.Run([&monitor](std::size_t size) { monitor.Advance(size); }));
}

// A file on disk, in chunks at whole multiples of `chunk`: the first one's
// first bytes choose the reading, and the rest is scanned on two threads.
void ScanFile(InputFile& source, TextScanner& scanner, RunMonitor& monitor,
              const InputFile::Consumer& feed, std::size_t chunk) {
  const ChunkReader read = [&source](char* buffer, std::size_t size, std::uint64_t offset,
                                     std::size_t& got) {
    return source.ReadAt(buffer, size, offset, got);
  };
  std::size_t got = 0;
  {
    const AlignedBuffer first = MakeAlignedBuffer(chunk);
    source.CheckRead(ReadWhole(read, first.get(), chunk, 0, got));
    feed(std::string_view(first.get(), got));
  }
  if (got == chunk) {
    if (LinkScanner* const bytes = scanner.bytes()) {
      ScanRest(source, read, *bytes, monitor, chunk, chunk);
    } else if (Utf16LinkScanner* const units = scanner.units()) {
      ScanRest(source, read, *units, monitor, chunk, chunk);
    }
  }
  source.CheckNotShrunk();
}

}  // namespace

LinkCount ExtractLinksFromFile(const std::filesystem::path& input,
                               const std::filesystem::path& output, const RunOptions& options) {
  // Out of memory or threads, a step fails like any other: at its stage, on its file.
  std::optional<InputFile> source;
  AtStage(Stage::kOpenInput, input, [&] { source.emplace(input, options.cancel); });
  std::optional<ReplacementFile> target;
  AtStage(Stage::kCreateOutput, output, [&] { target.emplace(output, options.cancel, &*source); });
  FileSink sink(*target);
  std::optional<TextScanner> scanner;
  AtStage(Stage::kRead, input, [&] { scanner.emplace(sink); });
  RunMonitor monitor(options, source->size());
  // Even, so that every chunk of UTF-16 starts on a code unit.
  const std::size_t block = std::max<std::size_t>((options.block_size + 1) / 2 * 2, 2);
  const InputFile::Consumer feed = [&](std::string_view bytes) {
    monitor.Advance(bytes.size());
    scanner->Feed(bytes);
  };
  AtStage(Stage::kRead, input, [&] {
    if (!source->sized()) return source->ForEachBlock(block, feed);
    ScanFile(*source, *scanner, monitor, feed, block);
  });
  scanner->Finish();
  monitor.Finish();
  // Windows cannot replace a file that is still open, and the input may be the output itself.
  source.reset();
  target->Commit();
  return scanner->count();
}

bool IsStandardOutput(const std::filesystem::path& output) {
  int descriptor = -1;
  return output == "-" ||
         (!os::DescriptorBehind(output, descriptor) && descriptor == os::kStandardOutput);
}

void RecordGivenDescriptors(int below) {
  os::RecordGivenDescriptors(below);
}

}  // namespace linksift
