// Small hand-built compound files and BIFF records, for cases no real writer produces on demand.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace morvane::testing {

using Bytes = std::vector<unsigned char>;

inline void PutU16(Bytes& out, size_t at, uint16_t value) {
  out[at] = static_cast<unsigned char>(value);
  out[at + 1] = static_cast<unsigned char>(value >> 8);
}
inline void PutU32(Bytes& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<unsigned char>(value >> (8 * i));
}
inline void AppendU16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<unsigned char>(value));
  out.push_back(static_cast<unsigned char>(value >> 8));
}
inline void AppendU32(Bytes& out, uint32_t value) {
  AppendU16(out, static_cast<uint16_t>(value));
  AppendU16(out, static_cast<uint16_t>(value >> 16));
}

// One BIFF record: type, size, payload.
inline Bytes Record(uint16_t type, const Bytes& payload) {
  Bytes out;
  AppendU16(out, type);
  AppendU16(out, static_cast<uint16_t>(payload.size()));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// BOF (0x0809) for the version (0x0600, 0x0500) and substream type (5 globals, 0x10 sheet).
inline Bytes Bof(uint16_t version, uint16_t type) {
  Bytes payload;
  AppendU16(payload, version);
  AppendU16(payload, type);
  payload.resize(version == 0x0600 ? 16 : 8, 0);
  return Record(0x0809, payload);
}
inline Bytes Eof() { return Record(0x000A, {}); }

// A BIFF5/BIFF8 workbook stream: globals records, one BOUNDSHEET, then the sheet's records.
inline Bytes WorkbookStream(uint16_t version, const Bytes& globals, const Bytes& sheetRecords) {
  Bytes boundSheet;
  AppendU32(boundSheet, 0);  // position, patched below
  boundSheet.insert(boundSheet.end(), {0, 0, 1});
  if (version == 0x0600) boundSheet.push_back(0);  // flags of the name
  boundSheet.push_back('S');
  Bytes stream = Join({Bof(version, 5), globals, Record(0x0085, boundSheet), Eof()});
  const size_t sheetPosition = stream.size();
  const size_t boundSheetAt = stream.size() - 4 - (boundSheet.size() + 4);
  PutU32(stream, boundSheetAt + 4, static_cast<uint32_t>(sheetPosition));
  return Join({stream, Bof(version, 0x10), sheetRecords, Eof()});
}

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;

// A compound file of version 3 (512-byte sectors) or 4 (4096): sector 0 holds the FAT, sector 1
// the directory, then each stream in consecutive sectors. Streams are padded to 4096 bytes so
// they never go to the mini stream.
struct BuiltCompoundFile {
  Bytes bytes;
  uint32_t sectorSize = 512;
  std::vector<uint32_t> firstSectors;  // per stream
  size_t FatEntryOffset(uint32_t sector) const { return sectorSize + sector * 4; }
  size_t DirectoryEntryOffset(uint32_t entry) const { return sectorSize * 2 + entry * 128; }
};

inline BuiltCompoundFile CompoundFileWith(const std::vector<std::pair<std::u16string, Bytes>>& streams,
                                          int version = 3) {
  BuiltCompoundFile built;
  const uint32_t sector = version == 4 ? 4096 : 512;
  built.sectorSize = sector;
  Bytes& file = built.bytes;
  file.assign(sector * 3, 0);
  const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  for (int i = 0; i < 8; ++i) file[i] = signature[i];
  PutU16(file, 24, 0x003E);
  PutU16(file, 26, static_cast<uint16_t>(version));
  PutU16(file, 28, 0xFFFE);
  PutU16(file, 30, version == 4 ? 12 : 9);
  PutU16(file, 32, 6);
  PutU32(file, 44, 1);            // FAT sectors
  PutU32(file, 48, 1);            // first directory sector
  PutU32(file, 56, 4096);         // mini stream cutoff
  PutU32(file, 60, kEndOfChain);  // no mini FAT
  PutU32(file, 68, kEndOfChain);  // no DIFAT sectors
  PutU32(file, 76, 0);            // the FAT is sector 0
  for (int i = 1; i < 109; ++i) PutU32(file, 76 + i * 4, kFreeSector);
  std::vector<uint32_t> fat(sector / 4, kFreeSector);
  fat[0] = 0xFFFFFFFD;
  fat[1] = kEndOfChain;
  // Directory: the root, then the streams as a chain of right siblings.
  auto putEntry = [&](size_t index, const std::u16string& name, uint8_t type, uint32_t child, uint32_t right,
                      uint32_t start, uint32_t size) {
    const size_t at = sector * 2 + index * 128;
    for (size_t c = 0; c < name.size(); ++c) PutU16(file, at + c * 2, name[c]);
    PutU16(file, at + 64, static_cast<uint16_t>((name.size() + 1) * 2));
    file[at + 66] = type;
    PutU32(file, at + 68, 0xFFFFFFFF);
    PutU32(file, at + 72, right);
    PutU32(file, at + 76, child);
    PutU32(file, at + 116, start);
    PutU32(file, at + 120, size);
  };
  for (size_t index = 0; index < 4; ++index) {
    PutU32(file, sector * 2 + index * 128 + 68, 0xFFFFFFFF);
    PutU32(file, sector * 2 + index * 128 + 72, 0xFFFFFFFF);
    PutU32(file, sector * 2 + index * 128 + 76, 0xFFFFFFFF);
  }
  putEntry(0, u"Root Entry", 5, streams.empty() ? 0xFFFFFFFF : 1, 0xFFFFFFFF, kEndOfChain, 0);
  uint32_t nextSector = 2;
  for (size_t s = 0; s < streams.size() && s < 3; ++s) {
    Bytes data = streams[s].second;
    if (data.size() < 4096) data.resize(4096, 0);
    const uint32_t sectors = static_cast<uint32_t>((data.size() + sector - 1) / sector);
    built.firstSectors.push_back(nextSector);
    for (uint32_t i = 0; i < sectors; ++i)
      fat[nextSector + i] = i + 1 < sectors ? nextSector + i + 1 : kEndOfChain;
    putEntry(s + 1, streams[s].first, 2, 0xFFFFFFFF,
             s + 1 < streams.size() ? static_cast<uint32_t>(s + 2) : 0xFFFFFFFF, nextSector,
             static_cast<uint32_t>(data.size()));
    data.resize(sectors * sector, 0);
    file.insert(file.end(), data.begin(), data.end());
    nextSector += sectors;
  }
  for (size_t i = 0; i < fat.size(); ++i) PutU32(file, sector + i * 4, fat[i]);
  return built;
}

}  // namespace morvane::testing
