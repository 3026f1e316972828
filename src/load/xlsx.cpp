// The .xlsx/.xlsm reader: relationships to the first sheet, shared strings, styles, and the sheet
// streamed for column A.
#include <algorithm>
#include <charconv>
#include <cstring>

#include "load/cell_text.h"
#include "load/workbook.h"
#include "load/xml_scanner.h"
#include "load/zip.h"
#include "platform/codepage936.h"

namespace morvane {
namespace {

// Excel's sheet size: cells past it are dropped, as Excel drops them when it opens such a file.
constexpr uint32_t kMaximumRows = 1'048'576;
constexpr uint32_t kMaximumColumns = 16'384;

struct Failure {
  WorkbookError error = WorkbookError::None;
  std::string detail;
};

WorkbookError FromZipError(ZipError error) {
  switch (error) {
    case ZipError::Encrypted:
      return WorkbookError::Encrypted;
    case ZipError::Unsupported:
      return WorkbookError::Unsupported;
    default:
      return WorkbookError::Damaged;
  }
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

template <typename Number>
bool ParseUnsigned(std::string_view text, Number& value) {
  if (text.empty()) return false;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

// "_xHHHH_" stands for a UTF-16 code unit the XML could not carry; a pair of them for a surrogate pair.
void DecodeEscapes(std::string_view text, std::string& out) {
  out.clear();
  auto unitAt = [&](std::size_t i, uint32_t& unit) {
    if (i + 7 > text.size() || text[i] != '_' || text[i + 1] != 'x' || text[i + 6] != '_') return false;
    unit = 0;
    for (std::size_t k = i + 2; k < i + 6; ++k) {
      const char c = text[k];
      uint32_t digit;
      if (c >= '0' && c <= '9')
        digit = static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f')
        digit = static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        digit = static_cast<uint32_t>(c - 'A' + 10);
      else
        return false;
      unit = unit * 16 + digit;
    }
    return true;
  };
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t underscore = text.find("_x", i);
    if (underscore == std::string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    out.append(text.substr(i, underscore - i));
    uint32_t unit;
    if (!unitAt(underscore, unit)) {
      out.push_back('_');
      i = underscore + 1;
      continue;
    }
    i = underscore + 7;
    uint32_t low;
    if (unit >= 0xD800 && unit <= 0xDBFF && unitAt(i, low) && low >= 0xDC00 && low <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
      i += 7;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      out.push_back('?');
    } else if (unit != 0) {
      AppendUtf8(out, unit);
    }
  }
}

// Joins a relationship target to the folder of the part that holds it; "/x" is from the root.
std::string ResolveTarget(std::string_view sourceFolder, std::string_view target) {
  std::string joined;
  if (!target.empty() && target.front() == '/') {
    joined = target.substr(1);
  } else {
    joined = std::string(sourceFolder);
    if (!joined.empty()) joined += '/';
    joined += target;
  }
  std::vector<std::string_view> parts;
  std::string_view rest = joined;
  while (!rest.empty()) {
    const auto slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  std::string resolved;
  for (const auto& part : parts) {
    if (!resolved.empty()) resolved += '/';
    resolved += part;
  }
  return resolved;
}

std::string FolderOf(std::string_view part) {
  const auto slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash));
}

std::string RelationshipsPartOf(std::string_view part) {
  const auto slash = part.rfind('/');
  const std::string_view folder =
      slash == std::string_view::npos ? std::string_view() : part.substr(0, slash + 1);
  const std::string_view name = slash == std::string_view::npos ? part : part.substr(slash + 1);
  return std::string(folder) + "_rels/" + std::string(name) + ".rels";
}

struct Relationship {
  std::string id;
  std::string type;
  std::string target;
};

// Shared strings in one buffer, code page 936 once read.
struct SharedStrings {
  std::string bytes;
  std::vector<uint32_t> ends;

  std::string_view At(std::size_t index) const {
    const uint32_t begin = index == 0 ? 0 : ends[index - 1];
    return std::string_view(bytes).substr(begin, ends[index] - begin);
  }
  // A text known to hold no NUL.
  void AddPlain(std::string_view text) {
    bytes.append(text);
    ends.push_back(static_cast<uint32_t>(bytes.size()));
  }
  void Add(std::string_view text) {
    // A text never holds NUL; dropping it here also keeps the batch conversion's separators unique.
    if (text.find('\0') == std::string_view::npos) {
      bytes.append(text);
    } else {
      for (char c : text)
        if (c != '\0') bytes.push_back(c);
    }
    ends.push_back(static_cast<uint32_t>(bytes.size()));
  }
};

bool IsAscii(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

// Converts the table to code page 936 in place: no character takes more bytes there than in UTF-8
// ("?" for a missing one included), so each text fits where it was. ASCII texts stay as they are;
// the others go through the platform's converter in batches joined by NUL, a batch being split
// only when some character in it is missing from the code page.
void ConvertSharedStrings(SharedStrings& table) {
  if (IsAscii(table.bytes)) return;
  std::vector<uint32_t> others;
  for (std::size_t i = 0; i < table.ends.size(); ++i)
    if (!IsAscii(table.At(i))) others.push_back(static_cast<uint32_t>(i));
  std::vector<std::string> converted;
  converted.reserve(others.size());
  // Joined in batches, so that one conversion serves many texts with little memory beside them.
  constexpr std::size_t kBatchBytes = 1 << 20;
  std::string joined;
  for (std::size_t first = 0; first < others.size();) {
    joined.clear();
    std::size_t last = first;
    while (last < others.size() && (last == first || joined.size() < kBatchBytes)) {
      joined.append(table.At(others[last++]));
      joined.push_back('\0');
    }
    StringCellTexts(joined, [&](std::string_view text) { converted.emplace_back(text); });
    first = last;
  }
  std::size_t write = 0, next = 0;
  uint32_t begin = 0;
  for (std::size_t i = 0; i < table.ends.size(); ++i) {
    const uint32_t end = table.ends[i];
    std::string_view text(table.bytes.data() + begin, end - begin);
    if (next < others.size() && others[next] == i) {
      text = converted[next];
      text = text.substr(0, end - begin);  // never longer, as said above
      ++next;
    }
    std::memmove(table.bytes.data() + write, text.data(), text.size());
    write += text.size();
    begin = end;
    table.ends[i] = static_cast<uint32_t>(write);
  }
  table.bytes.resize(write);
}

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Whether text holds literal at position at; inline, since the fast paths ask it for a few bytes
// millions of times.
template <std::size_t N>
bool HasAt(std::string_view text, std::size_t at, const char (&literal)[N]) {
  if (at > text.size() || text.size() - at < N - 1) return false;
  for (std::size_t i = 0; i + 1 < N; ++i)
    if (text[at + i] != literal[i]) return false;
  return true;
}

// For the fast paths: the attributes of a start tag whose name ends at text[at], when every value
// is plain (no references); take(localName, value) sees each. The index past the tag, or npos
// when the tag is not plain or not complete in the text.
template <typename Take>
std::size_t ParsePlainTag(std::string_view text, std::size_t at, bool& selfClosing, Take&& take) {
  constexpr auto npos = std::string_view::npos;
  for (;;) {
    while (at < text.size() && IsXmlSpace(text[at])) ++at;
    if (at >= text.size()) return npos;
    if (text[at] == '>') {
      selfClosing = false;
      return at + 1;
    }
    if (text[at] == '/') {
      if (at + 1 >= text.size() || text[at + 1] != '>') return npos;
      selfClosing = true;
      return at + 2;
    }
    // The local name starts after the last colon, found on the way.
    const std::size_t nameStart = at;
    std::size_t localStart = at;
    for (; at < text.size(); ++at) {
      const char c = text[at];
      if (c == '=' || c == '>' || c == '/' || IsXmlSpace(c)) break;
      if (c == ':') localStart = at + 1;
    }
    if (at + 1 >= text.size() || text[at] != '=' || (text[at + 1] != '"' && text[at + 1] != '\''))
      return npos;
    const std::string_view name = text.substr(nameStart, at - nameStart);
    const std::string_view localName = text.substr(localStart, at - localStart);
    const char quote = text[at + 1];
    at += 2;
    const std::size_t valueStart = at;
    while (at < text.size() && text[at] != quote) {
      if (text[at] == '&' || text[at] == '<') return npos;
      ++at;
    }
    if (at >= text.size()) return npos;
    if (!name.starts_with("xmlns")) take(localName, text.substr(valueStart, at - valueStart));
    ++at;
  }
}

// A cell reference ("B12") as column and row numbers; either stays as given when absent.
void ParseCellReference(std::string_view reference, uint32_t& columnNumber, uint32_t& rowNumber) {
  std::size_t i = 0;
  uint32_t letters = 0;
  while (i < reference.size() && i < 4) {
    char c = reference[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c < 'A' || c > 'Z') break;
    letters = letters * 26 + static_cast<uint32_t>(c - 'A' + 1);
    ++i;
  }
  if (i > 0) columnNumber = letters;
  uint32_t digits;
  if (i < reference.size() && ParseUnsigned(reference.substr(i), digits)) rowNumber = digits;
}

class OoxmlReader {
 public:
  explicit OoxmlReader(const ReadOnlyFile& file) : file_(file) {}

  WorkbookReadResult Read();

 private:
  // Streams one part through the scanner. The handler takes each event and returns false to
  // stop; before, called ahead of every event, may take regular content on a fast path.
  template <typename Handler, typename Before>
  bool ScanPart(const std::string& name, Handler&& handle, Before&& before);
  template <typename Handler>
  bool ScanPart(const std::string& name, Handler&& handle) {
    return ScanPart(name, handle, [](XmlScanner&) {});
  }
  bool Fail(WorkbookError error, std::string detail) {
    if (failure_.error == WorkbookError::None) failure_ = {error, std::move(detail)};
    return false;
  }
  bool ReadRelationships(const std::string& part, std::vector<Relationship>& relationships);
  bool ReadWorkbook(const std::string& part, std::string& firstSheetId);
  bool ReadStyles(const std::string& part);
  bool ReadSharedStrings(const std::string& part);
  bool ReadSheet(const std::string& part, FirstSheetColumn& column);
  Text CellText(std::string_view type, uint32_t style, std::string_view value);

  const ReadOnlyFile& file_;
  std::unique_ptr<ZipArchive> archive_;
  Failure failure_;
  bool date1904_ = false;
  std::vector<bool> dateStyles_;
  SharedStrings sharedStrings_;
  std::string scratch_;
};

template <typename Handler, typename Before>
bool OoxmlReader::ScanPart(const std::string& name, Handler&& handle, Before&& before) {
  const ZipEntry* entry = archive_->Find(name);
  if (!entry) return Fail(WorkbookError::Damaged, "part " + name + " missing");
  ZipError zipError;
  std::string detail;
  auto stream = archive_->OpenEntry(*entry, zipError, detail);
  if (!stream) return Fail(FromZipError(zipError), detail);
  // Large parts are inflated on a second thread while this one scans.
  std::unique_ptr<ReadAheadStream> readAhead;
  if (entry->uncompressedSize >= (1u << 20)) readAhead = std::make_unique<ReadAheadStream>(*stream);
  XmlScanner scanner(readAhead ? static_cast<ByteStream&>(*readAhead) : *stream);
  scanner.WantText(false);
  for (;;) {
    before(scanner);
    if (failure_.error != WorkbookError::None) return false;
    const auto event = scanner.Next();
    if (event == XmlScanner::Event::Error) {
      readAhead.reset();  // the worker may still be inflating: stop it before asking the stream
      if (stream->Error() != ZipError::None) return Fail(FromZipError(stream->Error()), stream->Detail());
      return Fail(WorkbookError::Damaged, name + ": " + scanner.ErrorDetail());
    }
    if (event == XmlScanner::Event::End) break;
    if (!handle(scanner, event)) break;
  }
  return failure_.error == WorkbookError::None;
}

bool OoxmlReader::ReadRelationships(const std::string& part, std::vector<Relationship>& relationships) {
  return ScanPart(part, [&](XmlScanner& xml, XmlScanner::Event event) {
    if (event != XmlScanner::Event::StartElement || xml.Name() != "Relationship") return true;
    if (auto mode = xml.Attribute("TargetMode"); mode && *mode == "External") return true;
    Relationship relationship;
    if (auto id = xml.Attribute("Id")) relationship.id = *id;
    if (auto type = xml.Attribute("Type")) relationship.type = *type;
    if (auto target = xml.Attribute("Target")) relationship.target = *target;
    relationships.push_back(std::move(relationship));
    return true;
  });
}

bool OoxmlReader::ReadWorkbook(const std::string& part, std::string& firstSheetId) {
  bool rootSeen = false;
  const bool ok = ScanPart(part, [&](XmlScanner& xml, XmlScanner::Event event) {
    if (event == XmlScanner::Event::EndElement) return xml.Name() != "sheets";
    if (event != XmlScanner::Event::StartElement) return true;
    const auto name = xml.Name();
    if (!rootSeen) {
      rootSeen = true;
      if (name != "workbook") return Fail(WorkbookError::Unsupported, part + " is not a workbook part");
    } else if (name == "workbookPr") {
      if (auto value = xml.Attribute("date1904")) date1904_ = *value == "1" || *value == "true";
    } else if (name == "sheet" && firstSheetId.empty()) {
      // The relationship id is r:id in both namespaces; "id" alone never appears on <sheet>.
      if (auto id = xml.Attribute("id")) firstSheetId = *id;
    }
    return true;
  });
  if (ok && !rootSeen) return Fail(WorkbookError::Damaged, part + " is empty");
  return ok;
}

bool OoxmlReader::ReadStyles(const std::string& part) {
  std::vector<std::pair<int, std::string>> customFormats;
  std::vector<int> cellFormats;
  bool inCellFormats = false;
  const bool ok = ScanPart(part, [&](XmlScanner& xml, XmlScanner::Event event) {
    if (event == XmlScanner::Event::EndElement) {
      if (xml.Name() == "cellXfs") return false;  // nothing needed past it
      return true;
    }
    if (event != XmlScanner::Event::StartElement) return true;
    const auto name = xml.Name();
    if (name == "numFmt") {
      int id = -1;
      if (auto value = xml.Attribute("numFmtId")) ParseUnsigned(*value, id);
      std::string code;
      if (auto value = xml.Attribute("formatCode")) code = *value;
      customFormats.emplace_back(id, std::move(code));
    } else if (name == "cellXfs") {
      inCellFormats = true;
    } else if (name == "xf" && inCellFormats) {
      int id = 0;
      if (auto value = xml.Attribute("numFmtId")) ParseUnsigned(*value, id);
      cellFormats.push_back(id);
    }
    return true;
  });
  if (!ok) return false;
  dateStyles_.reserve(cellFormats.size());
  for (int id : cellFormats) {
    std::string_view code;
    for (const auto& custom : customFormats)
      if (custom.first == id) code = custom.second;
    dateStyles_.push_back(IsDateFormat(id, code));
  }
  return true;
}

bool OoxmlReader::ReadSharedStrings(const std::string& part) {
  // The texts never take more bytes than the part: reserving that much spares copying the table
  // as it grows.
  if (const ZipEntry* entry = archive_->Find(part))
    sharedStrings_.bytes.reserve(
        static_cast<std::size_t>(std::min<uint64_t>(entry->uncompressedSize, 1u << 30)));
  std::string current;
  int rubyDepth = 0;  // inside <rPh>: phonetic runs are left out
  bool inText = false;
  bool inTable = false;
  bool inItem = false;
  // Items holding one plain <t> are taken whole from the buffer; others go the event path.
  // Items are taken from one window until fewer than a long item's bytes are left in it; taken
  // counts the bytes of whole items, consumed when the window moves or the fast path ends.
  constexpr std::size_t kFastWindow = 4096;
  auto fastItems = [&](XmlScanner& xml) {
    if (!inTable || inItem) return;
    std::string_view window = xml.Peek(kFastWindow);
    std::size_t taken = 0;
    for (;;) {
      if (window.size() - taken < kFastWindow) {
        xml.Consume(taken);
        taken = 0;
        window = xml.Peek(kFastWindow);
      }
      std::size_t at = taken;
      while (at < window.size() && IsXmlSpace(window[at])) ++at;
      if (!HasAt(window, at, "<si>")) break;
      at += 4;
      if (HasAt(window, at, "<t>")) {
        at += 3;
      } else if (HasAt(window, at, "<t xml:space=\"preserve\">")) {
        at += 24;
      } else {
        break;
      }
      // One pass finds the end and whether the text needs more than copying.
      std::size_t end = at;
      bool plain = true;
      for (; end < window.size(); ++end) {
        const char c = window[end];
        if (c == '<' || c == '&' || c == '\r') break;
        if (c == '\0' || (c == '_' && end + 1 < window.size() && window[end + 1] == 'x')) plain = false;
      }
      if (!HasAt(window, end, "</t></si>")) break;
      std::string_view text = window.substr(at, end - at);
      if (!plain) {
        DecodeEscapes(text, scratch_);
        text = scratch_;
      }
      if (sharedStrings_.bytes.size() + text.size() > (uint64_t{1} << 31)) {
        Fail(WorkbookError::Damaged, "shared strings past 2 GiB");
        break;
      }
      if (plain)
        sharedStrings_.AddPlain(text);
      else
        sharedStrings_.Add(text);
      taken = end + 9;
    }
    xml.Consume(taken);
  };
  const bool ok = ScanPart(
      part,
      [&](XmlScanner& xml, XmlScanner::Event event) {
        switch (event) {
          case XmlScanner::Event::StartElement: {
            const auto name = xml.Name();
            if (name == "si") {
              current.clear();
              inItem = true;
            } else if (name == "rPh") {
              ++rubyDepth;
            } else if (name == "t" && rubyDepth == 0) {
              if (!xml.ReadContent(current)) {
                inText = true;
                xml.WantText(true);
              }
            } else if (name == "sst") {
              inTable = true;
              // Counts are hints only: reserving address space touches no memory until it is used.
              if (auto count = xml.Attribute("uniqueCount")) {
                uint32_t reserve = 0;
                if (ParseUnsigned(*count, reserve))
                  sharedStrings_.ends.reserve(std::min<uint32_t>(reserve, 1 << 24));
              }
            }
            break;
          }
          case XmlScanner::Event::EndElement: {
            const auto name = xml.Name();
            if (name == "t") {
              inText = false;
              xml.WantText(false);
            } else if (name == "rPh") {
              --rubyDepth;
            } else if (name == "si") {
              inItem = false;
              DecodeEscapes(current, scratch_);
              if (sharedStrings_.bytes.size() + scratch_.size() > (uint64_t{1} << 31))
                return Fail(WorkbookError::Damaged, "shared strings past 2 GiB");
              sharedStrings_.Add(scratch_);
            }
            break;
          }
          case XmlScanner::Event::Text:
            if (inText) current += xml.Text();
            break;
          default:
            break;
        }
        return true;
      },
      fastItems);
  if (!ok) return false;
  ConvertSharedStrings(sharedStrings_);
  return true;
}

// ISO 8601 date-time ("2024-01-01", "2024-01-01T12:00:00", "12:00:00") to a 1900-system serial.
bool ParseIsoDate(std::string_view text, double& serial) {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0;
  double second = 0;
  auto number = [&](std::size_t at, std::size_t length, int& out) {
    return at + length <= text.size() && ParseUnsigned(text.substr(at, length), out);
  };
  std::size_t timeAt = std::string_view::npos;
  if (text.size() >= 10 && text[4] == '-' && text[7] == '-') {
    if (!number(0, 4, year) || !number(5, 2, month) || !number(8, 2, day)) return false;
    if (text.size() > 10) {
      if (text[10] != 'T' && text[10] != ' ') return false;
      timeAt = 11;
    }
  } else {
    timeAt = 0;
  }
  if (timeAt != std::string_view::npos) {
    if (!number(timeAt, 2, hour) || text.size() < timeAt + 5 || text[timeAt + 2] != ':' ||
        !number(timeAt + 3, 2, minute))
      return false;
    if (text.size() >= timeAt + 8 && text[timeAt + 5] == ':') {
      std::string_view rest = text.substr(timeAt + 6);
      while (!rest.empty() && (rest.back() == 'Z' || rest.back() == 'z')) rest.remove_suffix(1);
      auto result = std::from_chars(rest.data(), rest.data() + rest.size(), second);
      if (result.ec != std::errc()) return false;
    }
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second < 0 ||
      second >= 61)
    return false;
  // Days from civil, counted from the OLE day 0 (1899/12/30).
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(y - era * 400);
  const unsigned dayOfYear = (153 * static_cast<unsigned>(month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const long long days = static_cast<long long>(era) * 146097 + dayOfEra - 719468 + 25569;
  serial = static_cast<double>(days) + (hour * 3600 + minute * 60 + second) / 86400.0;
  return true;
}

Text OoxmlReader::CellText(std::string_view type, uint32_t style, std::string_view value) {
  const bool dateStyle = style < dateStyles_.size() && dateStyles_[style];
  if (type == "s") {
    uint32_t index;
    if (!ParseUnsigned(Trim(value), index) || index >= sharedStrings_.ends.size()) {
      Fail(WorkbookError::Damaged, "a shared string index out of range");
      return {};
    }
    return Text(sharedStrings_.At(index));
  }
  if (type == "str" || type == "inlineStr") {
    DecodeEscapes(value, scratch_);
    return StringCellText(scratch_);
  }
  if (type == "e") return {};
  value = Trim(value);
  if (type == "b") {
    if (value == "1" || value == "true") return BooleanCellText(true);
    if (value == "0" || value == "false") return BooleanCellText(false);
    return {};
  }
  double number;
  if (type == "d") {
    if (!ParseIsoDate(value, number)) return {};
    // Dates stored as text are already in the 1900 count.
    return dateStyle ? DateCellText(number, false) : NumberCellText(date1904_ ? number - 1462 : number);
  }
  if (value.empty()) return {};
  auto result = std::from_chars(value.data(), value.data() + value.size(), number);
  if (result.ec != std::errc() || result.ptr != value.data() + value.size()) return {};
  return dateStyle ? DateCellText(number, date1904_) : NumberCellText(number);
}

bool OoxmlReader::ReadSheet(const std::string& part, FirstSheetColumn& column) {
  bool inSheetData = false;
  bool inRow = false;
  uint32_t row = 0;
  uint32_t lastColumn = 0;
  uint32_t cellRow = 0;
  bool inColumnA = false;
  int rubyDepth = 0;
  bool inValue = false;
  std::string type;
  uint32_t style = 0;
  std::string value;

  auto store = [&](uint32_t rowNumber, std::string_view text) { column.texts.Set(rowNumber - 1, text); };
  auto markUsed = [&](uint32_t columnNumber) {
    if (cellRow == 0 || cellRow > kMaximumRows || columnNumber > kMaximumColumns) return false;
    if (cellRow > static_cast<uint32_t>(column.lastUsedRow))
      column.lastUsedRow = static_cast<int32_t>(cellRow);
    return true;
  };

  // Rows of the usual shape (plain attributes, column A holding at most a formula and a <v>
  // without references) are taken whole from the buffer; any other row goes the event path.
  // fastRow takes the row starting at window[at] (after spaces) and returns the index past it, or
  // npos when the row is not of that shape or not whole in the window.
  constexpr auto npos = std::string_view::npos;
  auto fastRow = [&](std::string_view window, std::size_t at) -> std::size_t {
    while (at < window.size() && IsXmlSpace(window[at])) ++at;
    if (window.size() - at < 6 || !HasAt(window, at, "<row")) return npos;
    if (!IsXmlSpace(window[at + 4]) && window[at + 4] != '>' && window[at + 4] != '/') return npos;
    bool selfClosing;
    uint32_t rowNumber = row + 1;
    bool plain = true;
    std::size_t p =
        ParsePlainTag(window, at + 4, selfClosing, [&](std::string_view name, std::string_view text) {
          if (name == "r" && !ParseUnsigned(text, rowNumber)) plain = false;
        });
    if (p == npos || !plain) return npos;
    if (selfClosing) {
      row = rowNumber;
      return p;
    }
    while (p < window.size() && IsXmlSpace(window[p])) ++p;
    // From here on, indexes are into the window; after the first cell (and column A's value),
    // one pass finds the row's end and turns away comments, CDATA and instructions.
    std::size_t scanFrom = p;
    bool hasCell = false;
    uint32_t columnNumber = 1;
    uint32_t cellRowNumber = rowNumber;
    std::string_view cellType = "n";
    uint32_t cellStyle = 0;
    std::string_view content;
    if (HasAt(window, p, "<c") && p + 2 < window.size() &&
        (IsXmlSpace(window[p + 2]) || window[p + 2] == '>' || window[p + 2] == '/')) {
      hasCell = true;
      bool cellClosed;
      std::size_t q =
          ParsePlainTag(window, p + 2, cellClosed, [&](std::string_view name, std::string_view text) {
            if (name == "r")
              ParseCellReference(text, columnNumber, cellRowNumber);
            else if (name == "t")
              cellType = text;
            else if (name == "s" && !ParseUnsigned(text, cellStyle))
              plain = false;
          });
      if (q == npos || !plain) return npos;
      if (cellRowNumber == 0 || cellRowNumber > kMaximumRows || columnNumber > kMaximumColumns) return npos;
      scanFrom = q;
      if (columnNumber == 1 && !cellClosed) {
        if (HasAt(window, q, "<f")) {
          bool formulaClosed;
          std::size_t f =
              ParsePlainTag(window, q + 2, formulaClosed, [](std::string_view, std::string_view) {});
          if (f == npos) return npos;
          if (!formulaClosed) {
            f = window.find("</f>", f);
            if (f == npos) return npos;
            f += 4;
          }
          q = f;
        }
        if (HasAt(window, q, "<v>")) {
          std::size_t end = q + 3;
          while (end < window.size() && window[end] != '<') ++end;
          if (!HasAt(window, end, "</v></c>")) return npos;
          content = window.substr(q + 3, end - q - 3);
          if (content.find_first_of("&\r") != npos) return npos;
          scanFrom = end + 8;
        } else if (HasAt(window, q, "</c>")) {
          scanFrom = q + 4;
        } else {
          return npos;
        }
      }
    } else if (!HasAt(window, p, "</")) {
      return npos;  // some other child first: the event path decides
    }
    std::size_t close = scanFrom;
    for (;;) {
      while (close < window.size() && window[close] != '<') ++close;
      if (close + 6 > window.size()) return npos;
      const char next = window[close + 1];
      if (next == '!' || next == '?') return npos;
      if (next == '/' && HasAt(window, close + 2, "row>")) break;
      if (!hasCell) return npos;  // an end tag that is not the row's
      ++close;
    }
    if (hasCell) {
      cellRow = cellRowNumber;
      markUsed(columnNumber);
      if (columnNumber == 1) {
        // The usual cell: a shared string's index in plain digits, taken without the general
        // conversion (which gives the same text, and tells what is wrong with any other).
        uint32_t index = 0;
        bool plainIndex =
            cellType.size() == 1 && cellType[0] == 's' && !content.empty() && content.size() <= 9;
        for (std::size_t i = 0; plainIndex && i < content.size(); ++i) {
          const char digit = content[i];
          plainIndex = digit >= '0' && digit <= '9';
          index = index * 10 + static_cast<uint32_t>(digit - '0');
        }
        if (plainIndex && index < sharedStrings_.ends.size()) {
          store(cellRow, sharedStrings_.At(index));
        } else {
          Text text = CellText(cellType, cellStyle, content);
          if (failure_.error != WorkbookError::None) return npos;
          store(cellRow, text);
        }
      }
      row = cellRow;
    } else {
      row = rowNumber;
    }
    return close + 6;
  };
  // Rows are taken from one window until fewer than a long row's bytes are left in it.
  constexpr std::size_t kFastWindow = 4096;
  auto fastRows = [&](XmlScanner& xml) {
    if (!inSheetData || inRow) return;
    std::string_view window = xml.Peek(kFastWindow);
    std::size_t at = 0;
    for (;;) {
      if (window.size() - at < kFastWindow) {
        xml.Consume(at);
        at = 0;
        window = xml.Peek(kFastWindow);
      }
      const std::size_t next = fastRow(window, at);
      if (next == npos) break;
      at = next;
    }
    xml.Consume(at);
  };

  return ScanPart(
      part,
      [&](XmlScanner& xml, XmlScanner::Event event) {
        if (event == XmlScanner::Event::Text) {
          if (inValue) value += xml.Text();
          return true;
        }
        const auto name = xml.Name();
        if (event == XmlScanner::Event::StartElement) {
          if (!inSheetData) {
            inSheetData = name == "sheetData";
            if (name == "dimension") {
              // Not trusted for the count, only as a hint for the room column A will take.
              if (auto reference = xml.Attribute("ref")) {
                const auto colon = reference->find(':');
                uint32_t columns = 0, rows = 0;
                ParseCellReference(
                    colon == std::string_view::npos ? *reference : reference->substr(colon + 1), columns,
                    rows);
                column.texts.Reserve(std::min(rows, kMaximumRows), 0, 0);
              }
            }
            return true;
          }
          if (name == "c") {
            // A cell without r takes the next column, a row without r the next row.
            uint32_t columnNumber = lastColumn + 1;
            cellRow = row;
            if (auto reference = xml.Attribute("r")) ParseCellReference(*reference, columnNumber, cellRow);
            row = cellRow;
            lastColumn = columnNumber;
            if (!markUsed(columnNumber)) return true;
            if (columnNumber != 1) {
              // Cells come in column order, so nothing after this one is in column A and the row
              // is already counted: skip the cell and the rest of its row unread.
              if (xml.SkipRest() && inRow && xml.SkipRest()) inRow = false;
              return true;
            }
            inColumnA = true;
            type.assign(xml.Attribute("t").value_or("n"));
            style = 0;
            if (auto s = xml.Attribute("s")) ParseUnsigned(*s, style);
            value.clear();
          } else if (name == "row") {
            ++row;
            if (auto number = xml.Attribute("r")) ParseUnsigned(*number, row);
            lastColumn = 0;
            inRow = true;
          } else if (inColumnA) {
            if (name == "rPh") {
              ++rubyDepth;
            } else if ((name == "v" || name == "t") && rubyDepth == 0) {
              if (!xml.ReadContent(value)) {
                inValue = true;  // mixed content: the rest comes as events
                xml.WantText(true);
              }
            }
          }
          return true;
        }
        if (event != XmlScanner::Event::EndElement || !inSheetData) return true;
        if (name == "c" && inColumnA) {
          inColumnA = false;
          Text text = CellText(type, style, value);
          if (failure_.error != WorkbookError::None) return false;
          store(cellRow, text);
          if (inRow && xml.SkipRest()) inRow = false;
        } else if (name == "v" || name == "t") {
          inValue = false;
          xml.WantText(false);
        } else if (name == "rPh") {
          --rubyDepth;
        } else if (name == "row") {
          inRow = false;
        } else if (name == "sheetData") {
          return false;  // nothing after it is read
        }
        return true;
      },
      fastRows);
}

WorkbookReadResult OoxmlReader::Read() {
  WorkbookReadResult result;
  auto failed = [&]() {
    result.ok = false;
    result.column = {};
    result.failure = {failure_.error, failure_.detail};
    return result;
  };
  ZipError zipError;
  std::string detail;
  archive_ = ZipArchive::Open(file_, zipError, detail);
  if (!archive_) {
    Fail(FromZipError(zipError), detail);
    return failed();
  }

  std::vector<Relationship> packageRelationships;
  if (!ReadRelationships("_rels/.rels", packageRelationships)) return failed();
  std::string workbookPart;
  for (const auto& relationship : packageRelationships)
    if (EndsWith(relationship.type, "/officeDocument")) {
      workbookPart = ResolveTarget("", relationship.target);
      break;
    }
  if (workbookPart.empty()) {
    Fail(WorkbookError::UnknownFormat, "no office document in the package");
    return failed();
  }
  if (EndsWith(workbookPart, ".bin")) {
    Fail(WorkbookError::Unsupported, "a binary workbook (.xlsb)");
    return failed();
  }

  std::string firstSheetId;
  if (!ReadWorkbook(workbookPart, firstSheetId)) return failed();
  std::vector<Relationship> workbookRelationships;
  if (!ReadRelationships(RelationshipsPartOf(workbookPart), workbookRelationships)) return failed();
  const std::string folder = FolderOf(workbookPart);
  std::string sheetPart, stylesPart, sharedStringsPart;
  for (const auto& relationship : workbookRelationships) {
    if (!firstSheetId.empty() && relationship.id == firstSheetId && sheetPart.empty())
      sheetPart = ResolveTarget(folder, relationship.target);
    else if (EndsWith(relationship.type, "/styles") && stylesPart.empty())
      stylesPart = ResolveTarget(folder, relationship.target);
    else if (EndsWith(relationship.type, "/sharedStrings") && sharedStringsPart.empty())
      sharedStringsPart = ResolveTarget(folder, relationship.target);
  }
  // A workbook without sheets reads as an empty sheet.
  if (sheetPart.empty()) {
    if (!firstSheetId.empty()) {
      Fail(WorkbookError::Damaged, "the first sheet's relationship is missing");
      return failed();
    }
    result.ok = true;
    return result;
  }
  if (!stylesPart.empty() && !ReadStyles(stylesPart)) return failed();
  if (!sharedStringsPart.empty() && !ReadSharedStrings(sharedStringsPart)) return failed();
  if (!ReadSheet(sheetPart, result.column)) return failed();
  if (result.column.texts.Overflowed()) {
    Fail(WorkbookError::Damaged, "more text than a column holds");
    return failed();
  }
  result.ok = true;
  return result;
}

}  // namespace

WorkbookReadResult ReadOoxmlFirstSheetColumn(const ReadOnlyFile& file) {
  OoxmlReader reader(file);
  return reader.Read();
}

}  // namespace morvane
