// GrowingBytes: bytes in one block that grows without copying them where the system can help.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include "services/memory.h"

namespace morvane {

// Grows through realloc, which moves a block by remapping its pages rather than copying them; a
// vector or string would copy every byte into fresh pages at each growth. From 1 MiB on, blocks
// are large blocks, in steps of 2 MiB: on huge pages, filling one faults once instead of 512 times,
// which outweighs copying at each growth. Nothing is zeroed: bytes past what was written are for
// the owner to fill.
class GrowingBytes {
 public:
  GrowingBytes() = default;
  ~GrowingBytes() { Free(); }
  GrowingBytes(GrowingBytes&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  GrowingBytes& operator=(GrowingBytes&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    return *this;
  }
  GrowingBytes(const GrowingBytes& other) { Append(other.data_, other.size_); }
  GrowingBytes& operator=(const GrowingBytes& other) {
    if (this != &other) {
      size_ = 0;
      Append(other.data_, other.size_);
    }
    return *this;
  }

  unsigned char* data() { return data_; }
  const unsigned char* data() const { return data_; }
  std::size_t size() const { return size_; }
  std::string_view View(std::size_t begin, std::size_t count) const {
    return {reinterpret_cast<const char*>(data_) + begin, count};
  }

  // Bytes past the old size are left as they are.
  void Resize(std::size_t size) {
    if (size > capacity_) Grow(size);
    size_ = size;
  }
  void Reserve(std::size_t capacity) {
    if (capacity > capacity_) Grow(capacity);
  }
  void Append(const void* bytes, std::size_t count) {
    if (count == 0) return;
    const std::size_t at = size_;
    Resize(size_ + count);
    std::memcpy(data_ + at, bytes, count);
  }
  void Append(std::string_view text) { Append(text.data(), text.size()); }
  void Clear() { size_ = 0; }

 private:
  static constexpr std::size_t kLargeStep = std::size_t{2} << 20;
  static bool IsLarge(std::size_t capacity) { return capacity >= kLargeStep / 2; }

  void Grow(std::size_t needed) {
    std::size_t capacity = std::max(needed, capacity_ * 2);
    if (IsLarge(capacity)) {
      if (capacity > static_cast<std::size_t>(-1) - kLargeStep) throw std::bad_alloc();
      capacity = (capacity + kLargeStep - 1) / kLargeStep * kLargeStep;
      void* grown = AllocateLargeBlock(capacity);
      if (!grown) throw std::bad_alloc();
      if (size_ > 0) std::memcpy(grown, data_, size_);
      Free();
      data_ = static_cast<unsigned char*>(grown);
      capacity_ = capacity;
      return;
    }
    void* grown = std::realloc(data_, capacity);
    if (!grown) throw std::bad_alloc();
    data_ = static_cast<unsigned char*>(grown);
    capacity_ = capacity;
  }
  void Free() {
    if (IsLarge(capacity_))
      FreeLargeBlock(data_, capacity_);
    else
      std::free(data_);
  }

  unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace morvane
