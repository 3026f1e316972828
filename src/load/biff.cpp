// BIFF5/BIFF8 records (MS-XLS): the globals substream, the shared strings and the first sheet's cells.
#include "load/biff.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "load/byte_reader.h"
#include "load/cell_text.h"
#include "load/growing_bytes.h"
#include "platform/codepage936.h"

namespace morvane {
namespace {

// Record types (MS-XLS 2.3).
constexpr uint16_t kBof = 0x0809;
constexpr uint16_t kEof = 0x000A;
constexpr uint16_t kFilePass = 0x002F;
constexpr uint16_t kCodePage = 0x0042;
constexpr uint16_t kDateMode = 0x0022;
constexpr uint16_t kFormat = 0x041E;
constexpr uint16_t kXf = 0x00E0;
constexpr uint16_t kBoundSheet = 0x0085;
constexpr uint16_t kSst = 0x00FC;
constexpr uint16_t kContinue = 0x003C;
constexpr uint16_t kLabelSst = 0x00FD;
constexpr uint16_t kLabel = 0x0204;
constexpr uint16_t kRString = 0x00D6;
constexpr uint16_t kNumber = 0x0203;
constexpr uint16_t kRk = 0x027E;
constexpr uint16_t kMulRk = 0x00BD;
constexpr uint16_t kBoolErr = 0x0205;
constexpr uint16_t kBlank = 0x0201;
constexpr uint16_t kMulBlank = 0x00BE;
constexpr uint16_t kFormula = 0x0006;
constexpr uint16_t kString = 0x0207;
constexpr uint16_t kDimensions = 0x0200;
// BOF records of BIFF2, BIFF3 and BIFF4.
constexpr uint16_t kOldBofs[] = {0x0009, 0x0209, 0x0409};

WorkbookReadResult Failure(WorkbookError error, std::string detail) {
  return {false, {}, {error, std::move(detail)}};
}

double F64(const unsigned char* p) {
  const uint64_t bits = LoadU64(p);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

struct Record {
  uint16_t type = 0;
  uint64_t offset = 0;  // of the payload in the stream
  std::span<const unsigned char> data;
};

// Walks the records of the stream through a window of it, so that a stream of any size takes
// little memory. A record running past the stream's end is damage, and so is a stream that
// cannot be read where the walk reaches it.
class RecordCursor {
 public:
  RecordCursor(const ReadOnlyFile& stream, uint64_t position)
      : stream_(stream), size_(stream.Size()), position_(position) {}

  // False at the end of the stream or on damage (then Cut() is true). The record's data stays
  // valid until the next call.
  bool Next(Record& record) {
    // Most records lie whole in the window.
    const uint64_t at = position_ - windowStart_;
    if (position_ >= windowStart_ && at + 4 <= window_.size()) {
      const unsigned char* header = window_.data() + at;
      const uint16_t size = LoadU16(header + 2);
      if (at + 4 + size <= window_.size()) {
        record = {LoadU16(header), position_ + 4, std::span<const unsigned char>(header + 4, size)};
        position_ += 4 + size;
        return true;
      }
    }
    uint16_t type, size;
    if (!Header(position_, type, size) || !Hold(position_, position_ + 4 + size)) return false;
    record = {type, position_ + 4, Bytes(position_ + 4, size)};
    position_ += 4 + size;
    return true;
  }
  // The data of the CONTINUE record (MS-XLS 2.4.58) next in the stream, consumed; false when the
  // next record is another. Valid until the next call, like a record's data.
  bool NextContinue(std::span<const unsigned char>& data) {
    uint16_t type, size;
    if (!Header(position_, type, size) || type != kContinue || !Hold(position_, position_ + 4 + size))
      return false;
    data = Bytes(position_ + 4, size);
    position_ += 4 + size;
    return true;
  }
  // The walk goes on from `position`; the window is kept for it.
  void Seek(uint64_t position) { position_ = position; }
  bool Cut() const { return cut_; }
  uint64_t Size() const { return size_; }

 private:
  static constexpr uint64_t kWindow = 256 << 10;

  // The record header at `at`; false at the end of the stream and on damage.
  bool Header(uint64_t at, uint16_t& type, uint16_t& size) {
    if (at + 4 > size_ || !Hold(at, at + 4)) return false;
    const unsigned char* header = Bytes(at, 4).data();
    type = LoadU16(header);
    size = LoadU16(header + 2);
    if (at + 4 + size > size_) {
      cut_ = true;
      return false;
    }
    return true;
  }
  // Makes the stream's bytes [from, to) readable in the window, which then starts at `from`
  // unless it held them already. No record is longer than the window.
  bool Hold(uint64_t from, uint64_t to) {
    if (from >= windowStart_ && to <= windowStart_ + window_.size()) return true;
    // What the window holds from `from` on moves to its front; the rest is read.
    size_t kept = 0;
    if (from >= windowStart_ && from < windowStart_ + window_.size()) {
      kept = static_cast<size_t>(windowStart_ + window_.size() - from);
      std::memmove(window_.data(), window_.data() + (from - windowStart_), kept);
    }
    window_.Resize(static_cast<size_t>(std::min(size_, std::max(from + kWindow, to)) - from));
    windowStart_ = from;
    if (!stream_.ReadAt(from + kept, std::span(window_.data() + kept, window_.size() - kept))) {
      window_.Clear();
      cut_ = true;
      return false;
    }
    return true;
  }
  std::span<const unsigned char> Bytes(uint64_t offset, size_t count) const {
    return std::span<const unsigned char>(window_.data() + (offset - windowStart_), count);
  }

  const ReadOnlyFile& stream_;
  uint64_t size_;
  uint64_t position_;
  GrowingBytes window_;
  uint64_t windowStart_ = 0;  // the stream offset of window_[0]
  bool cut_ = false;
};

// Reads across a record and the CONTINUE records after it, taking each from the cursor only when
// the one before is used up, so the window never has to hold them all. Only character data
// announces itself again after a break: each continuation of a string's characters starts with a
// new flags byte.
class ContinuedReader {
 public:
  ContinuedReader(RecordCursor& cursor, std::span<const unsigned char> record) : cursor_(cursor), part_(record) {}

  bool ReadByte(uint8_t& out) {
    if (!Advance()) return false;
    out = part_[offset_++];
    return true;
  }
  bool ReadU16(uint16_t& out) {
    uint8_t low, high;
    if (!ReadByte(low) || !ReadByte(high)) return false;
    out = static_cast<uint16_t>(low | (high << 8));
    return true;
  }
  bool ReadU32(uint32_t& out) {
    uint16_t low, high;
    if (!ReadU16(low) || !ReadU16(high)) return false;
    out = low | (static_cast<uint32_t>(high) << 16);
    return true;
  }
  bool Skip(uint64_t count) {
    while (count > 0) {
      if (!Advance()) return false;
      const size_t take = static_cast<size_t>(std::min<uint64_t>(count, part_.size() - offset_));
      offset_ += take;
      count -= take;
    }
    return true;
  }
  // A plain string (one byte a character, no formatting runs, no phonetics) lying whole in the
  // current part: its characters, passed over. False, having moved nowhere, for any other.
  bool PlainString(std::span<const unsigned char>& characters) {
    if (part_.size() - offset_ < 3 || part_[offset_ + 2] != 0) return false;
    const size_t count = LoadU16(part_.data() + offset_);
    if (count > part_.size() - offset_ - 3) return false;
    characters = part_.subspan(offset_ + 3, count);
    offset_ += 3 + count;
    return true;
  }
  // cch characters, one byte each (the low byte of UTF-16) or two, appended as UTF-16.
  bool Characters(size_t count, bool twoBytes, std::u16string& out) {
    while (count > 0) {
      if (offset_ == part_.size()) {
        if (!cursor_.NextContinue(part_) || part_.empty()) return false;
        offset_ = 0;
        twoBytes = (part_[offset_++] & 0x01) != 0;
      }
      const size_t width = twoBytes ? 2 : 1;
      const size_t take = std::min(count, (part_.size() - offset_) / width);
      if (take == 0) return false;  // half a UTF-16 unit before the break
      const unsigned char* p = part_.data() + offset_;
      if (twoBytes) {
        const size_t at = out.size();
        out.resize(at + take);
        for (size_t i = 0; i < take; ++i) out[at + i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
      } else {
        out.append(p, p + take);
      }
      offset_ += take * width;
      count -= take;
    }
    return true;
  }

 private:
  // Moves past used-up parts; false when nothing is left.
  bool Advance() {
    while (offset_ == part_.size()) {
      if (!cursor_.NextContinue(part_)) return false;
      offset_ = 0;
    }
    return true;
  }

  RecordCursor& cursor_;
  std::span<const unsigned char> part_;
  size_t offset_ = 0;
};

char16_t Windows1252(unsigned char byte) {
  static constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                         0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                         0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                         0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  return (byte >= 0x80 && byte < 0xA0) ? kHigh[byte - 0x80] : byte;
}

// Plain ASCII is the same in code page 936; a zero byte is not, as no text holds one.
template <class Characters>
bool PlainAscii(const Characters& characters) {
  return std::all_of(characters.begin(), characters.end(), [](auto c) { return c != 0 && c < 0x80; });
}

std::string_view AsText(std::span<const unsigned char> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// SST (MS-XLS 2.4.265) with XLUnicodeRichExtendedString (MS-XLS 2.5.293) items, each added to the
// column's shared texts as the shared rule gives it. Plain ASCII is the same in code page 936, so
// most names are taken as the stream's own bytes; the others wait, joined, so that one conversion
// serves a run of them.
bool ReadSharedStrings(ContinuedReader& reader, size_t streamSize, ColumnTexts& texts, std::string& detail) {
  uint32_t total, unique;
  if (!reader.ReadU32(total) || !reader.ReadU32(unique)) {
    detail = "SST shorter than its header";
    return false;
  }
  // Every string takes at least three bytes, which bounds what a lying count can reserve. Room
  // for names of 16 bytes saves most of the copies growth would make; unused, it is address
  // space only.
  const size_t expected = std::min<size_t>(unique, streamSize / 3);
  texts.Reserve(0, expected, std::min<size_t>(streamSize, expected * 16));
  constexpr size_t kBatchBytes = 64 << 10;
  std::string waiting;
  const auto convertWaiting = [&] {
    if (waiting.empty()) return;
    StringCellTexts(waiting, [&](std::string_view text) { texts.AddShared(text); });
    waiting.clear();
  };
  std::u16string characters;
  std::string ascii;
  for (uint32_t i = 0; i < unique; ++i) {
    std::span<const unsigned char> plain;
    characters.clear();
    if (reader.PlainString(plain)) {
      if (PlainAscii(plain)) {
        convertWaiting();
        texts.AddShared(AsText(plain));
        continue;
      }
      characters.assign(plain.begin(), plain.end());
    } else {
      uint16_t count;
      uint8_t flags;
      if (!reader.ReadU16(count) || !reader.ReadByte(flags)) {
        // A count larger than what is stored ends here; a LABELSST past the stored strings is damage.
        break;
      }
      uint16_t runs = 0;
      uint32_t extendedSize = 0;
      if (((flags & 0x08) && !reader.ReadU16(runs)) || ((flags & 0x04) && !reader.ReadU32(extendedSize)) ||
          !reader.Characters(count, (flags & 0x01) != 0, characters) ||
          !reader.Skip(static_cast<uint64_t>(runs) * 4 + extendedSize)) {
        detail = "SST string " + std::to_string(i) + " cut short";
        return false;
      }
      if (PlainAscii(characters)) {
        convertWaiting();
        ascii.assign(characters.begin(), characters.end());
        texts.AddShared(ascii);
        continue;
      }
    }
    AppendCellUtf8(waiting, characters);
    waiting.push_back('\0');
    if (waiting.size() >= kBatchBytes) convertWaiting();
  }
  convertWaiting();
  return true;
}

class WorkbookReader {
 public:
  explicit WorkbookReader(const ReadOnlyFile& stream) : stream_(stream) {}

  WorkbookReadResult Read() {
    RecordCursor cursor(stream_, 0);
    Record record;
    // BOF (MS-XLS 2.4.21): the version tells BIFF8 from BIFF5; older versions have other types.
    if (!cursor.Next(record)) return Failure(WorkbookError::Damaged, "workbook stream without records");
    for (uint16_t oldBof : kOldBofs) {
      if (record.type == oldBof) return Failure(WorkbookError::Unsupported, "BIFF2-4 workbook");
    }
    if (record.type != kBof || record.data.size() < 4) {
      return Failure(WorkbookError::Damaged, "workbook stream does not start with BOF");
    }
    const uint16_t version = LoadU16(record.data.data());
    if (version == 0x0600) {
      biff8_ = true;
    } else if (version == 0x0500) {
      biff8_ = false;
    } else {
      return Failure(WorkbookError::Unsupported, "BOF version " + std::to_string(version));
    }
    if (auto failure = ReadGlobals(cursor)) return *failure;
    return ReadFirstSheet(cursor);
  }

 private:
  std::optional<WorkbookReadResult> ReadGlobals(RecordCursor& cursor) {
    Record record;
    while (cursor.Next(record)) {
      const auto& d = record.data;
      switch (record.type) {
        case kEof:
          return std::nullopt;
        case kFilePass:  // FilePass (MS-XLS 2.4.117)
          return Failure(WorkbookError::Encrypted, "FILEPASS record: the workbook has a password");
        case kCodePage:  // CodePage (MS-XLS 2.4.52)
          if (d.size() >= 2) codePage_ = LoadU16(d.data());
          break;
        case kDateMode:  // Date1904 (MS-XLS 2.4.77)
          if (d.size() >= 2) date1904_ = LoadU16(d.data()) == 1;
          break;
        case kFormat:  // Format (MS-XLS 2.4.126)
          ReadFormat(d);
          break;
        case kXf:  // XF (MS-XLS 2.4.353): the number format sits at the same place in BIFF5
          formatOfXf_.push_back(d.size() >= 4 ? LoadU16(d.data() + 2) : 0);
          break;
        case kBoundSheet:  // BoundSheet8 (MS-XLS 2.4.28): the first one is the first sheet
          if (!haveSheet_ && d.size() >= 6) {
            haveSheet_ = true;
            sheetPosition_ = LoadU32(d.data());
            sheetType_ = d[5];
          }
          break;
        case kSst:  // SST (MS-XLS 2.4.265) and its Continue (MS-XLS 2.4.58) records
          if (biff8_) {
            std::string detail;
            ContinuedReader reader(cursor, record.data);
            if (!ReadSharedStrings(reader, cursor.Size(), column_.texts, detail)) {
              return Failure(WorkbookError::Damaged, detail);
            }
          }
          break;
        default:
          break;
      }
    }
    if (cursor.Cut()) return Failure(WorkbookError::Damaged, "workbook globals cut inside a record");
    return Failure(WorkbookError::Damaged, "workbook globals without EOF");
  }

  void ReadFormat(std::span<const unsigned char> d) {
    if (d.size() < 3) return;
    const uint16_t id = LoadU16(d.data());
    std::string code;
    if (biff8_) {
      std::u16string characters;
      if (!ReadUnicodeString(d.subspan(2), characters)) return;
      AppendCellUtf8(code, characters);
    } else {
      const size_t count = std::min<size_t>(d[2], d.size() - 3);
      code = ByteStringToUtf8(d.subspan(3, count));
    }
    formatCodes_[id] = std::move(code);
  }

  // XLUnicodeString (MS-XLS 2.5.294): 16-bit count, flags, then 8- or 16-bit characters.
  static bool ReadUnicodeString(std::span<const unsigned char> d, std::u16string& out) {
    if (d.size() < 3) return false;
    const size_t count = LoadU16(d.data());
    const bool twoBytes = (d[2] & 0x01) != 0;
    const size_t available = (d.size() - 3) / (twoBytes ? 2 : 1);
    if (count > available) return false;
    const unsigned char* p = d.data() + 3;
    out.resize(count);
    for (size_t i = 0; i < count; ++i) out[i] = twoBytes ? static_cast<char16_t>(LoadU16(p + 2 * i)) : p[i];
    return true;
  }

  // BIFF5 strings are bytes in the workbook's code page.
  std::string ByteStringToUtf8(std::span<const unsigned char> bytes) const {
    std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (codePage_ == 936) {
      if (auto utf8 = Codepage936ToUtf8(view)) return *utf8;
    }
    std::string out;
    if (codePage_ == 1200) {
      // Gnumeric's BIFF5 (fixture chinese.biff5.xls) writes a string that fits in 8 bits as
      // Latin-1 and any other as UTF-16LE counted in bytes, with no flag to tell them apart. Only
      // the UTF-16 form can hold a zero byte; a string of ideographs alone has none and reads
      // wrongly, a loss this writer's files cannot avoid.
      const bool wide = bytes.size() % 2 == 0 && std::find(bytes.begin(), bytes.end(), 0) != bytes.end();
      std::u16string characters;
      if (wide) {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
          characters.push_back(static_cast<char16_t>(LoadU16(&bytes[i])));
      } else {
        characters.assign(bytes.begin(), bytes.end());
      }
      AppendCellUtf8(out, characters);
      return out;
    }
    for (unsigned char byte : bytes) {
      if (byte < 0x80) {
        out.push_back(static_cast<char>(byte));
      } else if (codePage_ == 1252 || codePage_ == 28591 || codePage_ == 0) {
        AppendUtf8(out, Windows1252(byte));
      } else {
        out.push_back('?');  // a code page this program cannot convert
      }
    }
    return out;
  }

  Text ByteStringText(std::span<const unsigned char> bytes) const {
    return StringCellText(ByteStringToUtf8(bytes));
  }

  // LABEL/RSTRING/STRING text: XLUnicodeString in BIFF8, a 16-bit counted byte string in BIFF5.
  bool ReadLabelText(std::span<const unsigned char> d, Text& out) const {
    if (biff8_) {
      std::u16string characters;
      if (!ReadUnicodeString(d, characters)) return false;
      out = StringCellTextUtf16(characters);
      return true;
    }
    if (d.size() < 2) return false;
    const size_t count = LoadU16(d.data());
    if (count > d.size() - 2) return false;
    out = ByteStringText(d.subspan(2, count));
    return true;
  }

  bool IsDateXf(uint16_t xf) {
    if (xf >= formatOfXf_.size()) return false;
    const uint16_t format = formatOfXf_[xf];
    auto cached = dateFormats_.find(format);
    if (cached != dateFormats_.end()) return cached->second;
    auto code = formatCodes_.find(format);
    const bool isDate = IsDateFormat(format, code == formatCodes_.end() ? std::string_view() : code->second);
    dateFormats_.emplace(format, isDate);
    return isDate;
  }

  Text NumberText(double value, uint16_t xf) {
    return IsDateXf(xf) ? DateCellText(value, date1904_) : NumberCellText(value);
  }

  // RkNumber (MS-XLS 2.5.217)
  static double RkValue(uint32_t rk) {
    double value;
    if (rk & 0x02) {
      value = static_cast<double>(static_cast<int32_t>(rk) >> 2);
    } else {
      const uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFC) << 32;
      std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) ? value / 100 : value;
  }

  void UseRow(uint16_t row) { lastRow_ = std::max<int32_t>(lastRow_, static_cast<int32_t>(row) + 1); }
  void SetColumnA(uint16_t row, std::string_view text) { column_.texts.Set(row, text); }

  WorkbookReadResult ReadFirstSheet(RecordCursor& cursor) {
    if (!haveSheet_) return Failure(WorkbookError::Damaged, "workbook without a BOUNDSHEET record");
    // Chart sheets and modules have no cells: an empty column, as a used range of nothing.
    if (sheetType_ != 0 && sheetType_ != 1) return {true, {}, {}};
    cursor.Seek(sheetPosition_);
    Record record;
    if (sheetPosition_ >= stream_.Size() || !cursor.Next(record) || record.type != kBof) {
      return Failure(WorkbookError::Damaged,
                     "first sheet's position " + std::to_string(sheetPosition_) + " holds no BOF");
    }
    // Embedded charts bring their own BOF..EOF inside the sheet; their records are not cells.
    int depth = 1;
    // Row of the column A formula whose text result the next STRING record carries; -2 when the
    // formula is in another column.
    int32_t pendingStringRow = -1;
    while (cursor.Next(record)) {
      const auto& d = record.data;
      if (record.type == kBof) {
        if (++depth > 64) return Failure(WorkbookError::Damaged, "substreams nested too deeply");
        continue;
      }
      if (record.type == kEof) {
        if (--depth == 0) break;
        continue;
      }
      if (depth != 1) continue;
      switch (record.type) {
        case kDimensions:  // Dimensions (MS-XLS 2.4.90): only a hint for the memory to reserve
          if (d.size() >= 8) {
            const uint32_t rows = biff8_ ? LoadU32(d.data() + 4) : LoadU16(d.data() + 2);
            column_.texts.Reserve(std::min<uint32_t>(rows, 65536), 0, 0);
          }
          break;
        case kLabelSst: {  // LabelSst (MS-XLS 2.4.149)
          if (d.size() < 10) return CellTooShort(record);
          const uint16_t row = LoadU16(d.data());
          UseRow(row);
          pendingStringRow = -1;
          if (LoadU16(d.data() + 2) != 0) break;
          const uint32_t index = LoadU32(d.data() + 6);
          if (index >= column_.texts.SharedCount()) {
            return Failure(WorkbookError::Damaged,
                           "LABELSST index " + std::to_string(index) + " beyond the SST");
          }
          column_.texts.SetShared(row, index);
          break;
        }
        case kLabel:      // Label (MS-XLS 2.4.148)
        case kRString: {  // RString (MS-XLS 2.4.225): the runs after the text are formatting
          if (d.size() < 6) return CellTooShort(record);
          const uint16_t row = LoadU16(d.data());
          UseRow(row);
          pendingStringRow = -1;
          if (LoadU16(d.data() + 2) != 0) break;
          Text text;
          if (!ReadLabelText(d.subspan(6), text)) return CellTooShort(record);
          SetColumnA(row, text);
          break;
        }
        case kNumber: {  // Number (MS-XLS 2.4.180)
          if (d.size() < 14) return CellTooShort(record);
          const uint16_t row = LoadU16(d.data());
          UseRow(row);
          pendingStringRow = -1;
          if (LoadU16(d.data() + 2) == 0)
            SetColumnA(row, NumberText(F64(d.data() + 6), LoadU16(d.data() + 4)));
          break;
        }
        case kRk:       // RK (MS-XLS 2.4.220)
        case kMulRk: {  // MulRk (MS-XLS 2.4.175): its first RkRec, column A if any, lies where RK's does
          if (d.size() < (record.type == kRk ? 10u : 12u)) return CellTooShort(record);
          const uint16_t row = LoadU16(d.data());
          UseRow(row);
          pendingStringRow = -1;
          if (LoadU16(d.data() + 2) == 0)
            SetColumnA(row, NumberText(RkValue(LoadU32(d.data() + 6)), LoadU16(d.data() + 4)));
          break;
        }
        case kBoolErr: {  // BoolErr (MS-XLS 2.4.24): an error value reads as the empty text
          if (d.size() < 8) return CellTooShort(record);
          const uint16_t row = LoadU16(d.data());
          UseRow(row);
          pendingStringRow = -1;
          if (LoadU16(d.data() + 2) == 0) SetColumnA(row, d[7] == 0 ? BooleanCellText(d[6] != 0) : Text());
          break;
        }
        case kBlank:       // Blank (MS-XLS 2.4.20)
        case kMulBlank: {  // MulBlank (MS-XLS 2.4.174)
          if (d.size() < 6) return CellTooShort(record);
          UseRow(LoadU16(d.data()));
          pendingStringRow = -1;
          break;
        }
        case kFormula: {  // Formula (MS-XLS 2.4.127) with its cached FormulaValue (MS-XLS 2.5.133)
          if (d.size() < 14) return CellTooShort(record);
          const uint16_t row = LoadU16(d.data());
          const bool columnA = LoadU16(d.data() + 2) == 0;
          UseRow(row);
          pendingStringRow = -1;
          const unsigned char* value = d.data() + 6;
          if (LoadU16(value + 6) != 0xFFFF) {
            if (columnA) SetColumnA(row, NumberText(F64(value), LoadU16(d.data() + 4)));
            break;
          }
          switch (value[0]) {
            case 0:  // text, in the STRING record that follows
              pendingStringRow = columnA ? row : -2;
              break;
            case 1:
              if (columnA) SetColumnA(row, BooleanCellText(value[2] != 0));
              break;
            default:  // error or empty text
              if (columnA) SetColumnA(row, Text());
              break;
          }
          break;
        }
        case kString: {  // String (MS-XLS 2.4.268), possibly continued
          const int32_t row = pendingStringRow;
          pendingStringRow = -1;
          if (row < 0) break;
          Text text;
          if (biff8_) {
            ContinuedReader reader(cursor, record.data);
            uint16_t count;
            uint8_t flags;
            std::u16string characters;
            if (!reader.ReadU16(count) || !reader.ReadByte(flags) ||
                !reader.Characters(count, (flags & 0x01) != 0, characters)) {
              return CellTooShort(record);
            }
            text = StringCellTextUtf16(characters);
          } else if (!ReadLabelText(record.data, text)) {
            return CellTooShort(record);
          }
          SetColumnA(static_cast<uint16_t>(row), text);
          break;
        }
        default:
          break;
      }
    }
    if (cursor.Cut()) return Failure(WorkbookError::Damaged, "first sheet cut inside a record");
    if (column_.texts.Overflowed()) return Failure(WorkbookError::Damaged, "more text than a column holds");
    column_.lastUsedRow = lastRow_;
    column_.texts.Truncate(static_cast<size_t>(lastRow_));
    return {true, std::move(column_), {}};
  }

  static WorkbookReadResult CellTooShort(const Record& record) {
    return Failure(WorkbookError::Damaged, "cell record 0x" + ToHex(record.type) + " at offset " +
                                               std::to_string(record.offset) + " too short");
  }
  static std::string ToHex(uint16_t value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%04X", value);
    return buffer;
  }

  const ReadOnlyFile& stream_;
  bool biff8_ = true;
  uint16_t codePage_ = 0;
  bool date1904_ = false;
  std::unordered_map<uint16_t, std::string> formatCodes_;
  std::vector<uint16_t> formatOfXf_;
  std::unordered_map<uint16_t, bool> dateFormats_;
  bool haveSheet_ = false;
  uint32_t sheetPosition_ = 0;
  uint8_t sheetType_ = 0;
  int32_t lastRow_ = 0;
  FirstSheetColumn column_;
};

}  // namespace

WorkbookReadResult ReadBiffFirstSheetColumn(const ReadOnlyFile& workbookStream) {
  return WorkbookReader(workbookStream).Read();
}

WorkbookReadResult ReadBiffFirstSheetColumn(std::span<const unsigned char> workbookStream) {
  const MemoryFile stream(workbookStream);
  return ReadBiffFirstSheetColumn(stream);
}

}  // namespace morvane
