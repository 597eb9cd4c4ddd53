#include "platform/HeapRelease.h"

#include <malloc.h>

void ReleaseFreeHeapMemory() {
    malloc_trim(0);
}
