// Measures the viewer (A) against a bare Qt OpenGL window (B, and C: the same
// on a QApplication) from outside: they run in turn, A B C A B C ..., with a
// preloaded counter noting their buffer swaps, and real pointer input sent
// through the X server (XTest).
//
//   windowbench [runs]      (default 7; needs DISPLAY)
//
// Prints each run's figures, then their medians, the ratios and whether the
// viewer meets its targets (measured against B); exits with 1 when it misses
// one.
#include "swapstats.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryFile>
#include <QThread>

#include "xwindows.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr const char *Title = "OpenGL ES 2.0, Qt6, C++";
constexpr int BurstMoves = 100;
constexpr int PacedMoves = 300;
constexpr int PacedMoveIntervalUs = 5000;

constexpr int Subjects = 3; // A, B and C
enum Figure { FirstFrameMs, ResidentMiB, IdleFrames, BurstFrames, DragFrames, DragCpuMs, CpuPerFrameMs, FigureCount };
using Figures = std::array<double, FigureCount>;

// A line of /proc/<pid>/<file>, split into fields, or nothing.
QList<QByteArray> procFields(qint64 pid, const char *file, const QByteArray &linePrefix = {})
{
    QFile proc(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
    if (!proc.open(QIODevice::ReadOnly))
        return {};
    for (QByteArray line = proc.readLine(); !line.isEmpty(); line = proc.readLine()) {
        if (line.startsWith(linePrefix))
            return line.simplified().split(' ');
    }
    return {};
}

double residentMiB(qint64 pid)
{
    return procFields(pid, "status", "VmRSS:").value(1).toDouble() / 1024.0;
}

// User and system time of all the process's threads (Mesa's rasteriser
// threads included), in milliseconds.
double cpuMs(qint64 pid)
{
    // The command name in field 2 is parenthesised and may hold spaces; the
    // fields after it are counted from its closing parenthesis.
    QFile proc(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!proc.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = proc.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble(); // utime, stime
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// One program under measurement, with its swap counter.
class Subject
{
public:
    Subject(const QString &program, const QString &counter)
    {
        statsFile.open();
        statsFile.resize(sizeof(SwapStats));
        void *mapped = mmap(nullptr, sizeof(SwapStats), PROT_READ | PROT_WRITE, MAP_SHARED, statsFile.handle(), 0);
        if (mapped != MAP_FAILED)
            stats = static_cast<SwapStats *>(mapped);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LD_PRELOAD"), counter);
        environment.insert(QString::fromLatin1(SwapStatsVariable), statsFile.fileName());
        // The counter sees GLX swaps; keep Qt from choosing EGL instead.
        environment.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("xcb_glx"));
        process.setProcessEnvironment(environment);
        process.setProgram(program);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
    }

    ~Subject()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
        if (stats)
            munmap(stats, sizeof(SwapStats));
    }

    bool mapped() const { return stats != nullptr; }
    qint64 pid() const { return process.processId(); }
    std::uint64_t swaps() const { return stats->swaps.load(); }

    // Returns the time from starting the process to the return of its first
    // buffer swap, in milliseconds, or a negative value on failure.
    double start()
    {
        const std::int64_t startNs = monotonicNs();
        process.start();
        if (!process.waitForStarted())
            return -1;
        for (const std::int64_t deadline = startNs + 20'000'000'000; swaps() == 0; usleep(1000)) {
            if (monotonicNs() > deadline || process.state() == QProcess::NotRunning)
                return -1;
        }
        return double(stats->firstSwapNs.load() - startNs) / 1e6;
    }

    // Waits until no frame has been swapped for quietMs.
    void waitUntilIdle(int quietMs = 300) const
    {
        const std::int64_t quietNs = std::int64_t(quietMs) * 1000000;
        while (monotonicNs() - stats->lastSwapNs.load() < quietNs)
            usleep(10000);
    }

    bool close(Display *display, Window window)
    {
        requestClose(display, window);
        return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit
               && process.exitCode() == 0;
    }

private:
    QTemporaryFile statsFile;
    SwapStats *stats = nullptr;
    QProcess process;
};

// Presses the left button at (x, y), sends the moves, waits until the frames
// they caused are drawn and releases. Returns the frames drawn and the CPU
// time the program spent meanwhile.
std::pair<double, double> drag(Display *display, const Subject &subject, int x, int y, int moves, int intervalUs)
{
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    QThread::msleep(100);
    subject.waitUntilIdle();

    const std::uint64_t swapsBefore = subject.swaps();
    const double cpuBefore = cpuMs(subject.pid());
    for (int i = 1; i <= moves; ++i) {
        // A zigzag that stays inside the window and keeps the pitch in range.
        XTestFakeMotionEvent(display, -1, x + (i % 40) * 2, y + ((i / 40) % 2 ? -1 : 1) * (i % 40), CurrentTime);
        if (intervalUs > 0) {
            XSync(display, False);
            usleep(useconds_t(intervalUs));
        }
    }
    XSync(display, False);
    QThread::msleep(100);
    subject.waitUntilIdle();
    const auto frames = double(subject.swaps() - swapsBefore);
    const double cpu = cpuMs(subject.pid()) - cpuBefore;

    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    return {frames, cpu};
}

std::optional<Figures> measure(Display *display, const QString &program, const QString &counter)
{
    // Let the previous program's exit and the X server settle first.
    QThread::msleep(500);
    Subject subject(program, counter);
    if (!subject.mapped())
        return std::nullopt;
    Figures figures{};
    figures[FirstFrameMs] = subject.start();
    if (figures[FirstFrameMs] < 0) {
        std::fprintf(stderr, "windowbench: %s drew no frame (is the swap counter preloaded?)\n", qPrintable(program));
        return std::nullopt;
    }
    subject.waitUntilIdle(500);
    Window window = 0;
    for (int tries = 0; tries < 200 && !(window = findTopLevelWindow(display, Title)); ++tries)
        QThread::msleep(10);
    if (!window) {
        std::fprintf(stderr, "windowbench: no window titled \"%s\" appeared\n", Title);
        return std::nullopt;
    }
    figures[ResidentMiB] = residentMiB(subject.pid());

    const std::uint64_t idleStart = subject.swaps();
    QThread::sleep(2);
    figures[IdleFrames] = double(subject.swaps() - idleStart);

    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 200, 250, &x, &y, &child);
    figures[BurstFrames] = drag(display, subject, x, y, BurstMoves, 0).first;
    const auto [frames, cpu] = drag(display, subject, x, y, PacedMoves, PacedMoveIntervalUs);
    figures[DragFrames] = frames;
    figures[DragCpuMs] = cpu;
    figures[CpuPerFrameMs] = frames > 0 ? cpu / frames : -1;

    if (!subject.close(display, window)) {
        std::fprintf(stderr, "windowbench: %s did not exit cleanly when closed\n", qPrintable(program));
        return std::nullopt;
    }
    return figures;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QString number(double value, int decimals)
{
    return value < 0 ? QStringLiteral("n/a") : QString::number(value, 'f', decimals);
}

// Prints the medians, the ratios and the targets; returns whether the
// viewer met them all.
bool printSummary(const std::vector<Figures> (&results)[Subjects], const char *const (&names)[Subjects], int runs)
{
    Figures medians[Subjects], worst{};
    for (int which = 0; which < Subjects; ++which) {
        for (int k = 0; k < FigureCount; ++k) {
            std::vector<double> column;
            for (const Figures &f : results[which])
                column.push_back(f[k]);
            medians[which][k] = median(column);
            if (which == 0)
                worst[k] = *std::max_element(column.begin(), column.end());
        }
    }

    struct Row
    {
        const char *label;
        Figure figure;
        int decimals;
        bool ratio;
        QString target;
        bool met;
    };
    const double firstFrameRatio = medians[0][FirstFrameMs] / medians[1][FirstFrameMs];
    const double residentRatio = medians[0][ResidentMiB] / medians[1][ResidentMiB];
    const Row rows[] = {
        {"Start to first frame (ms)", FirstFrameMs, 1, true, QStringLiteral("A/B <= 1.10"), firstFrameRatio <= 1.10},
        {"Resident memory once idle (MiB)", ResidentMiB, 1, true, QStringLiteral("A/B <= 1.10"), residentRatio <= 1.10},
        {"Frames in 2 s without input", IdleFrames, 0, false, QStringLiteral("0 in every run"), worst[IdleFrames] == 0},
        {"Frames for a burst of 100 moves", BurstFrames, 0, false, QStringLiteral("<= 100 in every run"),
         worst[BurstFrames] <= BurstMoves},
        {"Frames for 300 moves, 5 ms apart", DragFrames, 0, false, QStringLiteral("<= 300 in every run"),
         worst[DragFrames] <= PacedMoves},
        {"CPU time during those moves (ms)", DragCpuMs, 0, false, QString(), true},
        {"CPU time per frame while dragging (ms)", CpuPerFrameMs, 2, false, QString(), true},
    };

    std::printf("\nMedians of %d runs each, A B C alternating:\n\n", runs);
    std::printf("| %-38s | %13s | %13s | %16s | %5s | %5s | %-26s |\n", "Figure", names[0], names[1], names[2], "A/B",
                "A/C", "Target for A");
    std::printf("|%s|%s|%s|%s|%s|%s|%s|\n", QByteArray(40, '-').constData(), QByteArray(15, '-').constData(),
                QByteArray(15, '-').constData(), QByteArray(18, '-').constData(), QByteArray(7, '-').constData(),
                QByteArray(7, '-').constData(), QByteArray(28, '-').constData());
    bool allMet = true;
    for (const Row &row : rows) {
        const double a = medians[0][row.figure];
        const auto ratio = [&](int which) {
            const double other = medians[which][row.figure];
            return row.ratio && a >= 0 && other > 0 ? QString::number(a / other, 'f', 3) : QString();
        };
        const QString target = row.target.isEmpty() ? QString() : row.target + (row.met ? ": met" : ": MISSED");
        std::printf("| %-38s | %13s | %13s | %16s | %5s | %5s | %-26s |\n", row.label,
                    qPrintable(number(a, row.decimals)), qPrintable(number(medians[1][row.figure], row.decimals)),
                    qPrintable(number(medians[2][row.figure], row.decimals)), qPrintable(ratio(1)),
                    qPrintable(ratio(2)), qPrintable(target));
        allMet = allMet && row.met;
    }
    return allMet;
}

} // namespace

