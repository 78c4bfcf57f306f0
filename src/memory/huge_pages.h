// Memory in huge pages, where the system offers them, for the few large blocks of a pass.
// The word table's arrays are read at random places for every word of the page, so on a
// page with a hundred thousand distinct words most reads miss the cache, and with ordinary
// 4 KiB pages most also miss the address translation (twice over in a virtual machine).
// A page read whole costs one fault for every 4 KiB otherwise.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace lumora::memory {

// From 2 MiB on, a block of its own, mapped in huge pages; smaller blocks come from the
// heap as usual.
void* AllocateLarge(std::size_t bytes);
void FreeLarge(void* block, std::size_t bytes);

// Asks for huge pages under the whole 2 MiB stretches of a block that is about to be
// filled. Advice only: nothing changes where the system does not take it.
void AdviseHugePages(void* block, std::size_t bytes);

template <class T>
struct LargeArrayAllocator {
    using value_type = T;

    LargeArrayAllocator() = default;
    template <class U>
    LargeArrayAllocator(const LargeArrayAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(AllocateLarge(n * sizeof(T)));
    }
    void deallocate(T* block, std::size_t n) noexcept { FreeLarge(block, n * sizeof(T)); }

    template <class U>
    bool operator==(const LargeArrayAllocator<U>&) const noexcept {
        return true;
    }
};

template <class T>
using LargeArray = std::vector<T, LargeArrayAllocator<T>>;

}  // namespace lumora::memory
