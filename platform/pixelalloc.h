// Storage of bitmap pixels: a vector whose elements are left uninitialised
// when it grows (the bitmap decides what to write), and whose large blocks
// are aligned to and advised for transparent huge pages, so a reader filling
// a big image takes a few faults per 2 MiB instead of one per 4 KiB page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace pictavo {

void* PVAllocPixels(size_t bytes);
void PVFreePixels(void* p) noexcept;

template <typename T>
struct PVPixelAllocator {
  using value_type = T;
  PVPixelAllocator() = default;
  template <typename U>
  PVPixelAllocator(const PVPixelAllocator<U>&) noexcept {}
  T* allocate(size_t n) { return static_cast<T*>(PVAllocPixels(n * sizeof(T))); }
  void deallocate(T* p, size_t) noexcept { PVFreePixels(p); }
  // Default-initialisation: no zero fill when the vector grows.
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(static_cast<Args&&>(args)...);
  }
  template <typename U>
  bool operator==(const PVPixelAllocator<U>&) const noexcept {
    return true;
  }
};

using PVPixelVector = std::vector<uint8_t, PVPixelAllocator<uint8_t>>;

}  // namespace pictavo
