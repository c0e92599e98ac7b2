#ifndef SUBJECT_H
#define SUBJECT_H

#include "swapstats.h"

#include <QProcess>
#include <QString>
#include <QTemporaryFile>

#include <X11/Xlib.h>

// One program under measurement, started with the swap counter preloaded,
// so that its buffer swaps can be counted and timed from outside.
class Subject
{
public:
    Subject(const QString &program, const QString &counter);
    ~Subject();
    Subject(const Subject &) = delete;
    Subject &operator=(const Subject &) = delete;

    bool mapped() const { return stats != nullptr; }
    qint64 pid() const { return process.processId(); }
    std::uint64_t swaps() const { return stats->swaps.load(); }
    std::int64_t lastSwapNs() const { return stats->lastSwapNs.load(); }

    // Returns the time from starting the process to the return of its first
    // buffer swap, in milliseconds, or a negative value on failure.
    double start();

    // Waits until no frame has been swapped for quietMs.
    void waitUntilIdle(int quietMs = 300) const;

    // Waits until more than `count` swaps have returned; false after
    // timeoutMs without one.
    bool waitForSwapsAbove(std::uint64_t count, int timeoutMs);

    // Closes the window as a desktop would; true when the program then ends
    // normally with status 0.
    bool close(Display *display, Window window);

private:
    // Whether the program has ended; QProcess only notices that when asked.
    bool ended();

    QTemporaryFile statsFile;
    SwapStats *stats = nullptr;
    QProcess process;
};

#endif // SUBJECT_H
