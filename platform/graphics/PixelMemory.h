#pragma once
// Where the pixel buffers of surfaces and decoded pictures lie in memory. Copies and blends
// between two buffers slow down several times when their addresses agree in the low 12 bits up
// to a few dozen bytes (the processor takes a load for a hit on an earlier store to the other
// buffer), and where the heap puts two large buffers is chance: the same effect ran 4x slower
// or not depending on what had been allocated before. A large buffer therefore starts on a page
// boundary plus an offset of its own, a multiple of 64 bytes that changes from one buffer to
// the next, so that two large buffers never lie a few bytes apart modulo a page.
#include <cstddef>
#include <new>
#include <vector>

#include "platform/system/Types.h"

namespace pixel_memory {
// Buffers from this size on are placed; smaller ones come from the heap as they are.
constexpr std::size_t kPlacedBytes = 16384;
constexpr std::size_t kPage = 4096;
// Gives bytes (at least kPlacedBytes) at a page boundary plus the next placement offset; the
// pointer goes back through Release with the same size.
void* Place(std::size_t bytes);
void Release(void* p, std::size_t bytes) noexcept;
// The offset (modulo a page) the n-th placed buffer gets.
std::size_t OffsetOf(std::size_t n);
} // namespace pixel_memory

template <class T>
struct PixelAllocator {
    using value_type = T;
    PixelAllocator() = default;
    template <class U>
    PixelAllocator(const PixelAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < pixel_memory::kPlacedBytes) return static_cast<T*>(::operator new(bytes));
        return static_cast<T*>(pixel_memory::Place(bytes));
    }
    void deallocate(T* p, std::size_t n) noexcept {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < pixel_memory::kPlacedBytes) ::operator delete(p);
        else pixel_memory::Release(p, bytes);
    }
    template <class U>
    bool operator==(const PixelAllocator<U>&) const noexcept {
        return true;
    }
};

// A run of pixels (or of picture samples) that may take part in large copies.
using PixelVector = std::vector<u32, PixelAllocator<u32>>;
