// The .xls reader: the workbook stream out of its compound file, then its BIFF records.
#include "load/biff.h"
#include "load/cfb.h"
#include "load/workbook.h"

namespace morvane {

WorkbookReadResult ReadXlsFirstSheetColumn(const ReadOnlyFile& file) {
  std::string detail;
  auto compound = CompoundFile::Open(file, detail);
  if (!compound) return {false, {}, {WorkbookError::Damaged, detail}};
  // A password-protected .xlsx travels in a compound file as "EncryptedPackage".
  if (compound->FindRootStream(u"EncryptedPackage")) {
    return {false, {}, {WorkbookError::Encrypted, "encrypted OOXML package"}};
  }
  auto stream = compound->FindRootStream(u"Workbook");
  if (!stream) stream = compound->FindRootStream(u"Book");  // BIFF5
  if (!stream) return {false, {}, {WorkbookError::Unsupported, "compound file without a workbook stream"}};
  const auto bytes = compound->OpenStream(*stream, detail);
  if (!bytes) return {false, {}, {WorkbookError::Damaged, "workbook stream: " + detail}};
  return ReadBiffFirstSheetColumn(*bytes);
}

}  // namespace morvane
