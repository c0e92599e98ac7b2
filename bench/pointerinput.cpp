// Qt's headers come before Xlib's, whose macros clash with Qt's names.
#include <QThread>

#include "pointerinput.h"
#include "procstats.h"

#include <X11/extensions/XTest.h>

namespace {

// How long a subject must have drawn nothing before a latency probe.
constexpr int ProbeQuietMs = 50;
// A move that has drawn nothing after this long is taken as never drawn.
constexpr int ProbeTimeoutMs = 2000;

void press(Display *display, Subject &subject, int x, int y)
{
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    QThread::msleep(100);
    subject.waitUntilIdle();
}

void release(Display *display)
{
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
}

} // namespace

DragCost drag(Display *display, Subject &subject, int x, int y, int moves, int intervalUs)
{
    press(display, subject, x, y);
    const std::uint64_t swapsBefore = subject.swaps();
    const double cpuBefore = cpuMs(subject.pid());
    for (int i = 1; i <= moves; ++i) {
        // A zigzag that stays inside the window and keeps the pitch in range.
        XTestFakeMotionEvent(display, -1, x + (i % 40) * 2, y + ((i / 40) % 2 ? -1 : 1) * (i % 40), CurrentTime);
        if (intervalUs > 0) {
            XSync(display, False);
            QThread::usleep(intervalUs);
        }
    }
    XSync(display, False);
    QThread::msleep(100);
    subject.waitUntilIdle();
    DragCost cost;
    cost.frames = double(subject.swaps() - swapsBefore);
    cost.cpuMs = cpuMs(subject.pid()) - cpuBefore;
    release(display);
    return cost;
}

std::vector<double> inputLatenciesMs(Display *display, Subject &subject, int x, int y, int moves)
{
    press(display, subject, x, y);
    std::vector<double> latencies;
    for (int i = 0; i < moves; ++i) {
        subject.waitUntilIdle(ProbeQuietMs);
        const std::uint64_t swapsBefore = subject.swaps();
        const std::int64_t sentNs = monotonicNs();
        // Back and forth by a few pixels: every move is a real one.
        XTestFakeMotionEvent(display, -1, x + (i % 2 ? 3 : -3), y, CurrentTime);
        XSync(display, False);
        if (!subject.waitForSwapsAbove(swapsBefore, ProbeTimeoutMs)) {
            latencies.clear();
            break;
        }
        latencies.push_back(double(subject.lastSwapNs() - sentNs) / 1e6);
    }
    release(display);
    return latencies;
}
