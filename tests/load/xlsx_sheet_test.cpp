// Sheets of many shapes in one part large enough that rows straddle the reader's buffer and the
// part is inflated ahead on a second thread: the fast path for usual rows and the event path for
// the others must give the same column.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "load/workbook.h"
#include "zip_test_builder.h"

namespace morvane {
namespace {

using testing::StoredZip;

WorkbookReadResult ReadWorkbook(const std::string& sheet, const std::string& sharedStrings,
                                bool wrongSheetChecksum = false) {
  const std::string main = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
  const std::string relationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  const std::string archive = StoredZip(
      {
          {"_rels/.rels", "<Relationships><Relationship Id=\"rId1\" Type=\"" + relationships +
                              "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
          {"xl/workbook.xml",
           "<workbook " + main + " xmlns:r=\"" + relationships +
               "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
          {"xl/_rels/workbook.xml.rels",
           "<Relationships><Relationship Id=\"rId1\" Type=\"" + relationships +
               "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" +
               relationships +
               "/sharedStrings\" Target=\"sharedStrings.xml\"/><Relationship Id=\"rId3\" Type=\"" +
               relationships + "/styles\" Target=\"styles.xml\"/></Relationships>"},
          {"xl/styles.xml", "<styleSheet " + main +
                                "><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs></styleSheet>"},
          {"xl/sharedStrings.xml", "<sst " + main + ">" + sharedStrings + "</sst>"},
          {"xl/worksheets/sheet1.xml",
           "<worksheet " + main + "><sheetData>\n" + sheet + "</sheetData></worksheet>"},
      },
      wrongSheetChecksum);
  return ReadFirstSheetColumnFromBytes(
      std::span(reinterpret_cast<const unsigned char*>(archive.data()), archive.size()));
}

TEST(XlsxSheet, EveryRowShapeGivesTheSameColumn) {
  // Shared strings: plain items (fast path) and items with runs, entities or phonetic runs.
  std::string sharedStrings;
  std::vector<Text> strings;
  for (int i = 0; i < 300; ++i) {
    const std::string name = "s" + std::to_string(i) + ".txt";
    switch (i % 4) {
      case 0:
        sharedStrings += "<si><t>" + name + "</t></si>";
        break;
      case 1:
        sharedStrings +=
            "<si><r><t>" + name.substr(0, 1) + "</t></r><r><t>" + name.substr(1) + "</t></r></si>";
        break;
      case 2:
        sharedStrings += "\n  <si><t xml:space=\"preserve\">&amp;" + name + "</t><rPh><t>x</t></rPh></si>";
        break;
      case 3:
        sharedStrings += "<si><t xml:space=\"preserve\">" + name + "_x0041_</t></si>";
        break;
    }
    strings.push_back(i % 4 == 2 ? "&" + name : i % 4 == 3 ? name + "A" : name);
  }

  std::string sheet;
  std::vector<Text> expected;
  uint32_t row = 0;
  uint32_t lastUsed = 0;  // every case but the empty rows has a cell
  auto expect = [&](uint32_t at, Text text) {
    if (expected.size() < at) expected.resize(at);
    expected[at - 1] = std::move(text);
  };
  for (int i = 0; i < 20000; ++i) {
    ++row;
    const std::string r = std::to_string(row);
    const std::string padding = std::string(static_cast<std::size_t>(i % 37), ' ');
    if (i % 12 != 7) lastUsed = row + (i % 12 == 10 ? 2 : 0);
    switch (i % 12) {
      case 0:  // the usual shape
        sheet += "<row r=\"" + r + "\" spans=\"1:2\" x14ac:dyDescent=\"0.25\"><c r=\"A" + r +
                 "\" t=\"s\"><v>" + std::to_string(i % 300) + "</v></c><c r=\"B" + r +
                 "\"><v>7</v></c></row>";
        expect(row, strings[i % 300]);
        break;
      case 1:  // a number and a date style, cells and row without r
        sheet += "<row><c><v>" + std::to_string(i) + ".5</v></c><c s=\"1\"><v>1</v></c></row>" + padding;
        expect(row, std::to_string(i) + ".5");
        break;
      case 2:  // a formula with its cached string
        sheet += "<row r=\"" + r + "\"><c r=\"A" + r + "\" t=\"str\"><f>\"a\"&amp;\"b\"</f><v>ab" + r +
                 "</v></c></row>";
        expect(row, "ab" + r);
        break;
      case 3:  // a shared formula, self-closing, and a date
        sheet += "<row r=\"" + r + "\"><c r=\"A" + r +
                 "\" s=\"1\"><f t=\"shared\" si=\"0\"/><v>45292</v></c></row>";
        expect(row, "2024/1/1");
        break;
      case 4:  // an inline string: the event path
        sheet +=
            "<row r=\"" + r + "\"><c r=\"A" + r + "\" t=\"inlineStr\"><is><t>in" + r + "</t></is></c></row>";
        expect(row, "in" + r);
        break;
      case 5:  // a reference in the value: the event path
        sheet += "<row r=\"" + r + "\"><c r=\"A" + r + "\" t=\"str\"><v>x&lt;" + r + "</v></c></row>";
        expect(row, "x<" + r);
        break;
      case 6:  // no cell in column A: the row counts, A stays empty
        sheet += "<row r=\"" + r + "\"><c r=\"C" + r + "\" t=\"b\"><v>1</v></c></row>\n";
        break;
      case 7:  // an empty row element and a self-closing one: no cell, so not counted by themselves
        sheet += "<row r=\"" + r + "\"></row><row/>";
        ++row;
        break;
      case 8:  // a comment inside the row: the event path
        sheet += "<row r=\"" + r + "\"><!-- </row> --><c r=\"A" + r + "\" t=\"b\"><v>0</v></c></row>";
        expect(row, "0");
        break;
      case 9:  // a self-closing cell A (styled, empty) and an error
        sheet += "<row r=\"" + r + "\"><c r=\"A" + r + "\" s=\"1\"/><c r=\"B" + r +
                 "\" t=\"e\"><v>#N/A</v></c></row>";
        expect(row, "");
        break;
      case 10:  // skipped row numbers and a prefixed, pretty-printed row
        row += 2;
        sheet += "\n  <x:row r=\"" + std::to_string(row) + "\">\n    <x:c r=\"A" + std::to_string(row) +
                 "\" t=\"e\"><x:v>#DIV/0!</x:v></x:c>\n  </x:row>\n";
        expect(row, "");
        break;
      case 11:  // a shared string with the cell's own text on the event path (value with CR)
        sheet += "<row r=\"" + r + "\"><c r=\"A" + r + "\" t=\"str\"><v>a\r\nb</v></c></row>";
        expect(row, "a\nb");
        break;
    }
  }
  const auto result = ReadWorkbook(sheet, sharedStrings);
  ASSERT_TRUE(result.ok) << result.failure.detail;
  EXPECT_EQ(result.column.lastUsedRow, static_cast<int32_t>(lastUsed));
  ASSERT_EQ(result.column.texts.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    ASSERT_EQ(result.column.texts.Get(i), expected[i]) << "row " << i + 1;
  ASSERT_GT(sheet.size(), 1u << 20);  // large enough to be read ahead

  // A checksum found wrong by the worker thread at the end of the part fails the whole read.
  const auto damaged = ReadWorkbook(sheet, sharedStrings, true);
  EXPECT_FALSE(damaged.ok);
  EXPECT_EQ(damaged.failure.error, WorkbookError::Damaged);
  EXPECT_TRUE(damaged.column.texts.empty());
}

// Rows out of order or repeated, on both paths: the cell read last gives the row's text.
TEST(XlsxSheet, RowsOutOfOrderOrRepeatedKeepTheLastCell) {
  const std::string sheet =
      "<row r=\"3\"><c r=\"A3\" t=\"s\"><v>0</v></c></row>"
      "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>one</t></is></c></row>"
      "<row r=\"3\"><c r=\"A3\"><v>7</v></c></row>"
      "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>1</v></c></row>"
      "<row r=\"5\"><c r=\"C5\"><v>1</v></c></row>"
      "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>1</v></c></row>";
  const auto result = ReadWorkbook(sheet, "<si><t>a</t></si><si><t>b</t></si>");
  ASSERT_TRUE(result.ok) << result.failure.detail;
  EXPECT_EQ(result.column.lastUsedRow, 5);
  EXPECT_EQ(result.column.texts.ToVector(), (std::vector<Text>{"b", "b", "7"}));
}

TEST(XlsxSheet, DamagedSheetsAreRefused) {
  struct Case {
    const char* what;
    std::string sheet;
  } cases[] = {
      {"a shared string index out of range", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>5</v></c></row>"},
      {"a sheet cut inside a row", "<row r=\"1\"><c r=\"A1\"><v>1</v></c>"},
      {"an entity", "<row r=\"1\"><c r=\"A1\" t=\"str\"><v>&bomb;</v></c></row>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto result = ReadWorkbook(c.sheet, "<si><t>only</t></si>");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.failure.error, WorkbookError::Damaged);
  }
}

}  // namespace
}  // namespace morvane
