#ifndef SWAPSTATS_H
#define SWAPSTATS_H

#include <atomic>
#include <cstdint>
#include <ctime>

// Shared, through a mapped file, between the swap counter preloaded into a
// program under measurement and the benchmark that reads it. Times are
// CLOCK_MONOTONIC nanoseconds, comparable across processes.
struct SwapStats
{
    std::atomic<std::uint64_t> swaps;
    std::atomic<std::int64_t> firstSwapNs;
    std::atomic<std::int64_t> lastSwapNs;
};

static_assert(std::atomic<std::uint64_t>::is_always_lock_free && std::atomic<std::int64_t>::is_always_lock_free,
              "the counters are shared between processes");

inline std::int64_t monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The variable that names the file to the preloaded counter.
constexpr const char *SwapStatsVariable = "ORBITVIEWER_SWAP_STATS";

#endif // SWAPSTATS_H
