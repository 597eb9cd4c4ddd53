#include "platform/HeapRelease.h"

#include <malloc.h>

namespace {
// glibc's own starting threshold; setting it explicitly also stops it from moving.
constexpr int kMmapThreshold = 128 * 1024;
} // namespace

void KeepLargeBlocksOutOfTheHeap() {
    mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
}

void ReleaseFreeHeapMemory() {
    malloc_trim(0);
}
