// Bounds-checked little-endian reading over a run of bytes, shared by the ZIP and compound-file layers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "services/files.h"

namespace morvane {

// Reads past the end fail softly: the value is 0, the position stays, and Failed() stays true from
// then on, so a parser can read a whole structure and check once.
class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const unsigned char> bytes) : bytes_(bytes) {}

  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  uint64_t U64();
  int16_t I16() { return static_cast<int16_t>(U16()); }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  double F64();

  // The next count bytes; empty (and failed) when fewer remain.
  std::span<const unsigned char> Bytes(std::size_t count);
  // A reader over the next count bytes, which this reader skips.
  ByteReader Sub(std::size_t count);
  void Skip(std::size_t count);
  // Moves to an absolute position; beyond the end fails.
  void Seek(std::size_t position);

  std::size_t Position() const { return position_; }
  std::size_t Size() const { return bytes_.size(); }
  // 0 once failed, so that loops over what is left end.
  std::size_t Remaining() const { return failed_ ? 0 : bytes_.size() - position_; }
  bool Failed() const { return failed_; }
  bool Ok() const { return !failed_; }
  std::span<const unsigned char> Whole() const { return bytes_; }

 private:
  bool Take(std::size_t count);

  std::span<const unsigned char> bytes_;
  std::size_t position_ = 0;
  bool failed_ = false;
};

// Little-endian loads from a place the caller has checked.
inline uint16_t LoadU16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t LoadU64(const unsigned char* p) {
  return static_cast<uint64_t>(LoadU32(p)) | (static_cast<uint64_t>(LoadU32(p + 4)) << 32);
}

// A ReadOnlyFile over bytes in memory, which it does not own.
class MemoryFile : public ReadOnlyFile {
 public:
  explicit MemoryFile(std::span<const unsigned char> bytes) : bytes_(bytes) {}
  uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(uint64_t offset, std::span<unsigned char> out) const override;

 private:
  std::span<const unsigned char> bytes_;
};

}  // namespace morvane
