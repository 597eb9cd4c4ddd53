// Counts the large heap allocations of a process: an LD_PRELOAD shim over malloc, calloc, realloc
// and the aligned allocators. Every allocation of ALLOC_COUNT_MIN bytes or more (64 KiB unless
// set) is counted in the second of the process's life it was made in; at exit the counts are
// written to ALLOC_COUNT_OUT (one "second count" line each), followed by the most frequent call
// stacks of the allocations made from second ALLOC_COUNT_FROM on (default 2), so a stray
// per-frame allocation can be found.
//
//   LD_PRELOAD=build/bench/liballoc_count.so ALLOC_COUNT_OUT=/tmp/a.txt tetrav ...
#include <atomic>
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
}

namespace {

constexpr int kSeconds = 4096;
constexpr int kStacks = 64;
constexpr int kDepth = 10;

std::atomic<unsigned long> g_perSecond[kSeconds];
struct timespec g_start;
size_t g_min = 64 * 1024;
std::atomic<int> g_window{0}; // 0 before, 1 inside, 2 after the window
std::atomic<unsigned long> g_inWindow{0};
int g_ready;
__attribute__((tls_model("initial-exec"))) thread_local int t_inside;

struct Stack {
    void* frames[kDepth];
    int depth;
    unsigned long count;
    size_t bytes;
};
struct Stack g_stacks[kStacks];
std::atomic_flag g_stackLock = ATOMIC_FLAG_INIT;

long secondsNow(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return long(now.tv_sec - g_start.tv_sec) - (now.tv_nsec < g_start.tv_nsec ? 1 : 0);
}

void keepStack(size_t size) {
    void* frames[kDepth + 2];
    const int n = backtrace(frames, kDepth + 2) - 2; // less this function and the hook
    if (n <= 0) {
        return;
    }
    while (g_stackLock.test_and_set(std::memory_order_acquire)) {
    }
    for (int i = 0; i < kStacks; ++i) {
        struct Stack* s = &g_stacks[i];
        if (s->depth == 0) {
            memcpy(s->frames, frames + 2, sizeof(void*) * size_t(n));
            s->depth = n;
        }
        if (s->depth == n && memcmp(s->frames, frames + 2, sizeof(void*) * size_t(n)) == 0) {
            s->count++;
            s->bytes = size;
            break;
        }
    }
    g_stackLock.clear(std::memory_order_release);
}

void count(size_t size) {
    if (!g_ready || size < g_min || t_inside) {
        return;
    }
    t_inside = 1;
    const long s = secondsNow();
    if (s >= 0 && s < kSeconds) {
        g_perSecond[s].fetch_add(1, std::memory_order_relaxed);
    }
    if (g_window.load(std::memory_order_relaxed) == 1) {
        g_inWindow.fetch_add(1, std::memory_order_relaxed);
        keepStack(size);
    }
    t_inside = 0;
}

} // namespace

extern "C" {

void* malloc(size_t size) noexcept {
    count(size);
    return __libc_malloc(size);
}

void* calloc(size_t n, size_t size) noexcept {
    count(n * size);
    return __libc_calloc(n, size);
}

void* realloc(void* p, size_t size) noexcept {
    count(size);
    return __libc_realloc(p, size);
}

void* memalign(size_t alignment, size_t size) noexcept {
    count(size);
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) noexcept {
    count(size);
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
    count(size);
    void* p = __libc_memalign(alignment, size);
    if (!p) {
        return 12; // ENOMEM
    }
    *out = p;
    return 0;
}

} // extern "C"

namespace {

__attribute__((constructor)) void start(void) {
    clock_gettime(CLOCK_MONOTONIC, &g_start);
    const char* min = getenv("ALLOC_COUNT_MIN");
    if (min) {
        g_min = size_t(strtoul(min, nullptr, 10));
    }
    unsetenv("LD_PRELOAD"); // the programs this one starts are not measured
    struct sigaction action {};
    action.sa_handler = [](int) { g_window.fetch_add(1); };
    action.sa_flags = SA_RESTART;
    sigaction(SIGUSR2, &action, nullptr);
    void* prime[2];
    t_inside = 1;
    backtrace(prime, 2); // loads the unwinder now, not inside a hook
    t_inside = 0;
    g_ready = 1;
}

__attribute__((destructor)) void finish(void) {
    const char* path = getenv("ALLOC_COUNT_OUT");
    if (!path) {
        return;
    }
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    g_ready = 0;
    const long last = secondsNow();
    char line[64];
    const int w = snprintf(line, sizeof line, "window %lu\n", g_inWindow.load());
    if (write(fd, line, size_t(w)) != w) {
        close(fd);
        return;
    }
    for (long s = 0; s <= last && s < kSeconds; ++s) {
        const int n = snprintf(line, sizeof line, "%ld %lu\n", s, g_perSecond[s].load());
        if (write(fd, line, size_t(n)) != n) {
            break;
        }
    }
    for (int i = 0; i < kStacks && g_stacks[i].depth > 0; ++i) {
        const int n =
            snprintf(line, sizeof line, "stack %lu x %zu bytes\n", g_stacks[i].count, g_stacks[i].bytes);
        if (write(fd, line, size_t(n)) != n) {
            break;
        }
        backtrace_symbols_fd(g_stacks[i].frames, g_stacks[i].depth, fd);
    }
    close(fd);
}

} // namespace
