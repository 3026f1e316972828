// Fuzz target for the OOXML parts: the input holds the workbook, its relationships, the shared
// strings, the styles and the first sheet, separated by "\n--part--\n", and is packed into a valid
// archive so that every mutation reaches the XML.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "load/workbook.h"

namespace {

void PutU16(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void PutU32(std::string& out, uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}

// A ZIP of stored entries.
std::string StoredZip(const std::vector<std::pair<std::string, std::string_view>>& parts) {
  std::string archive;
  std::string directory;
  for (const auto& [name, content] : parts) {
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));
    const uint32_t offset = static_cast<uint32_t>(archive.size());
    PutU32(archive, 0x04034b50);
    PutU16(archive, 20);
    PutU16(archive, 0);
    PutU16(archive, 0);
    PutU32(archive, 0);
    PutU32(archive, crc);
    PutU32(archive, static_cast<uint32_t>(content.size()));
    PutU32(archive, static_cast<uint32_t>(content.size()));
    PutU16(archive, static_cast<uint32_t>(name.size()));
    PutU16(archive, 0);
    archive += name;
    archive += content;
    PutU32(directory, 0x02014b50);
    PutU16(directory, 20);
    PutU16(directory, 20);
    PutU16(directory, 0);
    PutU16(directory, 0);
    PutU32(directory, 0);
    PutU32(directory, crc);
    PutU32(directory, static_cast<uint32_t>(content.size()));
    PutU32(directory, static_cast<uint32_t>(content.size()));
    PutU16(directory, static_cast<uint32_t>(name.size()));
    PutU16(directory, 0);
    PutU16(directory, 0);
    PutU16(directory, 0);
    PutU16(directory, 0);
    PutU32(directory, 0);
    PutU32(directory, offset);
    directory += name;
  }
  const uint32_t directoryOffset = static_cast<uint32_t>(archive.size());
  archive += directory;
  PutU32(archive, 0x06054b50);
  PutU16(archive, 0);
  PutU16(archive, 0);
  PutU16(archive, static_cast<uint32_t>(parts.size()));
  PutU16(archive, static_cast<uint32_t>(parts.size()));
  PutU32(archive, static_cast<uint32_t>(directory.size()));
  PutU32(archive, directoryOffset);
  PutU16(archive, 0);
  return archive;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view parts[5];
  constexpr std::string_view kSeparator = "\n--part--\n";
  for (auto& part : parts) {
    const auto at = input.find(kSeparator);
    part = input.substr(0, at);
    input = at == std::string_view::npos ? std::string_view() : input.substr(at + kSeparator.size());
  }
  static const std::string kPackageRelationships =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
      "Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
      "Target=\"xl/workbook.xml\"/></Relationships>";
  const std::string archive = StoredZip({{"_rels/.rels", kPackageRelationships},
                                         {"xl/workbook.xml", parts[0]},
                                         {"xl/_rels/workbook.xml.rels", parts[1]},
                                         {"xl/sharedStrings.xml", parts[2]},
                                         {"xl/styles.xml", parts[3]},
                                         {"xl/worksheets/sheet1.xml", parts[4]}});
  morvane::ReadFirstSheetColumnFromBytes(
      std::span(reinterpret_cast<const unsigned char*>(archive.data()), archive.size()));
  return 0;
}
