// Preloaded (LD_PRELOAD) into a program under measurement: counts the
// program's GLX buffer swaps and notes when the first and the last one
// returned, in the file named by ORBITVIEWER_SWAP_STATS. The program itself
// is not changed, so the figures are those of the binary as shipped.
#include "swapstats.h"

#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

namespace {

SwapStats *mapStats()
{
    const char *path = std::getenv(SwapStatsVariable);
    if (!path)
        return nullptr;
    const int fd = open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    void *mapped = mmap(nullptr, sizeof(SwapStats), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    return mapped == MAP_FAILED ? nullptr : static_cast<SwapStats *>(mapped);
}

} // namespace

extern "C" void glXSwapBuffers(Display *dpy, GLXDrawable drawable)
{
    using SwapBuffers = void (*)(Display *, GLXDrawable);
    static const auto next = reinterpret_cast<SwapBuffers>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    static SwapStats *const stats = mapStats();

    next(dpy, drawable);
    if (!stats)
        return;
    const std::int64_t now = monotonicNs();
    std::int64_t none = 0;
    stats->firstSwapNs.compare_exchange_strong(none, now);
    stats->lastSwapNs.store(now);
    stats->swaps.fetch_add(1);
}
