// Reading streams out of a compound file (MS-CFB): header, DIFAT, FAT, mini FAT, directory.
#include "load/cfb.h"

#include <algorithm>
#include <cstring>

#include "load/byte_reader.h"

namespace morvane {
namespace {

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr size_t kHeaderSize = 512;
constexpr size_t kHeaderDifatEntries = 109;
constexpr size_t kDirectoryEntrySize = 128;

char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool SameNameIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

std::vector<uint32_t> ToSectorNumbers(const std::vector<unsigned char>& bytes) {
  std::vector<uint32_t> numbers(bytes.size() / 4);
  for (size_t i = 0; i < numbers.size(); ++i) numbers[i] = LoadU32(bytes.data() + i * 4);
  return numbers;
}

}  // namespace

std::optional<CompoundFile> CompoundFile::Open(const ReadOnlyFile& file, std::string& detail) {
  // Compound File Header (MS-CFB 2.2)
  unsigned char header[kHeaderSize];
  if (file.Size() < kHeaderSize || !file.ReadAt(0, header)) {
    detail = "compound file shorter than its header";
    return std::nullopt;
  }
  if (std::memcmp(header, kSignature, sizeof kSignature) != 0) {
    detail = "no compound file signature";
    return std::nullopt;
  }
  CompoundFile compound(file);
  const uint16_t sectorShift = LoadU16(header + 30);
  if (sectorShift != 9 && sectorShift != 12) {
    detail = "compound file sector shift " + std::to_string(sectorShift);
    return std::nullopt;
  }
  if (LoadU16(header + 32) != 6) {
    detail = "compound file mini sector shift " + std::to_string(LoadU16(header + 32));
    return std::nullopt;
  }
  compound.sectorShift_ = sectorShift;
  compound.sectorSize_ = 1u << sectorShift;
  const uint64_t fileSize = file.Size();
  // Sector n starts at (n + 1) * sector size; the header fills sector "-1".
  compound.sectorsInFile_ = fileSize > compound.sectorSize_
                                ? (fileSize - compound.sectorSize_ + compound.sectorSize_ - 1) >> sectorShift
                                : 0;
  const uint32_t fatSectorCount = LoadU32(header + 44);
  const uint32_t firstDirectorySector = LoadU32(header + 48);
  compound.firstMiniFatSector_ = LoadU32(header + 60);
  compound.miniFatSectorCount_ = LoadU32(header + 64);
  uint32_t difatSector = LoadU32(header + 68);
  if (fatSectorCount > compound.sectorsInFile_) {
    detail =
        "compound file declares " + std::to_string(fatSectorCount) + " FAT sectors, more than the file holds";
    return std::nullopt;
  }

  // DIFAT (MS-CFB 2.5): the first 109 FAT sector numbers in the header, the rest in a chain.
  std::vector<uint32_t> fatSectors;
  fatSectors.reserve(fatSectorCount);
  for (size_t i = 0; i < kHeaderDifatEntries && fatSectors.size() < fatSectorCount; ++i) {
    fatSectors.push_back(LoadU32(header + 76 + i * 4));
  }
  std::vector<unsigned char> sector(compound.sectorSize_);
  const size_t numbersPerSector = compound.sectorSize_ / 4;
  uint64_t difatSectorsRead = 0;
  while (fatSectors.size() < fatSectorCount) {
    if (difatSector >= compound.sectorsInFile_ || ++difatSectorsRead > compound.sectorsInFile_ ||
        !compound.ReadSector(difatSector, sector)) {
      detail = "DIFAT chain broken at sector " + std::to_string(difatSector);
      return std::nullopt;
    }
    for (size_t i = 0; i + 1 < numbersPerSector && fatSectors.size() < fatSectorCount; ++i) {
      fatSectors.push_back(LoadU32(sector.data() + i * 4));
    }
    difatSector = LoadU32(sector.data() + (numbersPerSector - 1) * 4);
  }

  // FAT (MS-CFB 2.3). Writers usually put the FAT's sectors one after another, and such a run
  // is read in one call.
  compound.fat_.reserve(static_cast<size_t>(fatSectorCount) * numbersPerSector);
  std::vector<unsigned char> run;
  for (size_t first = 0; first < fatSectors.size();) {
    size_t end = first;
    do {
      if (fatSectors[end] >= compound.sectorsInFile_) {
        detail = "FAT sector " + std::to_string(fatSectors[end]) + " beyond the end of the file";
        return std::nullopt;
      }
      ++end;
    } while (end < fatSectors.size() && fatSectors[end] == fatSectors[end - 1] + 1);
    run.resize((end - first) * compound.sectorSize_);
    if (!file.ReadAt((static_cast<uint64_t>(fatSectors[first]) + 1) << sectorShift, run)) {
      detail = "FAT sector " + std::to_string(fatSectors[first]) + " beyond the end of the file";
      return std::nullopt;
    }
    for (size_t i = 0; i < run.size(); i += 4) compound.fat_.push_back(LoadU32(run.data() + i));
    first = end;
  }

  // Compound File Directory Entry (MS-CFB 2.6)
  std::vector<unsigned char> directory;
  if (!compound.ReadChain(compound.fat_, firstDirectorySector, UINT64_MAX, false, directory, detail)) {
    detail = "directory: " + detail;
    return std::nullopt;
  }
  const size_t entryCount = directory.size() / kDirectoryEntrySize;
  if (entryCount == 0) {
    detail = "compound file without a directory";
    return std::nullopt;
  }
  compound.entries_.resize(entryCount);
  std::vector<uint32_t> left(entryCount), right(entryCount), child(entryCount);
  const bool version3 = sectorShift == 9;
  for (size_t i = 0; i < entryCount; ++i) {
    const unsigned char* p = directory.data() + i * kDirectoryEntrySize;
    CompoundFileEntry& entry = compound.entries_[i];
    const size_t nameBytes = std::min<size_t>(LoadU16(p + 64), 64);
    const size_t nameChars = nameBytes >= 2 ? nameBytes / 2 - 1 : 0;
    for (size_t c = 0; c < nameChars; ++c) entry.name.push_back(static_cast<char16_t>(LoadU16(p + c * 2)));
    entry.type = p[66];
    left[i] = LoadU32(p + 68);
    right[i] = LoadU32(p + 72);
    child[i] = LoadU32(p + 76);
    entry.startSector = LoadU32(p + 116);
    // Version 3 writers may leave garbage in the size's high half.
    entry.size = version3 ? LoadU32(p + 120) : LoadU64(p + 120);
  }
  if (compound.entries_[0].type != 5) {
    detail = "compound file directory without a root entry";
    return std::nullopt;
  }
  // The root's children form a red-black tree through the sibling links; walked without
  // trusting it to be a tree.
  std::vector<bool> visited(entryCount, false);
  std::vector<uint32_t> pending{child[0]};
  while (!pending.empty()) {
    const uint32_t id = pending.back();
    pending.pop_back();
    if (id == kNoStream || id >= entryCount || id == 0 || visited[id]) continue;
    visited[id] = true;
    compound.rootChildren_.push_back(id);
    pending.push_back(left[id]);
    pending.push_back(right[id]);
  }
  return compound;
}

std::optional<size_t> CompoundFile::FindRootStream(std::u16string_view name) const {
  for (uint32_t id : rootChildren_) {
    if (entries_[id].type == 2 && SameNameIgnoringCase(entries_[id].name, name)) return id;
  }
  return std::nullopt;
}

bool CompoundFile::ReadSector(uint32_t sector, std::span<unsigned char> out) const {
  return file_->ReadAt((static_cast<uint64_t>(sector) + 1) << sectorShift_, out);
}

// Follows a chain of sectors (or mini sectors) through its table: the sectors that hold `size`
// bytes, or the whole chain when size is UINT64_MAX. A chain may not revisit a sector nor leave
// the table.
bool CompoundFile::FollowChain(const std::vector<uint32_t>& table, uint32_t start, uint64_t size, bool mini,
                               std::vector<uint32_t>& sectors, std::string& detail) const {
  sectors.clear();
  const uint64_t unit = mini ? miniSectorSize_ : sectorSize_;
  const bool wholeChain = size == UINT64_MAX;
  const uint64_t available = mini ? miniStream_.size() : file_->Size();
  if (!wholeChain && size > available) {
    detail = "stream of " + std::to_string(size) + " bytes is larger than its container";
    return false;
  }
  const uint64_t needed = wholeChain ? table.size() : (size + unit - 1) / unit;
  std::vector<bool> visited(table.size(), false);
  uint32_t sector = start;
  while (sectors.size() < needed) {
    if (wholeChain && sector == kEndOfChain) break;
    if (sector >= table.size() || (!mini && sector >= sectorsInFile_)) {
      detail = "sector " + std::to_string(sector) + " out of range";
      return false;
    }
    if (visited[sector]) {
      detail = "sector chain loops at sector " + std::to_string(sector);
      return false;
    }
    visited[sector] = true;
    sectors.push_back(sector);
    sector = table[sector];
  }
  if (wholeChain && sector != kEndOfChain && sector != kFreeSector) {
    detail = "sector chain without an end";
    return false;
  }
  return true;
}

// Reads what FollowChain finds.
bool CompoundFile::ReadChain(const std::vector<uint32_t>& table, uint32_t start, uint64_t size, bool mini,
                             std::vector<unsigned char>& out, std::string& detail) const {
  out.clear();
  std::vector<uint32_t> sectors;
  if (!FollowChain(table, start, size, mini, sectors, detail)) return false;
  const uint64_t unit = mini ? miniSectorSize_ : sectorSize_;
  const uint64_t total = size == UINT64_MAX ? sectors.size() * unit : size;
  out.resize(total);
  // Consecutive sectors are read in one call; the last sector may be cut short by the end of
  // the file when the stream ends inside it.
  uint64_t position = 0;
  for (size_t i = 0; i < sectors.size() && position < total;) {
    size_t runEnd = i + 1;
    while (runEnd < sectors.size() && sectors[runEnd] == sectors[runEnd - 1] + 1) ++runEnd;
    const uint64_t want = std::min<uint64_t>((runEnd - i) * unit, total - position);
    const uint64_t offset = mini ? sectors[i] * unit : (static_cast<uint64_t>(sectors[i]) + 1) * unit;
    if (mini) {
      if (offset > miniStream_.size() || want > miniStream_.size() - offset) {
        detail = "mini sector " + std::to_string(sectors[i]) + " beyond the mini stream";
        return false;
      }
      std::memcpy(out.data() + position, miniStream_.data() + offset, want);
    } else if (!file_->ReadAt(offset, std::span(out.data() + position, want))) {
      detail = "sector " + std::to_string(sectors[i]) + " beyond the end of the file";
      return false;
    }
    position += want;
    i = runEnd;
  }
  return true;
}

bool CompoundFile::LoadMiniStream(std::string& detail) const {
  if (miniStreamLoaded_) return true;
  // Mini FAT (MS-CFB 2.4) and the mini stream held by the root entry.
  std::vector<unsigned char> bytes;
  if (miniFatSectorCount_ > 0 || firstMiniFatSector_ != kEndOfChain) {
    if (!ReadChain(fat_, firstMiniFatSector_, UINT64_MAX, false, bytes, detail)) {
      detail = "mini FAT: " + detail;
      return false;
    }
  }
  miniFat_ = ToSectorNumbers(bytes);
  const CompoundFileEntry& root = entries_[0];
  if (root.size > 0 && !ReadChain(fat_, root.startSector, root.size, false, miniStream_, detail)) {
    detail = "mini stream: " + detail;
    return false;
  }
  miniStreamLoaded_ = true;
  return true;
}

namespace {

// A stream in the file's sectors; consecutive sectors are read in one call.
class SectorStream : public ReadOnlyFile {
 public:
  SectorStream(const ReadOnlyFile& file, std::vector<uint32_t> sectors, uint32_t sectorShift, uint64_t size)
      : file_(file), sectors_(std::move(sectors)), shift_(sectorShift), size_(size) {}

