// Opening a workbook by its signature, whatever the file is called.
#include "load/workbook.h"

#include <cstring>

#include "load/byte_reader.h"

namespace morvane {

void ColumnTexts::Set(std::size_t index, std::string_view text) {
  if (index >= ends_.size()) {
    ends_.resize(index, bytes_.size());
    bytes_.Append(text);
    ends_.push_back(bytes_.size());
    return;
  }
  if (index + 1 == ends_.size()) {
    // The last row again, as when a row repeats: rewritten in place, nothing kept aside.
    bytes_.Resize(index == 0 ? 0 : ends_[index - 1]);
    bytes_.Append(text);
    ends_.back() = bytes_.size();
    if (!replaced_.empty()) replaced_.erase(index);
    return;
  }
  replaced_.insert_or_assign(index, Text(text));
}

Text ColumnTexts::Get(std::size_t index) const {
  if (index >= ends_.size()) return {};
  if (!replaced_.empty()) {
    const auto found = replaced_.find(index);
    if (found != replaced_.end()) return found->second;
  }
  const std::size_t begin = index == 0 ? 0 : ends_[index - 1];
  return Text(bytes_.View(begin, ends_[index] - begin));
}

void ColumnTexts::Truncate(std::size_t rows) {
  if (rows >= ends_.size()) return;
  ends_.resize(rows);
  bytes_.Resize(rows == 0 ? 0 : ends_.back());
  replaced_.erase(replaced_.lower_bound(rows), replaced_.end());
}

void ColumnTexts::Reserve(std::size_t rows, std::size_t bytes) {
  ends_.reserve(rows);
  bytes_.Reserve(bytes);
}

std::vector<Text> ColumnTexts::ToVector() const {
  std::vector<Text> texts;
  texts.reserve(ends_.size());
  for (std::size_t index = 0; index < ends_.size(); ++index) texts.push_back(Get(index));
  return texts;
}

WorkbookReadResult ReadFirstSheetColumn(const Text& path) {
  auto file = OpenReadOnlyFile(path);
  if (!file) return {false, {}, {WorkbookError::CannotOpenFile, "cannot open"}};
  return ReadFirstSheetColumn(*file);
}

WorkbookReadResult ReadFirstSheetColumn(const ReadOnlyFile& file) {
  static constexpr unsigned char kZip[4] = {'P', 'K', 3, 4};
  static constexpr unsigned char kCompoundFile[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  unsigned char head[8] = {};
  const std::size_t count = file.Size() < sizeof head ? static_cast<std::size_t>(file.Size()) : sizeof head;
  if (!file.ReadAt(0, std::span<unsigned char>(head, count)))
    return {false, {}, {WorkbookError::CannotOpenFile, "cannot read the first bytes"}};
  if (count >= 4 && std::memcmp(head, kZip, 4) == 0) return ReadOoxmlFirstSheetColumn(file);
  // A compound file is an .xls or a password-protected .xlsx (an EncryptedPackage stream); the
  // .xls reader tells them apart, since it walks the directory anyway.
  if (count == 8 && std::memcmp(head, kCompoundFile, 8) == 0) return ReadXlsFirstSheetColumn(file);
  return {false, {}, {WorkbookError::UnknownFormat, "neither a ZIP nor a compound file"}};
}

WorkbookReadResult ReadFirstSheetColumnFromBytes(std::span<const unsigned char> bytes) {
  MemoryFile file(bytes);
  return ReadFirstSheetColumn(file);
}

}  // namespace morvane
