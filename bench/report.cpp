#include "report.h"

#include "statistics.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

constexpr const char *Names[SubjectCount]
    = {"A orbitviewer", "B bare window", "C B+QApplication", "D C+repaint on move", "E D+same drawing"};

QString number(double value, int decimals)
{
    return value < 0 ? QStringLiteral("n/a") : QString::number(value, 'f', decimals);
}

QString letter(SubjectId subject)
{
    return {QLatin1Char("ABCDE"[subject])};
}

// One target for the viewer, with the value it was judged on.
struct Target
{
    Figure figure;
    QString text;
    bool met;
};

// The viewer's start time over E's, start by start (they alternate), and
// the median of those.
double startRatio(const Results &results)
{
    std::vector<double> ratios;
    const auto &a = results.startMs[Viewer], &e = results.startMs[Drawing];
    for (size_t i = 0; i < a.size() && i < e.size(); ++i)
        ratios.push_back(a[i] / e[i]);
    return median(ratios);
}

class Summary
{
public:
    explicit Summary(const Results &results)
        : results(results)
    {
        for (int subject = 0; subject < SubjectCount; ++subject) {
            for (int k = 0; k < FigureCount; ++k) {
                std::vector<double> column;
                for (const Figures &f : results.runs[subject])
                    column.push_back(f[k]);
                medians[subject][k] = median(column);
                if (subject == Viewer)
                    worst[k] = column.empty() ? -1 : *std::max_element(column.begin(), column.end());
            }
        }
    }

    double medianOf(SubjectId subject, Figure figure) const { return medians[subject][figure]; }

    Target startRatioAtMost(double limit) const
    {
        const double value = startRatio(results);
        const bool met = value >= 0 && value <= limit;
        return {
            FigureCount,
            QStringLiteral("start A/E %1 <= %2%3").arg(number(value, 3), QString::number(limit, 'f', 2), verdict(met)),
            met};
    }

    // The viewer's figure over another program's, run by run, and the
    // median of those: the programs alternate, so each run's pair met the
    // machine in the same state, and slow drifts of the machine cancel.
    // Negative where either was not measured.
    double ratio(Figure figure, SubjectId other) const
    {
        const std::vector<double> ratios
            = paired(figure, other, [](double a, double b) { return b > 0 ? a / b : std::nan(""); });
        return ratios.empty() ? -1 : median(ratios);
    }

    Target ratioAtMost(Figure figure, SubjectId other, double limit) const
    {
        const double value = ratio(figure, other);
        const bool met = value >= 0 && value <= limit;
        return {figure,
                QStringLiteral("A/%1 %2 <= %3%4")
                    .arg(letter(other), number(value, 3), QString::number(limit, 'f', 2), verdict(met)),
                met};
    }

    // The median of the run-by-run differences, as for ratio().
    Target differenceAtMost(Figure figure, SubjectId other, double limit) const
    {
        const std::vector<double> differences = paired(figure, other, [](double a, double b) { return a - b; });
        const double value = differences.empty() ? std::numeric_limits<double>::infinity() : median(differences);
        const bool met = value <= limit;
        return {figure,
                QStringLiteral("A-%1 %2 <= %3%4")
                    .arg(letter(other), QString::number(value, 'f', 2), QString::number(limit, 'f', 2), verdict(met)),
                met};
    }

    Target worstAtMost(Figure figure, double limit) const
    {
        const bool met = worst[figure] >= 0 && worst[figure] <= limit;
        return {figure, QStringLiteral("<= %1 in every run%2").arg(limit).arg(verdict(met)), met};
    }

private:
    static QString verdict(bool met) { return met ? QStringLiteral(": met") : QStringLiteral(": MISSED"); }

    // combine(A's figure, the other's) for each run in which both were
    // measured, where that is a number.
    template<typename Combine> std::vector<double> paired(Figure figure, SubjectId other, Combine combine) const
    {
        std::vector<double> values;
        const auto &a = results.runs[Viewer], &b = results.runs[other];
        for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
            if (a[i][figure] >= 0 && b[i][figure] >= 0) {
                const double value = combine(a[i][figure], b[i][figure]);
                if (!std::isnan(value))
                    values.push_back(value);
            }
        }
        return values;
    }

    const Results &results;
    Figures medians[SubjectCount]{};
    Figures worst{};
};

QByteArray dashes(int n)
{
    return {n, '-'};
}

} // namespace

void printStarts(const Results &results)
{
    std::printf("Start to first frame, %d starts each, alternating (ms):\n\n", StartRuns);
    std::printf("| %-19s | %7s | %15s | %7s | %7s |\n", "Program", "median", "quartiles", "IQR", "min");
    std::printf("|%s|%s:|%s:|%s:|%s:|\n", dashes(21).constData(), dashes(8).constData(), dashes(16).constData(),
                dashes(8).constData(), dashes(8).constData());
    for (int subject = 0; subject < SubjectCount; ++subject) {
        const std::vector<double> &starts = results.startMs[subject];
        const double q1 = quantile(starts, 0.25), q3 = quantile(starts, 0.75);
        std::printf("| %-19s | %7.1f | %6.1f – %6.1f | %7.1f | %7.1f |\n", Names[subject], median(starts), q1, q3,
                    q3 - q1, starts.empty() ? -1.0 : *std::min_element(starts.begin(), starts.end()));
    }
    std::printf("\nA/E, the median of the starts' ratios: %.3f\n\n", startRatio(results));
    std::fflush(stdout);
}

