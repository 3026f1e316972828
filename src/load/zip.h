// ZIP archives over a ReadOnlyFile: the central directory, ZIP64, and entries streamed through inflate.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "services/files.h"

namespace morvane {

enum class ZipError {
  None,
  NotZip,       // no end of central directory
  Damaged,      // a structure out of bounds, sizes or CRC not as declared
  Encrypted,    // an entry is encrypted
  Unsupported,  // a compression method other than stored or deflated
  TooLarge,     // past the bounds set against ZIP bombs
};

struct ZipEntry {
  std::string name;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t crc = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t localHeaderOffset = 0;
};

// A source of bytes read in order.
class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Up to capacity bytes into out; 0 at the end, -1 on an error.
  virtual int64_t Read(unsigned char* out, std::size_t capacity) = 0;
};

// Bounds against ZIP bombs. Deflate cannot pass about 1032:1, so the ratio only stops forged sizes;
// the total bounds the time a hostile archive can take.
struct ZipLimits {
  uint64_t maximumEntrySize = uint64_t{2} << 30;
  uint64_t maximumRatio = 1100;
  uint64_t maximumEntries = 1'000'000;
};

class ZipEntryReader;

// Reads a stream ahead on a worker thread, so that inflating a part and scanning it overlap.
// The source must outlive this stream; its own error state may be read once Read returned -1.
class ReadAheadStream : public ByteStream {
 public:
  explicit ReadAheadStream(ByteStream& source);
  ~ReadAheadStream() override;
  int64_t Read(unsigned char* out, std::size_t capacity) override;

 private:
  struct Block {
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size = 0;
  };
  void Work();

  ByteStream& source_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Block> filled_;
  std::vector<Block> free_;
  Block current_;
  std::size_t currentAt_ = 0;
  bool ended_ = false;
  bool failed_ = false;
  bool stop_ = false;
  std::thread worker_;
};

class ZipArchive {
 public:
  // Reads the central directory; null with the error set when it cannot.
  static std::unique_ptr<ZipArchive> Open(const ReadOnlyFile& file, ZipError& error, std::string& detail,
                                          ZipLimits limits = {});

  const std::vector<ZipEntry>& Entries() const { return entries_; }
  // Part names compare without regard to ASCII case, and a leading "/" is ignored.
  const ZipEntry* Find(std::string_view name) const;
  // A stream of the entry's uncompressed bytes, checked against its declared size and CRC at the end.
  std::unique_ptr<ZipEntryReader> OpenEntry(const ZipEntry& entry, ZipError& error,
                                            std::string& detail) const;

 private:
  ZipArchive(const ReadOnlyFile& file, ZipLimits limits) : file_(file), limits_(limits) {}
  bool ReadCentralDirectory(ZipError& error, std::string& detail);

  const ReadOnlyFile& file_;
  ZipLimits limits_;
  std::vector<ZipEntry> entries_;
};

class ZipEntryReader : public ByteStream {
 public:
  ~ZipEntryReader() override;
  int64_t Read(unsigned char* out, std::size_t capacity) override;
  ZipError Error() const { return error_; }
  const std::string& Detail() const { return detail_; }

 private:
  friend class ZipArchive;
  ZipEntryReader(const ReadOnlyFile& file, const ZipEntry& entry, uint64_t dataOffset);
  bool Fail(ZipError error, std::string detail);
  bool Refill();

  const ReadOnlyFile& file_;
  ZipEntry entry_;
  uint64_t dataOffset_;
  uint64_t compressedRead_ = 0;
  uint64_t produced_ = 0;
  uint32_t crc_ = 0;
  bool finished_ = false;
  ZipError error_ = ZipError::None;
  std::string detail_;
  struct Inflater;
  std::unique_ptr<Inflater> inflater_;
  std::vector<unsigned char> input_;
};

}  // namespace morvane
