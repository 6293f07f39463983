// Movable global memory blocks of the framework stand-in: an owned buffer
// with its size.  Lock returns the bytes; Unlock is a no-op kept so that code
// reads like the platform's lock/unlock pairs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace pictavo {

class TMemBlock {
 public:
  explicit TMemBlock(size_t size) : data_(new uint8_t[size == 0 ? 1 : size]()), size_(size) {}
  uint8_t* Lock() { return data_.get(); }
  const uint8_t* Lock() const { return data_.get(); }
  void Unlock() const {}
  size_t Size() const { return size_; }

 private:
  std::unique_ptr<uint8_t[]> data_;
  size_t size_;
};

using HGLOBAL = std::unique_ptr<TMemBlock>;

// A zero-filled block of size bytes.
inline HGLOBAL GlobalAlloc(size_t size) { return std::make_unique<TMemBlock>(size); }
inline size_t GlobalSize(const HGLOBAL& block) { return block ? block->Size() : 0; }

}  // namespace pictavo
