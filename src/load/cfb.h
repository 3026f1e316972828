// The compound file container (MS-CFB) that holds an .xls workbook's streams.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "services/files.h"

namespace morvane {

struct CompoundFileEntry {
  std::u16string name;
  uint8_t type = 0;  // 1 storage, 2 stream, 5 root
  uint32_t startSector = 0;
  uint64_t size = 0;
};

// The header, FAT and directory of a compound file; streams are read on demand through the file.
class CompoundFile {
 public:
  // Nothing, with the reason in detail, when the header, the FAT or the directory is broken.
  static std::optional<CompoundFile> Open(const ReadOnlyFile& file, std::string& detail);

  // Index of a stream directly under the root storage, names compared case-insensitively
  // (ASCII letters); nothing if absent. Streams of embedded objects live in sub-storages and
  // are never found.
  std::optional<size_t> FindRootStream(std::u16string_view name) const;

  const CompoundFileEntry& Entry(size_t index) const { return entries_[index]; }

  // The whole stream; false with the reason in detail when its chain is broken.
  bool ReadStream(size_t index, std::vector<unsigned char>& out, std::string& detail) const;

  // The stream as a file of its own, for a reader that walks it once and need not hold it whole:
  // its sectors are read when asked for. Null, with the reason in detail, when its chain is
  // broken. Valid as long as this object and its file.
  std::unique_ptr<ReadOnlyFile> OpenStream(size_t index, std::string& detail) const;

 private:
  explicit CompoundFile(const ReadOnlyFile& file) : file_(&file) {}

  bool ReadSector(uint32_t sector, std::span<unsigned char> out) const;
  bool FollowChain(const std::vector<uint32_t>& table, uint32_t start, uint64_t size, bool mini,
                   std::vector<uint32_t>& sectors, std::string& detail) const;
  bool ReadChain(const std::vector<uint32_t>& table, uint32_t start, uint64_t size, bool mini,
                 std::vector<unsigned char>& out, std::string& detail) const;
  bool LoadMiniStream(std::string& detail) const;

  const ReadOnlyFile* file_;
  uint32_t sectorShift_ = 9;
  uint32_t sectorSize_ = 512;
  uint32_t miniSectorSize_ = 64;
  uint32_t miniStreamCutoff_ = 4096;
  uint32_t firstMiniFatSector_ = 0;
  uint32_t miniFatSectorCount_ = 0;
  uint64_t sectorsInFile_ = 0;  // sectors that start inside the file
  std::vector<uint32_t> fat_;
  std::vector<CompoundFileEntry> entries_;
  std::vector<uint32_t> rootChildren_;  // entries directly under the root storage
  mutable bool miniStreamLoaded_ = false;
  mutable std::vector<uint32_t> miniFat_;
  mutable std::vector<unsigned char> miniStream_;
};

}  // namespace morvane
