#include "RealtimeHooks.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <pthread.h>

extern "C"
{
void* __libc_malloc (size_t);
void* __libc_calloc (size_t, size_t);
void* __libc_realloc (void*, size_t);
void* __libc_memalign (size_t, size_t);
void __libc_free (void*);
}

namespace
{
thread_local bool countingHere = false;
std::atomic<long> allocations { 0 }, fileOpens { 0 }, lockAcquisitions { 0 }, lockWaits { 0 };

using LockFunction = int (*) (pthread_mutex_t*);
using OpenFunction = int (*) (const char*, int, ...);
using FopenFunction = FILE* (*) (const char*, const char*);

// Resolved before main; while dlsym itself runs they are still null (see pthread_mutex_lock).
LockFunction realLock = nullptr;
OpenFunction realOpen = nullptr, realOpen64 = nullptr;
FopenFunction realFopen = nullptr;

__attribute__ ((constructor (101))) void resolveRealFunctions()
{
    auto lock = reinterpret_cast<LockFunction> (dlsym (RTLD_NEXT, "pthread_mutex_lock"));
    realOpen = reinterpret_cast<OpenFunction> (dlsym (RTLD_NEXT, "open"));
    realOpen64 = reinterpret_cast<OpenFunction> (dlsym (RTLD_NEXT, "open64"));
    realFopen = reinterpret_cast<FopenFunction> (dlsym (RTLD_NEXT, "fopen"));
    realLock = lock;
}

// Room for the stacks of counted events, reserved before main; unwinding runs inside the hooks, so
// a hook that is already unwinding does not record again.
constexpr int maxStacks = 2048, maxAcquisitionStacks = 64;
RealtimeHooks::CapturedStack stacks[maxStacks];
std::atomic<int> numStacks { 0 }, numAcquisitionStacks { 0 };
std::atomic<bool> capturing { false };
thread_local bool unwinding = false;

__attribute__ ((constructor (102))) void warmUpUnwinder()
{
    // The first backtrace loads the unwinder, which allocates: do it once here.
    void* frames[4];
    backtrace (frames, 4);
}

void capture (RealtimeHooks::CapturedStack::Kind kind) noexcept
{
    if (! capturing.load (std::memory_order_relaxed) || unwinding)
        return;

    if (kind == RealtimeHooks::CapturedStack::Kind::lockAcquisition
        && numAcquisitionStacks.fetch_add (1, std::memory_order_relaxed) >= maxAcquisitionStacks)
        return;

    const auto slot = numStacks.fetch_add (1, std::memory_order_relaxed);

    if (slot >= maxStacks)
        return;

    unwinding = true;
    auto& stack = stacks[slot];
    stack.kind = kind;
    stack.depth = backtrace (stack.frames, RealtimeHooks::CapturedStack::maxFrames);
    unwinding = false;
}

void noteAllocation() noexcept
{
    if (countingHere && ! unwinding)
    {
        allocations.fetch_add (1, std::memory_order_relaxed);
        capture (RealtimeHooks::CapturedStack::Kind::allocation);
    }
}

void noteOpen() noexcept
{
    if (countingHere)
        fileOpens.fetch_add (1, std::memory_order_relaxed);
}
} // namespace

namespace RealtimeHooks
{
void countOnThisThread (bool shouldCount) noexcept { countingHere = shouldCount; }

Counts counted() noexcept
{
    return { allocations.load(), fileOpens.load(), lockAcquisitions.load(), lockWaits.load() };
}

void reset() noexcept
{
    allocations = 0;
    fileOpens = 0;
    lockAcquisitions = 0;
    lockWaits = 0;
    numStacks = 0;
    numAcquisitionStacks = 0;
}

void captureStacks (bool shouldCapture) noexcept { capturing = shouldCapture; }

std::vector<CapturedStack> capturedStacks()
{
    const auto n = std::min (numStacks.load(), maxStacks);
    return { stacks, stacks + n };
}
} // namespace RealtimeHooks

extern "C"
{
void* malloc (size_t size) { noteAllocation(); return __libc_malloc (size); }
void* calloc (size_t n, size_t size) { noteAllocation(); return __libc_calloc (n, size); }
void* realloc (void* p, size_t size) { noteAllocation(); return __libc_realloc (p, size); }
void free (void* p) { __libc_free (p); }
void* memalign (size_t alignment, size_t size) { noteAllocation(); return __libc_memalign (alignment, size); }
void* aligned_alloc (size_t alignment, size_t size) { noteAllocation(); return __libc_memalign (alignment, size); }

int posix_memalign (void** out, size_t alignment, size_t size)
{
    noteAllocation();
    *out = __libc_memalign (alignment, size);
    return *out != nullptr ? 0 : 12;
}

int open (const char* path, int flags, ...)
{
    noteOpen();
    va_list args;
    va_start (args, flags);
    const auto mode = (flags & O_CREAT) != 0 ? va_arg (args, int) : 0;
    va_end (args);
    return realOpen (path, flags, mode);
}

int open64 (const char* path, int flags, ...)
{
    noteOpen();
    va_list args;
    va_start (args, flags);
    const auto mode = (flags & O_CREAT) != 0 ? va_arg (args, int) : 0;
    va_end (args);
    return realOpen64 (path, flags, mode);
}

FILE* fopen (const char* path, const char* mode)
{
    noteOpen();
    return realFopen (path, mode);
}

int pthread_mutex_lock (pthread_mutex_t* mutex)
{
    if (realLock == nullptr)
    {
        // Only while the real function is being looked up, before main.
        while (pthread_mutex_trylock (mutex) != 0) {}
        return 0;
    }

    if (countingHere && ! unwinding)
    {
        lockAcquisitions.fetch_add (1, std::memory_order_relaxed);

        if (pthread_mutex_trylock (mutex) == 0)
        {
            capture (RealtimeHooks::CapturedStack::Kind::lockAcquisition);
            return 0;
        }

        lockWaits.fetch_add (1, std::memory_order_relaxed);
        capture (RealtimeHooks::CapturedStack::Kind::lockWait);
    }

    return realLock (mutex);
}
}
