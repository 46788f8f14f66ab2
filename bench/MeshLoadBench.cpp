// Loading a 1024 x 1024 mesh (about 5 million numbers): the player's loader against a baseline
// that reads the same file with fscanf("%lf"), in the same run. Also the loader's peak memory
// against the file size plus the node storage.

#include "mesh/DistortionMatrix.h"
#include "support/RatioReporter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using lumenarc::DistortionMatrix;
using lumenarc::MeshVertex;

namespace {

constexpr int kSize = 1024;
std::string g_path;

std::string writeMesh() {
    const auto path = std::filesystem::temp_directory_path() /
                      ("lumenarc-bench-mesh-" + std::to_string(getpid()) + ".data");
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "w"), &std::fclose);
    std::fprintf(file.get(), "2\n%d %d\n", kSize, kSize);
    for (int row = 0; row < kSize; ++row) {
        for (int column = 0; column < kSize; ++column) {
            const double s = column / (kSize - 1.0), t = row / (kSize - 1.0);
            const double r = std::hypot(2 * s - 1, 2 * t - 1);
            std::fprintf(file.get(), "%.9g %.9g %.9g %.9g %.6g\n", 2 * s - 1, 2 * t - 1,
                         0.5 + 0.4 * std::cos(3 * t) * s, 0.5 + 0.4 * std::sin(3 * s) * t,
                         r > 1 ? 0.0 : 1.0 - r * r * 0.3);
        }
    }
    return path.string();
}

size_t baselineLoad(const std::string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "r"), &std::fclose);
    int type = 0, width = 0, height = 0;
    if (std::fscanf(file.get(), "%d %d %d", &type, &width, &height) != 3) {
        return 0;
    }
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    const auto nodes = std::make_unique_for_overwrite<MeshVertex[]>(count);
    for (size_t k = 0; k < count; ++k) {
        auto& n = nodes[k];
        if (std::fscanf(file.get(), "%lf %lf %lf %lf %lf", &n.x, &n.y, &n.u, &n.v, &n.i) != 5) {
            return 0;
        }
    }
    return count;
}

void BM_initFromFile(benchmark::State& state) {
    for (auto _ : state) {
        auto mesh = DistortionMatrix::initFromFile(g_path);
        if (!mesh || mesh->width() != kSize) {
            state.SkipWithError("mesh did not load");
            return;
        }
        benchmark::DoNotOptimize(mesh.get());
    }
}

void BM_fscanfBaseline(benchmark::State& state) {
    for (auto _ : state) {
        if (baselineLoad(g_path) != static_cast<size_t>(kSize) * kSize) {
            state.SkipWithError("baseline did not load");
            return;
        }
    }
}

// Peak resident memory added by one load, measured in a child so earlier runs don't count.
long loadPeakBytes() {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return -1;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        const long before = lumenarc::bench::residentBytes();
        lumenarc::bench::resetPeak();
        auto mesh = DistortionMatrix::initFromFile(g_path);
        const long added = mesh ? lumenarc::bench::peakResidentBytes() - before : -1;
        [[maybe_unused]] auto n = write(pipeFds[1], &added, sizeof added);
        _exit(0);
    }
    close(pipeFds[1]);
    long added = -1;
    [[maybe_unused]] auto n = read(pipeFds[0], &added, sizeof added);
    close(pipeFds[0]);
    waitpid(pid, nullptr, 0);
    return added;
}

} // namespace

BENCHMARK(BM_initFromFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_fscanfBaseline)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
    g_path = writeMesh();
    benchmark::Initialize(&argc, argv);
    lumenarc::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("mesh load 1024x1024 (lower is better)", "BM_initFromFile",
                        "BM_fscanfBaseline");
    const double speedup =
        reporter.seconds("BM_fscanfBaseline") / reporter.seconds("BM_initFromFile");
    std::printf("speed-up over the fscanf baseline: %.1fx (target: at least 4x)\n", speedup);

    const double fileBytes = static_cast<double>(std::filesystem::file_size(g_path));
    const double nodeBytes = static_cast<double>(kSize) * kSize * sizeof(MeshVertex);
    const long peak = loadPeakBytes();
    std::printf("peak memory of one load: %.1f MB; file %.1f MB + nodes %.1f MB; "
                "peak / (file + nodes) = %.3f (target: file + 1.1 x nodes, i.e. <= %.3f)\n",
                peak / 1e6, fileBytes / 1e6, nodeBytes / 1e6, peak / (fileBytes + nodeBytes),
                (fileBytes + 1.1 * nodeBytes) / (fileBytes + nodeBytes));
    std::filesystem::remove(g_path);
    benchmark::Shutdown();
    return 0;
}
