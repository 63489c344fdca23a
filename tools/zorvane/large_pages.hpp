// Asks the system to back a large block just reserved with large pages.
// A million bars fill tens of megabytes of fresh memory; in 4 KiB pages that
// is over ten thousand page faults, which cost more (in virtual machines
// above all) than parsing the numbers that fill them. Only a hint: where it
// is not available or not granted, nothing changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace zorvane_cli {

inline void preferLargePages([[maybe_unused]] const void* data, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
    // The whole large pages inside the block: the advice never reaches memory beyond it.
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kLargePage - 1) & ~(kLargePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kLargePage - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

// Maps the pages of a block about to be filled in one call, not one fault
// per page: in a virtual machine each fault is a costly trip through the
// host. Only for blocks that will be filled (the pages count as used).
inline void prefault([[maybe_unused]] const void* data, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    constexpr std::uintptr_t kPage = 4096;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kPage - 1) & ~(kPage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kPage - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#endif
}

// Blocks of a large page or more aligned to large pages and advised to be
// backed by them: for the columns a million bars fill. Mapping such a block
// (prefault, FreshMemoryAhead) pays for all of its fresh memory; a block in
// small pages still costs the first use of each page after mapping, in a
// virtual machine.
template <class T>
struct LargeBlockAllocator {
    using value_type = T;
    static constexpr std::size_t kLargePage = std::size_t{2} << 20;

    LargeBlockAllocator() = default;
    template <class U>
    LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > SIZE_MAX / sizeof(T) - kLargePage) throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kLargePage) return static_cast<T*>(::operator new(bytes));
        const std::size_t whole = (bytes + kLargePage - 1) & ~(kLargePage - 1);
        void* block = ::operator new(whole, std::align_val_t{kLargePage});
        preferLargePages(block, whole);
        return static_cast<T*>(block);
    }
    void deallocate(T* block, std::size_t n) noexcept {
        if (n * sizeof(T) < kLargePage)
            ::operator delete(block);
        else
            ::operator delete(block, std::align_val_t{kLargePage});
    }
    template <class U>
    bool operator==(const LargeBlockAllocator<U>&) const noexcept {
        return true;
    }
    template <class U>
    bool operator!=(const LargeBlockAllocator<U>&) const noexcept {
        return false;
    }
};

// A column of a million bars' prices or outputs.
using FloatColumn = std::vector<float, LargeBlockAllocator<float>>;

template <class Container>
void prefaultFor(const Container& reserved) {
    prefault(reserved.data(), reserved.capacity() * sizeof(*reserved.data()));
}

// The same for the room a vector or string has reserved.
template <class Container>
void preferLargePagesFor(const Container& reserved) {
    preferLargePages(reserved.data(), reserved.capacity() * sizeof(*reserved.data()));
}

}  // namespace zorvane_cli