int main(int argc, char *argv[])
{
    const int runs = argc > 1 ? QByteArray(argv[1]).toInt() : 7;
    Display *display = XOpenDisplay(nullptr);
    int eventBase, errorBase, major, minor;
    if (runs < 1 || !display || !XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        std::fprintf(stderr, "usage: windowbench [runs >= 1]; needs an X server with the XTest extension\n");
        return 2;
    }

    // C is B on the widgets application object the viewer must use: A/C
    // shows what the viewer costs beyond that object.
    const QString programs[]
        = {QStringLiteral(ORBITVIEWER_PATH), QStringLiteral(BAREWINDOW_PATH), QStringLiteral(BAREWINDOW_WIDGETS_PATH)};
    const char *names[] = {"A orbitviewer", "B bare window", "C B+QApplication"};
    std::vector<Figures> results[Subjects];
    for (int run = 1; run <= runs; ++run) {
        for (int which = 0; which < Subjects; ++which) {
            const std::optional<Figures> figures = measure(display, programs[which], QStringLiteral(SWAPCOUNTER_PATH));
            if (!figures)
                return 2;
            results[which].push_back(*figures);
            const Figures &f = *figures;
            std::printf("run %d %-16s first frame %6.1f ms  resident %6.1f MiB  idle frames %2.0f  "
                        "burst frames %3.0f  paced drag %3.0f frames, %4.0f ms CPU\n",
                        run, names[which], f[FirstFrameMs], f[ResidentMiB], f[IdleFrames], f[BurstFrames],
                        f[DragFrames], f[DragCpuMs]);
            std::fflush(stdout);
        }
    }
    XCloseDisplay(display);

    return printSummary(results, names, runs) ? 0 : 1;
}
