#pragma once
// Console output of Google Benchmark plus, at the end, the ratio of each "<case>/baseline"
// run to its "<case>/tessaro" run (above 1: Tessaro is faster).

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // cpu: compare CPU times (steadier on a shared machine); else wall-clock times.
  explicit RatioReporter(bool cpu) : cpu_(cpu) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.error_occurred) continue;
      // With --benchmark_repetitions the median is taken, else the single run.
      const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
      if (r.run_type == Run::RT_Aggregate && !median) continue;
      const std::string name = r.run_name.function_name;
      for (const char* side : {"/tessaro", "/baseline"}) {
        const std::size_t at = name.find(side);
        if (at == std::string::npos) continue;
        auto& slot = times_[name.substr(0, at)];
        const double t = cpu_ ? r.GetAdjustedCPUTime() : r.GetAdjustedRealTime();
        if (median || !has_median_[name]) slot[side[1] == 't'] = t;
        if (median) has_median_[name] = true;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nratios (baseline %s time / tessaro %s time; above 1: tessaro faster):\n",
                cpu_ ? "CPU" : "wall", cpu_ ? "CPU" : "wall");
    for (const auto& [name, t] : times_)
      if (t[0] > 0 && t[1] > 0) std::printf("  %-44s %8.2f\n", name.c_str(), t[0] / t[1]);
  }

 private:
  bool cpu_;
  std::map<std::string, std::array<double, 2>> times_;  // [baseline, tessaro]
  std::map<std::string, bool> has_median_;
};

inline int run_with_ratios(int argc, char** argv, bool cpu) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter(cpu);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