void printRun(int run, SubjectId subject, const Figures &f)
{
    std::printf("run %d %-19s RSS %6.1f MiB  PSS %6.1f MiB  idle frames %2.0f  burst frames "
                "%3.0f  paced drag %3.0f frames, %4.0f ms CPU  CPU/frame %s ms (%dx%d), %s ms (%dx%d)  latency "
                "median %s ms, p90 %s ms\n",
                run, Names[subject], f[ResidentMiB], f[ProportionalMiB], f[IdleFrames], f[BurstFrames], f[DragFrames],
                f[DragCpuMs], qPrintable(number(f[CpuPerFrameMs], 2)), SmallSide, SmallSide,
                qPrintable(number(f[LargeCpuPerFrameMs], 2)), LargeSide, LargeSide,
                qPrintable(number(f[LatencyMedianMs], 2)), qPrintable(number(f[LatencyP90Ms], 2)));
    std::fflush(stdout);
}

bool printSummary(const Results &results)
{
    const Summary summary(results);
    // All against E, the same picture drawn the plainest way; B, C and D
    // show what the application object, the shader and the drawing cost.
    const Target start = summary.startRatioAtMost(1.03);
    const Target targets[] = {
        summary.ratioAtMost(ResidentMiB, Drawing, 1.00),
        summary.ratioAtMost(ProportionalMiB, Drawing, 1.00),
        summary.worstAtMost(IdleFrames, 0),
        summary.worstAtMost(BurstFrames, BurstMoves),
        summary.worstAtMost(DragFrames, PacedMoves),
        summary.ratioAtMost(CpuPerFrameMs, Drawing, 1.05),
        summary.ratioAtMost(LargeCpuPerFrameMs, Drawing, 1.05),
        summary.differenceAtMost(LatencyMedianMs, Drawing, 0.3),
    };

    struct Row
    {
        QString label;
        Figure figure;
        int decimals;
        bool ratios;
    };
    const QString small = QStringLiteral("%1x%1").arg(SmallSide), large = QStringLiteral("%1x%1").arg(LargeSide);
    const Row rows[] = {
        {QStringLiteral("Resident memory once idle (MiB)"), ResidentMiB, 1, true},
        {QStringLiteral("Proportional set size once idle (MiB)"), ProportionalMiB, 1, true},
        {QStringLiteral("Frames in 2 s without input"), IdleFrames, 0, false},
        {QStringLiteral("Frames for a burst of %1 moves").arg(BurstMoves), BurstFrames, 0, false},
        {QStringLiteral("Frames for %1 moves, %2 ms apart").arg(PacedMoves).arg(PacedMoveIntervalUs / 1000), DragFrames,
         0, false},
        {QStringLiteral("CPU time during those moves (ms)"), DragCpuMs, 0, false},
        {QStringLiteral("CPU time per frame, %1 (ms)").arg(small), CpuPerFrameMs, 2, true},
        {QStringLiteral("CPU time per frame, %1 (ms)").arg(large), LargeCpuPerFrameMs, 2, true},
        {QStringLiteral("Move to frame, median (ms)"), LatencyMedianMs, 2, true},
        {QStringLiteral("Move to frame, 90th percentile (ms)"), LatencyP90Ms, 2, true},
    };

    std::printf("\nMedians of %zu runs each, A B C D E alternating; A/E and A-E are the medians of the run-by-run "
                "ratios and differences:\n\n",
                results.runs[Viewer].size());
    std::printf("| %-38s | %13s | %13s | %16s | %19s | %16s | %5s | %s |\n", "Figure", Names[Viewer], Names[Bare],
                Names[BareApplication], Names[BareRepainting], Names[Drawing], "A/E", "Targets for A");
    std::printf("|%s|%s:|%s:|%s:|%s:|%s:|%s:|%s|\n", dashes(40).constData(), dashes(14).constData(),
                dashes(14).constData(), dashes(17).constData(), dashes(20).constData(), dashes(17).constData(),
                dashes(6).constData(), dashes(15).constData());
    for (const Row &row : rows) {
        const auto value
            = [&](SubjectId subject) { return number(summary.medianOf(subject, row.figure), row.decimals); };
        const auto ratio = [&](SubjectId other) {
            const double r = summary.ratio(row.figure, other);
            return row.ratios && r >= 0 ? QString::number(r, 'f', 3) : QString();
        };
        QStringList texts;
        for (const Target &target : targets) {
            if (target.figure == row.figure)
                texts << target.text;
        }
        std::printf("| %-38s | %13s | %13s | %16s | %19s | %16s | %5s | %s |\n", qPrintable(row.label),
                    qPrintable(value(Viewer)), qPrintable(value(Bare)), qPrintable(value(BareApplication)),
                    qPrintable(value(BareRepainting)), qPrintable(value(Drawing)), qPrintable(ratio(Drawing)),
                    qPrintable(texts.join(QStringLiteral("; "))));
    }
    std::printf("\nStart to first frame (medians of %d starts): %s\n", StartRuns, qPrintable(start.text));
    return start.met && std::all_of(std::begin(targets), std::end(targets), [](const Target &t) { return t.met; });
}
