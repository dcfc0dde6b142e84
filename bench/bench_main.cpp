#include <QCoreApplication>
#include <benchmark/benchmark.h>
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
  const auto router = reporter.mItemsPerSecond.find("BM_RouterPostDeliver/min_time:1.000/real_time");
  const auto qt = reporter.mItemsPerSecond.find("BM_QtQueuedSignalSlot/min_time:1.000/real_time");
  if (router != reporter.mItemsPerSecond.end() && qt != reporter.mItemsPerSecond.end() && qt->second > 0) {
    std::printf("Router messages/s: %.0f  Queued signal-slot calls/s: %.0f  Ratio: %.2f\n", router->second,
                qt->second, router->second / qt->second);
  }
  benchmark::Shutdown();
  return 0;
}
