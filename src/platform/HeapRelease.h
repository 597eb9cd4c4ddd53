#pragma once
// The C library's allocator under a video player. Decoded frames are megabytes each and live in
// buffer pools that GStreamer's streaming threads allocate from the per-thread heaps. When a set
// closes, the pools go and their memory is free but still held by those heaps; handing it back
// keeps the resident memory flat from one set to the next.

// Hands the free memory of every heap back to the system (after a set closes).
void ReleaseFreeHeapMemory();