  uint64_t Size() const override { return size_; }

  bool ReadAt(uint64_t offset, std::span<unsigned char> out) const override {
    if (offset > size_ || out.size() > size_ - offset) return false;
    const uint64_t unit = uint64_t{1} << shift_;
    while (!out.empty()) {
      const size_t first = static_cast<size_t>(offset >> shift_);
      const uint64_t within = offset & (unit - 1);
      size_t end = first + 1;
      while (end < sectors_.size() && (end - first) * unit < within + out.size() &&
             sectors_[end] == sectors_[end - 1] + 1)
        ++end;
      const size_t want = static_cast<size_t>(std::min<uint64_t>(out.size(), (end - first) * unit - within));
      if (!file_.ReadAt(((static_cast<uint64_t>(sectors_[first]) + 1) << shift_) + within, out.first(want)))
        return false;
      offset += want;
      out = out.subspan(want);
    }
    return true;
  }

 private:
  const ReadOnlyFile& file_;
  std::vector<uint32_t> sectors_;
  uint32_t shift_;
  uint64_t size_;
};

// A small stream, read whole out of the mini stream.
class HeldStream : public ReadOnlyFile {
 public:
  explicit HeldStream(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)), file_(bytes_) {}
  uint64_t Size() const override { return file_.Size(); }
  bool ReadAt(uint64_t offset, std::span<unsigned char> out) const override {
    return file_.ReadAt(offset, out);
  }

