// The cost of progress reports and the cancel check on a whole run: the same
// file extracted with neither, and with both as the window sets them up.
// The output goes to /dev/null, which is written in place, so no disk time
// hides the difference. usage: linksift_run_bench [FILE] [benchmark flags]
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>

#include "extract.h"

namespace {

std::filesystem::path g_input = "bench/corpus/mixed.txt";

void BM_Run(benchmark::State& state) {
  const bool monitored = state.range(0) != 0;
  std::atomic<bool> cancel{false};
  std::uint64_t reports = 0;
  linksift::RunOptions options;
  if (monitored) {
    options.cancel = &cancel;
    options.on_progress = [&reports](std::uint64_t, std::uint64_t) { ++reports; };
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(linksift::ExtractLinksFromFile(g_input, "/dev/null", options));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(std::filesystem::file_size(g_input)));
  state.counters["reports"] = benchmark::Counter(static_cast<double>(reports),
                                                 benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Run)->ArgName("monitored")->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc > 1) g_input = argv[1];
  if (!std::filesystem::exists(g_input)) {
    std::fprintf(stderr, "no input %s: run bench/make_corpora.sh first\n", g_input.c_str());
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
