// A console reporter that also keeps the median time of every benchmark, so
// that a program can print ratios to its peer after the run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace zelvaro::bench {

class MedianReporter : public benchmark::ConsoleReporter {
 public:
  // CPU time by default: the machine is shared, so wall time is noisy. Work
  // that waits on sockets is measured in wall time.
  enum Clock { kCpuTime, kWallTime };
  explicit MedianReporter(Clock clock = kCpuTime) : clock_(clock) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.aggregate_name == "median")
        medians_[run.run_name.function_name] =
            (clock_ == kCpuTime ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime());
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // Median time of a benchmark (in its time
  // unit), 0 when it did not run.
  double Median(const std::string& name) const {
    auto it = medians_.find(name);
    return it == medians_.end() ? 0 : it->second;
  }
  // Prints peer time / our time: above 1 means faster than the peer.
  void PrintRatio(const std::string& ours, const std::string& peer) const {
    double a = Median(ours), b = Median(peer);
    if (a > 0 && b > 0)
      std::printf("throughput ratio %-28s / %-20s = %.3f\n", ours.c_str(), peer.c_str(), b / a);
  }

 private:
  Clock clock_;
  std::map<std::string, double> medians_;
};

}  // namespace zelvaro::bench
