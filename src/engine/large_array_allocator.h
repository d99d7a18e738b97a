// An allocator for arrays of many megabytes (key tables, row lists). Fresh memory is given to a
// process a 4 KB page at a time, each on its first touch, and on some machines each such fault
// costs more than filling the page: arrays of 2 MB and more are laid on 2 MB boundaries and the
// system is asked to back them with pages of that size where it offers them. Smaller arrays come
// from the usual heap.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace pc {

namespace large_array {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

inline std::size_t mappedSize(std::size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

inline void* allocate(std::size_t bytes) {
    if (bytes < kHugePage) return ::operator new(bytes);
    const std::size_t size = mappedSize(bytes);
    void* raw = ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    // The mapping is cut back to the aligned part, so that all of it can take large pages.
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > start) ::munmap(raw, aligned - start);
    if (aligned + size < start + size + kHugePage)
        ::munmap(reinterpret_cast<void*>(aligned + size), start + kHugePage - aligned);
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(aligned);
}

inline void deallocate(void* p, std::size_t bytes) {
    if (bytes < kHugePage)
        ::operator delete(p);
    else
        ::munmap(p, mappedSize(bytes));
}

// `bytes` of zeros: fresh mappings are zero already, so only the heap's small arrays are filled.
inline void* allocateZeroed(std::size_t bytes) {
    void* p = allocate(bytes);
    if (bytes < kHugePage) std::memset(p, 0, bytes);
    return p;
}

}  // namespace large_array

template <typename T>
struct LargeArrayAllocator {
    using value_type = T;
    LargeArrayAllocator() = default;
    template <typename U>
    LargeArrayAllocator(const LargeArrayAllocator<U>&) {}
    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(large_array::allocate(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) { large_array::deallocate(p, n * sizeof(T)); }
    template <typename U>
    bool operator==(const LargeArrayAllocator<U>&) const {
        return true;
    }
};

// A fixed number of zeroed elements of a trivial type, from allocateZeroed.
template <typename T>
class ZeroedArray {
    static_assert(std::is_trivially_copyable_v<T>, "its elements are bytes set to zero");

  public:
    ZeroedArray() = default;
    explicit ZeroedArray(std::size_t count)
        : data_(count ? static_cast<T*>(large_array::allocateZeroed(count * sizeof(T))) : nullptr),
          size_(count) {}
    ZeroedArray(ZeroedArray&& o) noexcept : data_(o.data_), size_(o.size_) {
        o.data_ = nullptr;
        o.size_ = 0;
    }
    ZeroedArray& operator=(ZeroedArray&& o) noexcept {
        std::swap(data_, o.data_);
        std::swap(size_, o.size_);
        return *this;
    }
    ~ZeroedArray() {
        if (data_) large_array::deallocate(data_, size_ * sizeof(T));
    }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }

  private:
    T* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace pc
