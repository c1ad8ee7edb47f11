#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>

// Large working arrays. On these machines the first touch of each small page costs about as much as
// formatting a line, so arrays of many megabytes are backed by huge pages where the system offers them:
// the array is placed on a huge-page boundary and the system is asked to back it so (posix/Memory.cpp;
// windows/Memory.cpp keeps plain allocation).
namespace quorix::memory {

// The size of the pages that AdviseHugePages asks for, 0 where the module asks for none.
size_t HugePageBytes();
// Asks the system to back the whole pages of [data, data + bytes) with huge pages; a hint that may be
// refused, and changes nothing that the program sees.
void AdviseHugePages(void* data, size_t bytes);

// An array of `size` elements of a trivial type, left uninitialised, allocated with operator new (so that
// running out of memory throws std::bad_alloc as everywhere else). From one huge page on, it starts on a
// huge-page boundary and is advised for huge pages: the allocation then takes one huge page more of
// address space, of which only the first small page is ever touched.
template <typename T> class LargeArray {
    static_assert(std::is_trivial<T>::value, "the elements are left uninitialised");
    static_assert(alignof(T) <= alignof(std::max_align_t), "operator new aligns them");

public:
    LargeArray() = default;
    explicit LargeArray(size_t size) { Allocate(size); }

    // Allocates room for `size` elements, dropping what was held.
    void Allocate(size_t size) {
        storage.reset();
        data = nullptr;
        count = 0;
        if (size == 0) {
            return;
        }
        const size_t huge = HugePageBytes();
        if (size > (SIZE_MAX - huge) / sizeof(T)) {
            throw std::bad_alloc();
        }
        const size_t bytes = size * sizeof(T);
        const size_t slack = huge != 0 && bytes >= huge ? huge : 0;
        storage.reset(new char[bytes + slack]);
        char* start = storage.get();
        if (slack != 0) {
            const auto at = reinterpret_cast<uintptr_t>(start);
            start += (slack - at % slack) % slack;
            AdviseHugePages(start, bytes);
        }
        data = reinterpret_cast<T*>(start);
        count = size;
    }

    size_t size() const { return count; }
    T* begin() { return data; }
    T* end() { return data + count; }
    const T* begin() const { return data; }
    const T* end() const { return data + count; }
    T& operator[](size_t i) { return data[i]; }
    const T& operator[](size_t i) const { return data[i]; }

private:
    std::unique_ptr<char[]> storage;
    T* data = nullptr;
    size_t count = 0;
};

} // namespace quorix::memory
