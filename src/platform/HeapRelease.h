#pragma once
// The C library's allocator under a video player. Decoded frames are megabytes each and live in
// buffer pools that GStreamer's streaming threads allocate from; glibc gives each thread that
// meets a busy heap a heap of its own (up to eight per processor), and the frames spread over
// those heaps keep more memory than they use. When a set closes, the pools go and their memory
// is free but still held by the heaps until handed back.

// Lets all threads share two heaps. Measured with four 1080p channels: resident memory with the
// set closed 96 MB instead of 137 MB, the peak 403 MB instead of 451 MB, and no more CPU side
// by side. Call once at start, before any thread runs.
void ShareTwoHeaps();

// Hands the free memory of every heap back to the system (after a set closes).
void ReleaseFreeHeapMemory();
