// Measures the viewer (A) against the same picture drawn the plainest way
// (E) and bare Qt OpenGL windows (B, C and D, see figures.h) from outside:
// they run in turn, A B C D E A B C D E ..., with a preloaded counter noting
// their buffer swaps, and real pointer input sent through the X server
// (XTest). First come StartRuns cheap starts of each, which end after the
// first frame, then the full runs.
//
//   windowbench [runs]      (default 7; needs DISPLAY)
//
// Prints each run's figures, then their medians, the ratios and whether the
// viewer meets its targets; exits with 1 when it misses one.
// Qt's headers come before Xlib's, whose macros clash with Qt's names.
#include <QByteArray>
#include <QString>
#include <QThread>

#include "figures.h"
#include "pointerinput.h"
#include "procstats.h"
#include "report.h"
#include "statistics.h"
#include "subject.h"
#include "xwindows.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdio>
#include <optional>

namespace {

constexpr const char *Title = "OpenGL ES 2.0, Qt6, C++";

// Resizes the window as a user dragging its border would, and waits until
// the program has drawn the new size.
bool resizeWindow(Display *display, Subject &subject, Window window, int side)
{
    XResizeWindow(display, window, unsigned(side), unsigned(side));
    XSync(display, False);
    QThread::msleep(200);
    subject.waitUntilIdle();
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) && attributes.width == side && attributes.height == side;
}

void fail(const char *what, const QString &program)
{
    std::fprintf(stderr, "windowbench: %s %s\n", qPrintable(program), what);
}

// The figures of pointer input: drags and single moves, all from one point
// of the program's window.
bool measureInput(Display *display, Subject &subject, SubjectId which, Window window, Figures &figures)
{
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 200, 250, &x, &y, &child);
    figures[BurstFrames] = drag(display, subject, x, y, BurstMoves, 0).frames;
    const DragCost paced = drag(display, subject, x, y, PacedMoves, PacedMoveIntervalUs);
    figures[DragFrames] = paced.frames;
    figures[DragCpuMs] = paced.cpuMs;
    figures[CpuPerFrameMs] = paced.cpuPerFrameMs();
    figures[LargeCpuPerFrameMs] = figures[LatencyMedianMs] = figures[LatencyP90Ms] = -1;
    if (!repaintsOnInput(which))
        return true;

    const std::vector<double> latencies = inputLatenciesMs(display, subject, x, y, LatencyMoves);
    if (latencies.empty())
        return false;
    figures[LatencyMedianMs] = median(latencies);
    figures[LatencyP90Ms] = quantile(latencies, 0.9);

    if (!resizeWindow(display, subject, window, LargeSide))
        return false;
    figures[LargeCpuPerFrameMs] = drag(display, subject, x, y, PacedMoves, PacedMoveIntervalUs).cpuPerFrameMs();
    return true;
}

std::optional<Figures> measure(Display *display, SubjectId which, const QString &program)
{
    // Let the previous program's exit and the X server settle first.
    QThread::msleep(500);
    Subject subject(program, QStringLiteral(SWAPCOUNTER_PATH));
    if (!subject.mapped())
        return std::nullopt;
    Figures figures{};
    if (subject.start() < 0) {
        fail("drew no frame (is the swap counter preloaded?)", program);
        return std::nullopt;
    }
    subject.waitUntilIdle(500);
    Window window = 0;
    for (int tries = 0; tries < 200 && !(window = findTopLevelWindow(display, Title)); ++tries)
        QThread::msleep(10);
    if (!window) {
        fail("showed no window with the viewer's title", program);
        return std::nullopt;
    }
    figures[ResidentMiB] = residentMiB(subject.pid());
    figures[ProportionalMiB] = proportionalMiB(subject.pid());

    const std::uint64_t idleStart = subject.swaps();
    QThread::sleep(2);
    figures[IdleFrames] = double(subject.swaps() - idleStart);

    if (!measureInput(display, subject, which, window, figures)) {
        fail("did not draw a frame for each move, or for its new size", program);
        return std::nullopt;
    }
    if (!subject.close(display, window)) {
        fail("did not exit cleanly when closed", program);
        return std::nullopt;
    }
    return figures;
}

// One start that ends after the first frame: milliseconds to that frame, or
// nothing on failure.
std::optional<double> measureStart(const QString &program)
{
    QThread::msleep(200);
    Subject subject(program, QStringLiteral(SWAPCOUNTER_PATH));
    const double ms = subject.mapped() ? subject.start() : -1;
    if (ms < 0) {
        fail("drew no frame (is the swap counter preloaded?)", program);
        return std::nullopt;
    }
    return ms;
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

    const QString programs[SubjectCount]
        = {QStringLiteral(ORBITVIEWER_PATH), QStringLiteral(BAREWINDOW_PATH), QStringLiteral(BAREWINDOW_WIDGETS_PATH),
           QStringLiteral(BAREWINDOW_REPAINT_PATH), QStringLiteral(DRAWINGWINDOW_PATH)};
    Results results;
    for (int start = 1; start <= StartRuns; ++start) {
        for (int which = 0; which < SubjectCount; ++which) {
            const std::optional<double> ms = measureStart(programs[which]);
            if (!ms)
                return 2;
            results.startMs[which].push_back(*ms);
        }
    }
    printStarts(results);
    for (int run = 1; run <= runs; ++run) {
        for (int which = 0; which < SubjectCount; ++which) {
            const auto subject = SubjectId(which);
            const std::optional<Figures> figures = measure(display, subject, programs[which]);
            if (!figures)
                return 2;
            results.runs[which].push_back(*figures);
            printRun(run, subject, *figures);
        }
    }
    XCloseDisplay(display);

    return printSummary(results) ? 0 : 1;
}
