// Opening a workbook by its signature, whatever the file is called.
#include "load/workbook.h"

#include <cstring>

#include "load/byte_reader.h"

namespace morvane {

uint32_t ColumnTexts::Add(std::string_view text) {
  const std::size_t end = bytes_.size() + text.size();
  if (overflowed_ || end > UINT32_MAX || ends_.size() >= kReplaced) {
    overflowed_ = true;
    return kEmpty;
  }
  bytes_.Append(text);
  ends_.push_back(static_cast<uint32_t>(end));
  return static_cast<uint32_t>(ends_.size() - 1);
}

void ColumnTexts::AddShared(std::string_view text) {
  // Rows' own texts come after the shared ones; a reader adds all of these first.
  if (shared_ != ends_.size()) {
    overflowed_ = true;
    return;
  }
  if (Add(text) != kEmpty) ++shared_;
}

void ColumnTexts::SetNumber(std::size_t index, uint32_t number) {
  if (index >= rows_.size()) {
    rows_.resize(index, kEmpty);
    rows_.push_back(number);
    return;
  }
  if (rows_[index] == kReplaced) replaced_.erase(index);
  rows_[index] = number;
}

void ColumnTexts::SetShared(std::size_t index, std::size_t shared) {
  if (shared >= shared_) return;
  SetNumber(index, static_cast<uint32_t>(shared));
}

void ColumnTexts::Set(std::size_t index, std::string_view text) {
  if (index >= rows_.size()) {
    SetNumber(index, Add(text));
    return;
  }
  const uint32_t number = rows_[index];
  if (number < kReplaced && number >= shared_ && number + 1 == ends_.size()) {
    // The row holds the last text, its own, as when a row repeats: rewritten in place.
    bytes_.Resize(number == 0 ? 0 : ends_[number - 1]);
    ends_.pop_back();
    rows_[index] = Add(text);
    return;
  }
  replaced_.insert_or_assign(index, Text(text));
  rows_[index] = kReplaced;
}

Text ColumnTexts::Get(std::size_t index) const {
  if (index >= rows_.size()) return {};
  const uint32_t number = rows_[index];
  if (number == kEmpty) return {};
  if (number == kReplaced) {
    const auto found = replaced_.find(index);
    return found == replaced_.end() ? Text() : found->second;
  }
  const uint32_t begin = number == 0 ? 0 : ends_[number - 1];
  return Text(bytes_.View(begin, ends_[number] - begin));
}

void ColumnTexts::Truncate(std::size_t rows) {
  if (rows >= rows_.size()) return;
  rows_.resize(rows);
  replaced_.erase(replaced_.lower_bound(rows), replaced_.end());
}

void ColumnTexts::Reserve(std::size_t rows, std::size_t shared, std::size_t bytes) {
  rows_.reserve(rows);
  // Rows may each bring a text of their own. Room not used costs address space only, but moving
  // texts already held to make it would cost more than it saves.
  ends_.reserve(ends_.size() + shared + (ends_.empty() ? rows : 0));
  bytes_.Reserve(bytes);
}

std::vector<Text> ColumnTexts::ToVector() const {
  std::vector<Text> texts;
  texts.reserve(rows_.size());
  for (std::size_t index = 0; index < rows_.size(); ++index) texts.push_back(Get(index));
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
