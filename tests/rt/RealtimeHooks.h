#pragma once

#include <atomic>

/** Counts, on threads that ask for it, what the audio thread must never do: heap allocations, file
    opens and lock acquisitions that had to wait. The test binary replaces malloc, open and
    pthread_mutex_lock with counting versions (see RealtimeHooks.cpp). */
namespace RealtimeHooks
{
struct Counts
{
    long allocations = 0;
    long fileOpens = 0;
    long lockAcquisitions = 0;
    long lockWaits = 0;
};

/** Starts or stops counting on the calling thread. */
void countOnThisThread (bool shouldCount) noexcept;

/** What has been counted so far on counting threads. */
Counts counted() noexcept;
void reset() noexcept;
} // namespace RealtimeHooks