 private:
  std::vector<unsigned char> bytes_;
  MemoryFile file_;
};

}  // namespace

std::unique_ptr<ReadOnlyFile> CompoundFile::OpenStream(size_t index, std::string& detail) const {
  const CompoundFileEntry& entry = entries_[index];
  if (entry.size < miniStreamCutoff_) {
    std::vector<unsigned char> bytes;
    if (!ReadStream(index, bytes, detail)) return nullptr;
    return std::make_unique<HeldStream>(std::move(bytes));
  }
  std::vector<uint32_t> sectors;
  if (!FollowChain(fat_, entry.startSector, entry.size, false, sectors, detail)) return nullptr;
  return std::make_unique<SectorStream>(*file_, std::move(sectors), sectorShift_, entry.size);
}

bool CompoundFile::ReadStream(size_t index, std::vector<unsigned char>& out, std::string& detail) const {
  const CompoundFileEntry& entry = entries_[index];
  if (entry.size < miniStreamCutoff_) {
    if (entry.size == 0) {
      out.clear();
      return true;
    }
    return LoadMiniStream(detail) && ReadChain(miniFat_, entry.startSector, entry.size, true, out, detail);
  }
  return ReadChain(fat_, entry.startSector, entry.size, false, out, detail);
}

}  // namespace morvane
