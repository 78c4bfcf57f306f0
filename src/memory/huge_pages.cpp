#include "memory/huge_pages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace lumora::memory {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t bytes) {
    return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

}  // namespace

#if defined(__linux__) && defined(MADV_HUGEPAGE)

void* AllocateLarge(std::size_t bytes) {
    if (bytes < kHugePage)
        return ::operator new(bytes);
    // One huge page more than needed, so that the block can start on a huge-page boundary;
    // the parts before and after it go back at once.
    const std::size_t size = RoundUp(bytes);
    void* mapped =
        mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start)
        munmap(mapped, aligned - start);
    if (const std::uintptr_t tail = start + size + kHugePage - (aligned + size); tail > 0)
        munmap(reinterpret_cast<void*>(aligned + size), tail);
    // Only advice: where huge pages are not to be had, the block works as it is.
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void FreeLarge(void* block, std::size_t bytes) {
    if (block == nullptr)
        return;
    if (bytes < kHugePage) {
        ::operator delete(block);
        return;
    }
    munmap(block, RoundUp(bytes));
}

void AdviseHugePages(void* block, std::size_t bytes) {
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
    if (end > first)
        madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

#else

void* AllocateLarge(std::size_t bytes) {
    return ::operator new(bytes);
}

void FreeLarge(void* block, std::size_t) {
    ::operator delete(block);
}

void AdviseHugePages(void*, std::size_t) {}

#endif

}  // namespace lumora::memory
