#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <cstdio>
#include <map>
#include <string>

namespace {

// Prints the usual table and remembers each run's items per second, so the
// router's throughput can be set against the signal-slot baseline of the same
// run.
class cRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      auto it = run.counters.find("items_per_second");
      if (it != run.counters.end()) mItemsPerSecond[run.benchmark_name()] = it->second.value;
    }
  }
  std::map<std::string, double> mItemsPerSecond;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  cRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto rate = [&](const char* name) {
    const auto it = reporter.mItemsPerSecond.find(std::string(name) + "/min_time:1.000/real_time");
    return it != reporter.mItemsPerSecond.end() ? it->second : 0.0;
  };
  const double qt = rate("BM_QtQueuedSignalSlot");
  if (qt > 0) {
    for (const char* name : {"BM_RouterPostDeliver", "BM_RouterPostFromOtherThread"}) {
      if (rate(name) > 0) {
        std::printf("%s: %.0f messages/s, queued signal-slot: %.0f calls/s, ratio %.2f\n", name, rate(name), qt,
                    rate(name) / qt);
      }
    }
  }
  // Like for like: posting and delivery both in one thread.
  const double qtSame = rate("BM_QtQueuedSignalSlotSameThread");
  if (qtSame > 0 && rate("BM_RouterPostDeliver") > 0) {
    std::printf("BM_RouterPostDeliver: %.0f messages/s, same-thread queued signal-slot: %.0f calls/s, ratio %.2f\n",
                rate("BM_RouterPostDeliver"), qtSame, rate("BM_RouterPostDeliver") / qtSame);
  }
  benchmark::Shutdown();
  return 0;
}
