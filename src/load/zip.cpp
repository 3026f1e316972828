// ZIP archives: end of central directory, ZIP64, central directory, stored and deflated entries.
#include "load/zip.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "load/byte_reader.h"

namespace morvane {
namespace {

constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr uint32_t kCentralHeader = 0x02014b50;
constexpr uint32_t kEndOfCentralDirectory = 0x06054b50;
constexpr uint32_t kZip64End = 0x06064b50;
constexpr uint32_t kZip64Locator = 0x07064b50;
constexpr std::size_t kInputChunk = 64 * 1024;

bool Fail(ZipError& error, std::string& detail, ZipError kind, std::string what) {
  error = kind;
  detail = std::move(what);
  return false;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

struct ZipEntryReader::Inflater {
  z_stream stream{};
  bool ready = false;
  ~Inflater() {
    if (ready) inflateEnd(&stream);
  }
};

std::unique_ptr<ZipArchive> ZipArchive::Open(const ReadOnlyFile& file, ZipError& error, std::string& detail,
                                             ZipLimits limits) {
  error = ZipError::None;
  detail.clear();
  std::unique_ptr<ZipArchive> archive(new ZipArchive(file, limits));
  if (!archive->ReadCentralDirectory(error, detail)) return nullptr;
  return archive;
}

bool ZipArchive::ReadCentralDirectory(ZipError& error, std::string& detail) {
  const uint64_t fileSize = file_.Size();
  if (fileSize < 22) return Fail(error, detail, ZipError::NotZip, "shorter than an end of central directory");
  // The end record sits in the last 22 bytes plus a comment of up to 65535 bytes.
  const uint64_t tailSize = std::min<uint64_t>(fileSize, 22 + 65535 + 20);
  std::vector<unsigned char> tail(tailSize);
  if (!file_.ReadAt(fileSize - tailSize, tail))
    return Fail(error, detail, ZipError::Damaged, "tail unreadable");
  std::size_t endAt = std::string::npos;
  for (std::size_t i = tailSize - 22 + 1; i-- > 0;) {
    if (LoadU32(&tail[i]) == kEndOfCentralDirectory) {
      endAt = i;
      break;
    }
  }
  if (endAt == std::string::npos) return Fail(error, detail, ZipError::NotZip, "no end of central directory");

  ByteReader end(std::span<const unsigned char>(tail).subspan(endAt, 22));
  end.Skip(4);
  const uint16_t disk = end.U16();
  const uint16_t directoryDisk = end.U16();
  end.Skip(2);
  uint64_t entryCount = end.U16();
  uint64_t directorySize = end.U32();
  uint64_t directoryOffset = end.U32();
  if (disk != directoryDisk && disk != 0xFFFF)
    return Fail(error, detail, ZipError::Unsupported, "spanned archive");

  // ZIP64: a locator right before the end record points at the ZIP64 end record.
  const uint64_t endOffset = fileSize - tailSize + endAt;
  if (endAt >= 20 && LoadU32(&tail[endAt - 20]) == kZip64Locator) {
    const uint64_t recordOffset = LoadU64(&tail[endAt - 20 + 8]);
    unsigned char record[56];
    if (recordOffset > endOffset || endOffset - recordOffset < sizeof record ||
        !file_.ReadAt(recordOffset, record) || LoadU32(record) != kZip64End)
      return Fail(error, detail, ZipError::Damaged, "ZIP64 end record out of place");
    entryCount = LoadU64(record + 32);
    directorySize = LoadU64(record + 40);
    directoryOffset = LoadU64(record + 48);
  }
  if (directoryOffset > endOffset || directorySize > endOffset - directoryOffset)
    return Fail(error, detail, ZipError::Damaged, "central directory outside the file");
  // Each central header takes at least 46 bytes, which bounds a forged count.
  if (entryCount > directorySize / 46 || entryCount > limits_.maximumEntries)
    return Fail(error, detail, ZipError::Damaged, "entry count does not fit the central directory");

  std::vector<unsigned char> directory(directorySize);
  if (!file_.ReadAt(directoryOffset, directory))
    return Fail(error, detail, ZipError::Damaged, "central directory unreadable");
  ByteReader reader(directory);
  entries_.reserve(entryCount);
  for (uint64_t index = 0; index < entryCount; ++index) {
    const std::size_t at = reader.Position();
    if (reader.U32() != kCentralHeader)
      return Fail(error, detail, ZipError::Damaged, "central header " + std::to_string(index) + " missing");
    ZipEntry entry;
    reader.Skip(4);
    entry.flags = reader.U16();
    entry.method = reader.U16();
    reader.Skip(4);
    entry.crc = reader.U32();
    entry.compressedSize = reader.U32();
    entry.uncompressedSize = reader.U32();
    const uint16_t nameLength = reader.U16();
    const uint16_t extraLength = reader.U16();
    const uint16_t commentLength = reader.U16();
    reader.Skip(8);
    entry.localHeaderOffset = reader.U32();
    auto name = reader.Bytes(nameLength);
    ByteReader extra = reader.Sub(extraLength);
    reader.Skip(commentLength);
    if (reader.Failed())
      return Fail(error, detail, ZipError::Damaged, "central header at " + std::to_string(at) + " cut short");
    entry.name.assign(name.begin(), name.end());
    // ZIP64 extended information: only the fields saturated in the header follow, in this order.
    while (extra.Remaining() >= 4 && extra.Ok()) {
      const uint16_t id = extra.U16();
      ByteReader field = extra.Sub(extra.U16());
      if (id != 0x0001) continue;
      if (entry.uncompressedSize == 0xFFFFFFFF) entry.uncompressedSize = field.U64();
      if (entry.compressedSize == 0xFFFFFFFF) entry.compressedSize = field.U64();
      if (entry.localHeaderOffset == 0xFFFFFFFF) entry.localHeaderOffset = field.U64();
      if (field.Failed())
        return Fail(error, detail, ZipError::Damaged, "ZIP64 field of " + entry.name + " cut short");
    }
    entries_.push_back(std::move(entry));
  }
  return true;
}

const ZipEntry* ZipArchive::Find(std::string_view name) const {
  if (!name.empty() && name.front() == '/') name.remove_prefix(1);
  for (const auto& entry : entries_) {
    std::string_view stored = entry.name;
    if (!stored.empty() && stored.front() == '/') stored.remove_prefix(1);
    if (SameName(stored, name)) return &entry;
  }
  return nullptr;
}

std::unique_ptr<ZipEntryReader> ZipArchive::OpenEntry(const ZipEntry& entry, ZipError& error,
                                                      std::string& detail) const {
  error = ZipError::None;
  if (entry.flags & 0x0001)
    return Fail(error, detail, ZipError::Encrypted, entry.name + " is encrypted"), nullptr;
  if (entry.method != 0 && entry.method != 8)
    return Fail(error, detail, ZipError::Unsupported,
                entry.name + ": method " + std::to_string(entry.method)),
           nullptr;
  if (entry.uncompressedSize > limits_.maximumEntrySize)
    return Fail(error, detail, ZipError::TooLarge, entry.name + " declares too many bytes"), nullptr;
  if (entry.method == 0 && entry.compressedSize != entry.uncompressedSize)
    return Fail(error, detail, ZipError::Damaged, entry.name + ": stored sizes differ"), nullptr;
  if (entry.method == 8 && entry.uncompressedSize / limits_.maximumRatio > entry.compressedSize + 1)
    return Fail(error, detail, ZipError::TooLarge, entry.name + ": inflate ratio out of bounds"), nullptr;

  unsigned char header[30];
  const uint64_t fileSize = file_.Size();
  if (entry.localHeaderOffset > fileSize || fileSize - entry.localHeaderOffset < sizeof header ||
      !file_.ReadAt(entry.localHeaderOffset, header) || LoadU32(header) != kLocalHeader)
    return Fail(error, detail, ZipError::Damaged, entry.name + ": local header missing"), nullptr;
  // Sizes come from the central directory: with a data descriptor the local ones are zero.
  const uint64_t dataOffset = entry.localHeaderOffset + 30 + LoadU16(header + 26) + LoadU16(header + 28);
  if (dataOffset > fileSize || entry.compressedSize > fileSize - dataOffset)
    return Fail(error, detail, ZipError::Damaged, entry.name + ": data past the end of the file"), nullptr;

  std::unique_ptr<ZipEntryReader> reader(new ZipEntryReader(file_, entry, dataOffset));
  if (entry.method == 8) {
    reader->inflater_ = std::make_unique<ZipEntryReader::Inflater>();
    if (inflateInit2(&reader->inflater_->stream, -15) != Z_OK)
      return Fail(error, detail, ZipError::Damaged, "inflate cannot start"), nullptr;
    reader->inflater_->ready = true;
    reader->input_.resize(
        static_cast<std::size_t>(std::min<uint64_t>(kInputChunk, entry.compressedSize + 1)));
  }
  return reader;
}

ZipEntryReader::ZipEntryReader(const ReadOnlyFile& file, const ZipEntry& entry, uint64_t dataOffset)
    : file_(file), entry_(entry), dataOffset_(dataOffset) {}

ZipEntryReader::~ZipEntryReader() = default;

bool ZipEntryReader::Fail(ZipError error, std::string detail) {
  error_ = error;
  detail_ = entry_.name + ": " + std::move(detail);
  return false;
}

bool ZipEntryReader::Refill() {
  const std::size_t count =
      static_cast<std::size_t>(std::min<uint64_t>(input_.size(), entry_.compressedSize - compressedRead_));
  if (!file_.ReadAt(dataOffset_ + compressedRead_, std::span<unsigned char>(input_.data(), count)))
    return Fail(ZipError::Damaged, "compressed bytes unreadable");
  compressedRead_ += count;
  inflater_->stream.next_in = input_.data();
  inflater_->stream.avail_in = static_cast<uInt>(count);
  return true;
}

int64_t ZipEntryReader::Read(unsigned char* out, std::size_t capacity) {
  if (error_ != ZipError::None) return -1;
  if (finished_ || capacity == 0) return 0;
  capacity = std::min<std::size_t>(capacity, 1u << 30);
  std::size_t got = 0;
  if (!inflater_) {
    got = static_cast<std::size_t>(std::min<uint64_t>(capacity, entry_.uncompressedSize - produced_));
    if (!file_.ReadAt(dataOffset_ + produced_, std::span<unsigned char>(out, got)))
      return Fail(ZipError::Damaged, "stored bytes unreadable"), -1;
  } else {
    z_stream& stream = inflater_->stream;
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(capacity);
    while (stream.avail_out == capacity) {
      if (stream.avail_in == 0 && compressedRead_ < entry_.compressedSize && !Refill()) return -1;
      const int status = inflate(&stream, Z_NO_FLUSH);
      if (status == Z_STREAM_END) {
        finished_ = true;
        break;
      }
      if (status == Z_BUF_ERROR && stream.avail_in == 0 && compressedRead_ == entry_.compressedSize)
        return Fail(ZipError::Damaged, "deflate stream cut short"), -1;
      if (status != Z_OK && status != Z_BUF_ERROR)
        return Fail(ZipError::Damaged, std::string("inflate: ") + (stream.msg ? stream.msg : "error")), -1;
    }
    got = capacity - stream.avail_out;
  }
  if (got > entry_.uncompressedSize - produced_)
    return Fail(ZipError::Damaged, "more bytes than declared"), -1;
  crc_ = static_cast<uint32_t>(crc32(crc_, out, static_cast<uInt>(got)));
  produced_ += got;
  if (!inflater_ && produced_ == entry_.uncompressedSize) finished_ = true;
  if (finished_) {
    if (produced_ != entry_.uncompressedSize) return Fail(ZipError::Damaged, "fewer bytes than declared"), -1;
    if (crc_ != entry_.crc) return Fail(ZipError::Damaged, "CRC mismatch"), -1;
  }
  return static_cast<int64_t>(got);
}

namespace {
constexpr std::size_t kReadAheadBlock = 1024 * 1024;
constexpr int kReadAheadBlocks = 3;
}  // namespace

ReadAheadStream::ReadAheadStream(ByteStream& source) : source_(source) {
  for (int i = 0; i < kReadAheadBlocks; ++i)
    free_.push_back({std::make_unique<unsigned char[]>(kReadAheadBlock), 0});
  worker_ = std::thread([this] { Work(); });
}

ReadAheadStream::~ReadAheadStream() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void ReadAheadStream::Work() {
  for (;;) {
    Block block;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || !free_.empty(); });
      if (stop_) return;
      block = std::move(free_.back());
      free_.pop_back();
    }
    const int64_t got = source_.Read(block.bytes.get(), kReadAheadBlock);
    {
      std::lock_guard lock(mutex_);
      if (got < 0) {
        failed_ = true;
      } else if (got == 0) {
        ended_ = true;
      } else {
        block.size = static_cast<std::size_t>(got);
        filled_.push_back(std::move(block));
      }
    }
    changed_.notify_all();
    if (got <= 0) return;
  }
}

int64_t ReadAheadStream::Read(unsigned char* out, std::size_t capacity) {
  if (currentAt_ == current_.size) {
    std::unique_lock lock(mutex_);
    if (current_.bytes) {
      current_.size = 0;
      free_.push_back(std::move(current_));
      changed_.notify_all();
    }
    changed_.wait(lock, [&] { return !filled_.empty() || ended_ || failed_; });
    if (filled_.empty()) return failed_ ? -1 : 0;
    current_ = std::move(filled_.front());
    filled_.pop_front();
    currentAt_ = 0;
  }
  const std::size_t count = std::min(capacity, current_.size - currentAt_);
  std::memcpy(out, current_.bytes.get() + currentAt_, count);
  currentAt_ += count;
  return static_cast<int64_t>(count);
}

}  // namespace morvane
