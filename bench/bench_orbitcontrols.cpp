// The camera's operations in nanoseconds per call, and each as a multiple of
// one QMatrix4x4::lookAt, the least any view-matrix computation costs.
#include "orbitcontrols.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

void lookAt(benchmark::State &state)
{
    const QVector3D eye(0.0f, 2.5f, 4.3301268f), target, up(0.0f, 0.8660254f, -0.5f);
    for (auto _ : state) {
        QMatrix4x4 view;
        view.lookAt(eye, target, up);
        benchmark::DoNotOptimize(view);
    }
}

void viewMatrix(benchmark::State &state)
{
    const OrbitControls camera(5.0f, QVector2D(30.0f, 0.0f));
    for (auto _ : state)
        benchmark::DoNotOptimize(camera.viewMatrix());
}

// A drag that goes back and forth, so the angles and the target stay in range
// however many iterations run.
template<bool Rotate, bool Pan> void mouseMove(benchmark::State &state)
{
    OrbitControls camera(5.0f, QVector2D(30.0f, 0.0f));
    camera.resize(500, 500);
    if (Rotate)
        camera.startRotation(0, 0);
    if (Pan)
        camera.startPanning(0, 0);
    int step = 0;
    for (auto _ : state) {
        const int offset = (++step & 1) * 10;
        camera.mouseMove(offset, offset);
    }
}

void zoom(benchmark::State &state)
{
    OrbitControls camera(5.0f, QVector2D(30.0f, 0.0f));
    int step = 0;
    for (auto _ : state)
        camera.zoom((++step & 1) ? 120.0f : -120.0f);
}

BENCHMARK(lookAt);
BENCHMARK(viewMatrix);
BENCHMARK_TEMPLATE(mouseMove, true, false)->Name("mouseMove/rotate");
BENCHMARK_TEMPLATE(mouseMove, false, true)->Name("mouseMove/pan");
BENCHMARK_TEMPLATE(mouseMove, true, true)->Name("mouseMove/rotate+pan");
BENCHMARK(zoom);

// Google Benchmark 1.8 replaced Run::error_occurred with Run::skipped; the
// overload that compiles picks the member this version has.
template<typename R> auto runFailed(const R &run, int /*preferred*/) -> decltype(bool(run.error_occurred))
{
    return run.error_occurred;
}
template<typename R> bool runFailed(const R &run, long /*fallback*/)
{
    return bool(run.skipped);
}

// The console table, followed by each benchmark's time as a multiple of lookAt's.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    RatioReporter()
        : ConsoleReporter(OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration && !runFailed(run, 0)) {
                order.push_back(run.benchmark_name());
                nsPerCall[run.benchmark_name()] = run.GetAdjustedCPUTime();
            }
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const double baseline = nsPerCall["lookAt"];
        if (baseline <= 0)
            return;
        std::printf("\n| %-22s | %11s | %9s |\n|%s|%s|%s|\n", "Operation", "ns per call", "x lookAt",
                    std::string(24, '-').c_str(), std::string(13, '-').c_str(), std::string(11, '-').c_str());
        for (const std::string &name : order)
            std::printf("| %-22s | %11.1f | %9.2f |\n", name.c_str(), nsPerCall[name], nsPerCall[name] / baseline);
    }

private:
    std::vector<std::string> order;
    std::map<std::string, double> nsPerCall;
};

} // namespace

int main(int argc, char *argv[])
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
