#include "platform/HeapRelease.h"

#include <malloc.h>

void ShareTwoHeaps() {
    mallopt(M_ARENA_MAX, 2);
}

void ReleaseFreeHeapMemory() {
    malloc_trim(0);
}
