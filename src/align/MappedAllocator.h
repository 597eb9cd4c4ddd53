#pragma once
// An allocator for the analysis's big arrays (minutes of sound, FFT buffers): each array gets
// pages of its own from the system and gives them back when freed. glibc keeps freed blocks
// of up to 32 MB in its per-thread heaps, so arrays freed by one worker thread would stay
// resident beside those the next one allocates.
#include <sys/mman.h>

#include <cstddef>
#include <new>
#include <vector>

template <class T> struct MappedAllocator {
    using value_type = T;
    MappedAllocator() = default;
    template <class U> MappedAllocator(const MappedAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n == 0) {
            n = 1;
        }
        void* p = mmap(nullptr, n * sizeof(T), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) {
            throw std::bad_alloc();
        }
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept { munmap(p, (n == 0 ? 1 : n) * sizeof(T)); }

    template <class U> bool operator==(const MappedAllocator<U>&) const noexcept { return true; }
};

template <class T> using MappedVector = std::vector<T, MappedAllocator<T>>;
