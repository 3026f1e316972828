// Bounds-checked little-endian reading.
#include "load/byte_reader.h"

#include <cstring>

namespace morvane {

bool ByteReader::Take(std::size_t count) {
  if (failed_ || count > bytes_.size() - position_) {
    failed_ = true;
    return false;
  }
  return true;
}

uint8_t ByteReader::U8() {
  if (!Take(1)) return 0;
  return bytes_[position_++];
}

uint16_t ByteReader::U16() {
  if (!Take(2)) return 0;
  const uint16_t value = LoadU16(bytes_.data() + position_);
  position_ += 2;
  return value;
}

uint32_t ByteReader::U32() {
  if (!Take(4)) return 0;
  const uint32_t value = LoadU32(bytes_.data() + position_);
  position_ += 4;
  return value;
}

uint64_t ByteReader::U64() {
  if (!Take(8)) return 0;
  const uint64_t value = LoadU64(bytes_.data() + position_);
  position_ += 8;
  return value;
}

double ByteReader::F64() {
  const uint64_t bits = U64();
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::span<const unsigned char> ByteReader::Bytes(std::size_t count) {
  if (!Take(count)) return {};
  auto run = bytes_.subspan(position_, count);
  position_ += count;
  return run;
}

ByteReader ByteReader::Sub(std::size_t count) {
  auto run = Bytes(count);
  ByteReader sub(run);
  sub.failed_ = failed_;
  return sub;
}

void ByteReader::Skip(std::size_t count) {
  if (Take(count)) position_ += count;
}

void ByteReader::Seek(std::size_t position) {
  if (failed_ || position > bytes_.size()) {
    failed_ = true;
    return;
  }
  position_ = position;
}

}  // namespace morvane

namespace morvane {

bool MemoryFile::ReadAt(uint64_t offset, std::span<unsigned char> out) const {
  if (offset > bytes_.size() || out.size() > bytes_.size() - offset) return false;
  if (!out.empty()) std::memcpy(out.data(), bytes_.data() + offset, out.size());
  return true;
}

}  // namespace morvane
