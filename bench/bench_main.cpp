#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <cstdio>
#include <map>
#include <string>

namespace {

// Prints the usual table and remembers each benchmark's items per second, so
// the router's throughput can be set against the signal-slot baselines of the
// same run. With repetitions, the median stands for the benchmark.
class cRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      auto it = run.counters.find("items_per_second");
      if (it == run.counters.end()) continue;
      const std::string name = run.run_name.function_name;
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name == "median") mMedian[name] = it->second.value;
      } else {
        mLast[name] = it->second.value;
      }
    }
  }
  double Rate(const std::string& name) const {
    for (const auto* table : {&mMedian, &mLast}) {
      const auto it = table->find(name);
      if (it != table->end()) return it->second;
    }
    return 0.0;
  }

 private:
  std::map<std::string, double> mMedian;
  std::map<std::string, double> mLast;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  cRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto rate = [&](const char* name) { return reporter.Rate(name); };
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
