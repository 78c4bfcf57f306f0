// Storage for the word table's large arrays. The pass reads them at random places for
// every word of the page, so on a page with a hundred thousand distinct words most reads
// miss the cache, and with ordinary 4 KiB pages most also miss the address translation
// (twice over in a virtual machine). From 2 MiB on, an array is therefore mapped in whole
// huge pages where the system offers them; smaller arrays come from the heap as usual.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace lumora::words {

void* AllocateLarge(std::size_t bytes);
void FreeLarge(void* block, std::size_t bytes);

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

}  // namespace lumora::words
