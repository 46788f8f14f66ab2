#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace lumenarc::bench {

// Prints Google Benchmark's usual table and keeps each run's real time per iteration, so that
// a benchmark can report ratios against a baseline measured in the same run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override;
    // Seconds per iteration of the named benchmark (its mean when repeated), or 0 if unknown.
    double seconds(const std::string& name) const;
    // Prints "label: <candidate> / <baseline> = ratio".
    void printRatio(const std::string& label, const std::string& candidate,
                    const std::string& baseline) const;

private:
    std::map<std::string, double> m_seconds;
};

// Resident memory of this process in bytes (VmRSS), and its peak since the last resetPeak().
long residentBytes();
long peakResidentBytes();
void resetPeak();

} // namespace lumenarc::bench
