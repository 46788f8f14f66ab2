#include "support/RatioReporter.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace lumenarc::bench {

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
        if (run.error_occurred || run.iterations == 0) {
            continue;
        }
        if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "mean") {
            continue;
        }
        const auto& name = run.run_name;
        m_seconds[name.function_name + (name.args.empty() ? "" : "/" + name.args)] =
            run.real_accumulated_time / static_cast<double>(run.iterations);
    }
}

double RatioReporter::seconds(const std::string& name) const {
    const auto found = m_seconds.find(name);
    return found == m_seconds.end() ? 0.0 : found->second;
}

void RatioReporter::printRatio(const std::string& label, const std::string& candidate,
                               const std::string& baseline) const {
    const double a = seconds(candidate);
    const double b = seconds(baseline);
    if (a <= 0 || b <= 0) {
        std::printf("%s: not measured\n", label.c_str());
        return;
    }
    std::printf("%s: %s %.3f ms, %s %.3f ms, ratio %.2f\n", label.c_str(), candidate.c_str(),
                a * 1e3, baseline.c_str(), b * 1e3, a / b);
}

namespace {
long statusField(const char* field) {
    std::ifstream status("/proc/self/status");
    const std::string prefix = field;
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(prefix, 0) == 0) {
            return std::stol(line.substr(prefix.size())) * 1024;
        }
    }
    return 0;
}
} // namespace

long residentBytes() {
    return statusField("VmRSS:");
}
long peakResidentBytes() {
    return statusField("VmHWM:");
}

void resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

} // namespace lumenarc::bench
