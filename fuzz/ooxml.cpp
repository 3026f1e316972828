// Fuzz target for the OOXML parts: the input holds the workbook, its relationships, the shared
// strings, the styles and the first sheet, separated by "\n--part--\n", and is packed into a valid
// archive so that every mutation reaches the XML.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "../tests/load/zip_test_builder.h"
#include "load/workbook.h"

using morvane::testing::StoredZip;

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
      "Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
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
