// Micro-benchmarks of the link rule as it runs, the streaming scanner: on one
// kind of line over and over, and on in-memory text. The end-to-end comparison
// with other tools is compare.sh.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "extract.h"
#include "link_scanner.h"

namespace {

constexpr std::string_view kProse =
    "  * Rebuild against the new toolchain; drop the patch that was merged upstream (Closes: "
    "#1024).";

std::string LongLineWithLinkAtEnd() {
  std::string line;
  while (line.size() < 4096) line.append(kProse);
  line.append(" see HTTP://deb.example.org/pool/main/l/linksift/linksift_1.0.orig.tar.xz.");
  return line;
}

// Counts what the scanner hands over, so its work cannot be optimised away.
class CountingSink : public linksift::LinkSink {
 public:
  void Write(std::string_view bytes) override { bytes_ += bytes.size(); }
  std::size_t bytes_ = 0;
};

// One line, with its line end, fed again and again to one scanner.
void BM_ScanLine(benchmark::State& state, std::string line) {
  line.append("\n");
  CountingSink sink;
  linksift::LinkScanner scanner(sink);
  for (auto _ : state) scanner.Feed(line);
  scanner.Finish();
  benchmark::DoNotOptimize(sink.bytes_);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size()));
}

BENCHMARK_CAPTURE(BM_ScanLine, no_link, std::string(kProse));
BENCHMARK_CAPTURE(BM_ScanLine, near_miss, std::string("Homepage: https://www.example.org/linksift/"));
BENCHMARK_CAPTURE(BM_ScanLine, short_link, std::string("see http://ab.example/c, then"));
BENCHMARK_CAPTURE(BM_ScanLine, long_line_link_at_end, LongLineWithLinkAtEnd());

// About 16 MiB of CR LF text with a link on every `link_every`-th line; 0 makes
// one line that is a single link.
std::string MakeText(std::size_t link_every) {
  constexpr std::size_t kSize = 16u << 20;
  std::string text;
  text.reserve(kSize + 256);
  if (link_every == 0) {
    text = "see http://";
    text.resize(kSize, 'x');
    return text;
  }
  constexpr std::string_view kLines[] = {
      "Permission is hereby granted, free of charge, to any person obtaining a copy",
      "static inline int foo_bar(struct foo *f, const char *name, size_t len);",
      "  * Fix the build with the new compiler: mark the helper as HTTPS://-only. ",
      "",
      ".TP\\n\\fB\\-\\-output\\fR \\fIfile\\fR\\nWrite the result to \\fIfile\\fR.",
  };
  for (std::size_t n = 0; text.size() < kSize; ++n) {
    text.append(kLines[n % std::size(kLines)]);
    if (n % link_every == 0)
      text.append(" <Http://bugs.example.org/show_bug.cgi?id=")
          .append(std::to_string(n))
          .append(">.");
    text.append("\r\n");
  }
  return text;
}

void BM_ScanBuffer(benchmark::State& state) {
  const std::string text = MakeText(static_cast<std::size_t>(state.range(0)));
  const std::size_t block = linksift::kDefaultBlockSize;
  for (auto _ : state) {
    CountingSink sink;
    linksift::LinkScanner scanner(sink);
    for (std::size_t at = 0; at < text.size(); at += block) {
      scanner.Feed(std::string_view(text).substr(at, block));
    }
    scanner.Finish();
    benchmark::DoNotOptimize(sink.bytes_);
    state.counters["links"] = static_cast<double>(scanner.count());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// Arguments: a link on every line, on one line in 250, and one line of a single link.
BENCHMARK(BM_ScanBuffer)->Arg(1)->Arg(250)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
