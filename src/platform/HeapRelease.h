#pragma once
// The C library's allocator under a video player. Decoded 1080p frames are megabytes each and
// are made and freed on GStreamer's many streaming threads. glibc serves such blocks from mmap at
// first, but each one freed raises its threshold, so that later frames land in the per-thread
// heaps, which fragment and keep their memory when a set closes: without these two steps the
// resident memory grew by about 20 MB with every set opened and closed.

// Keeps large blocks (128 KiB and up) in their own mappings, given back when freed. Call once at
// start, before the streaming threads run.
void KeepLargeBlocksOutOfTheHeap();

// Hands the free memory of every heap back to the system (after a set closes).
void ReleaseFreeHeapMemory();
