#include "data/Clock.h"

#include <atomic>
#include <ctime>

namespace {
std::atomic<TickSource> g_tickSource{nullptr};

uint32_t MonotonicMilliseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}
} // namespace

uint32_t GetTickCount()
{
    const TickSource source = g_tickSource.load(std::memory_order_acquire);
    return source ? source() : MonotonicMilliseconds();
}

void SetTickSource(TickSource source)
{
    g_tickSource.store(source, std::memory_order_release);
}
