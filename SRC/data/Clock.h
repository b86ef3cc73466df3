#pragma once
#include <cstdint>

// The 32-bit millisecond up-time counter every deadline of the system is measured on.
uint32_t GetTickCount();

// A moment t has passed when t - now, taken as a signed 32-bit number, is negative:
// the counter's wrap-around does no harm, and t == now has not yet passed.
constexpr bool TickPassed(uint32_t t, uint32_t now)
{
    return static_cast<int32_t>(t - now) < 0;
}

// Tests replace the clock here (nullptr restores CLOCK_MONOTONIC), so that wrap-around and exact
// deadlines can be tested without waiting.
using TickSource = uint32_t (*)();
void SetTickSource(TickSource source);
