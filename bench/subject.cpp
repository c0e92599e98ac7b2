#include "subject.h"

#include <QProcessEnvironment>

#include "xwindows.h"

#include <sys/mman.h>
#include <unistd.h>

Subject::Subject(const QString &program, const QString &counter)
{
    if (statsFile.open() && statsFile.resize(sizeof(SwapStats))) {
        void *shared = mmap(nullptr, sizeof(SwapStats), PROT_READ | PROT_WRITE, MAP_SHARED, statsFile.handle(), 0);
        if (shared != MAP_FAILED)
            stats = static_cast<SwapStats *>(shared);
    }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_PRELOAD"), counter);
    environment.insert(QString::fromLatin1(SwapStatsVariable), statsFile.fileName());
    // The counter sees GLX swaps; keep Qt from choosing EGL instead.
    environment.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("xcb_glx"));
    process.setProcessEnvironment(environment);
    process.setProgram(program);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
}

Subject::~Subject()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    if (stats)
        munmap(stats, sizeof(SwapStats));
}

double Subject::start()
{
    const std::int64_t startNs = monotonicNs();
    process.start();
    if (!process.waitForStarted())
        return -1;
    if (!waitForSwapsAbove(0, 20000))
        return -1;
    return double(stats->firstSwapNs.load() - startNs) / 1e6;
}

void Subject::waitUntilIdle(int quietMs) const
{
    const std::int64_t quietNs = std::int64_t(quietMs) * 1000000;
    while (monotonicNs() - stats->lastSwapNs.load() < quietNs)
        usleep(1000);
}

bool Subject::waitForSwapsAbove(std::uint64_t count, int timeoutMs)
{
    // Polled finely: the times reported come from the counter, not from this
    // loop, but a slow poll would delay the next measurement.
    const std::int64_t deadline = monotonicNs() + std::int64_t(timeoutMs) * 1000000;
    while (swaps() <= count) {
        if (monotonicNs() > deadline || ended())
            return false;
        usleep(200);
    }
    return true;
}

bool Subject::ended()
{
    return process.state() == QProcess::NotRunning || process.waitForFinished(0);
}

bool Subject::close(Display *display, Window window)
{
    requestClose(display, window);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}
