#pragma once

#include <atomic>
#include <vector>

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

/** The call stack of one counted event, kept so that a test can say whose code caused it. */
struct CapturedStack
{
    enum class Kind { allocation, lockWait, lockAcquisition };
    static constexpr int maxFrames = 64;

    Kind kind = Kind::allocation;
    int depth = 0;
    void* frames[maxFrames] {};
};

/** While on, every counted allocation and lock wait, and the first few lock acquisitions, also
    keep their call stacks (up to a fixed number, in memory reserved up front). */
void captureStacks (bool shouldCapture) noexcept;

/** The stacks kept since the last reset. Call it when no thread is counting. */
std::vector<CapturedStack> capturedStacks();
} // namespace RealtimeHooks
