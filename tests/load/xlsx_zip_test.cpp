// The ZIP layer: entries streamed in any chunk size, and every declared size, flag and checksum
// held against what the archive really holds.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "load/byte_reader.h"
#include "load/zip.h"
#include "services/files.h"

namespace morvane {
namespace {

ByteRun Fixture(const char* name) {
  return ReadWholeFile(Text(std::string(MORVANE_FIXTURES_DIR) + "/" + name));
}

// Reads a whole entry with reads of at most chunk bytes; the error when it fails.
ZipError ReadEntry(const ByteRun& archiveBytes, const char* name, std::size_t chunk, std::string& content,
                   ZipLimits limits = {}) {
  MemoryFile file(archiveBytes);
  ZipError error;
  std::string detail;
  auto archive = ZipArchive::Open(file, error, detail, limits);
  if (!archive) return error;
  const ZipEntry* entry = archive->Find(name);
  if (!entry) return ZipError::NotZip;
  auto reader = archive->OpenEntry(*entry, error, detail);
  if (!reader) return error;
  content.clear();
  std::vector<unsigned char> buffer(chunk);
  for (;;) {
    const int64_t got = reader->Read(buffer.data(), buffer.size());
    if (got < 0) return reader->Error();
    if (got == 0) return ZipError::None;
    content.append(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(got));
  }
}

// The offset of the central header naming this entry.
std::size_t CentralHeader(const ByteRun& bytes, std::string_view name) {
  for (std::size_t i = 0; i + 46 < bytes.size(); ++i)
    if (LoadU32(&bytes[i]) == 0x02014b50 && LoadU16(&bytes[i + 28]) == name.size() &&
        std::memcmp(&bytes[i + 46], name.data(), name.size()) == 0)
      return i;
  return 0;
}

void PutU32(ByteRun& bytes, std::size_t at, uint32_t value) {
  for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<unsigned char>(value >> (8 * k));
}

TEST(Zip, EntriesReadTheSameInAnyChunkSizeAndStructure) {
  std::string whole;
  ASSERT_EQ(ReadEntry(Fixture("text.xlsx"), "xl/worksheets/sheet1.xml", 1 << 16, whole), ZipError::None);
  ASSERT_NE(whole.find("<sheetData>"), std::string::npos);
  for (const char* archive : {"text.xlsx", "zip_descriptors.xlsx", "zip64.xlsx"}) {
    for (std::size_t chunk : {1, 3, 100, 4096}) {
      SCOPED_TRACE(std::string(archive) + " chunk " + std::to_string(chunk));
      std::string content;
      ASSERT_EQ(ReadEntry(Fixture(archive), "/XL/Worksheets/Sheet1.xml", chunk, content), ZipError::None);
      EXPECT_EQ(content, whole);
    }
  }
}

TEST(Zip, DeclaredSizesFlagsAndChecksumsAreHeld) {
  const ByteRun original = Fixture("text.xlsx");
  const char* sheet = "xl/worksheets/sheet1.xml";
  const std::size_t header = CentralHeader(original, sheet);
  ASSERT_NE(header, 0u);
  const uint32_t compressed = LoadU32(&original[header + 20]);
  const uint32_t uncompressed = LoadU32(&original[header + 24]);
  const uint32_t localHeader = LoadU32(&original[header + 42]);
  const std::size_t data =
      localHeader + 30 + LoadU16(&original[localHeader + 26]) + LoadU16(&original[localHeader + 28]);

  struct Case {
    const char* what;
    void (*change)(ByteRun&, std::size_t header, std::size_t data, uint32_t compressed,
                   uint32_t uncompressed);
    ZipError error;
    ZipLimits limits = {};
  } cases[] = {
      {"more bytes than declared",
       [](ByteRun& b, std::size_t h, std::size_t, uint32_t, uint32_t u) { PutU32(b, h + 24, u - 1); },
       ZipError::Damaged},
      {"fewer bytes than declared",
       [](ByteRun& b, std::size_t h, std::size_t, uint32_t, uint32_t u) { PutU32(b, h + 24, u + 1); },
       ZipError::Damaged},
      {"a forged size past the inflate ratio",
       [](ByteRun& b, std::size_t h, std::size_t, uint32_t, uint32_t) { PutU32(b, h + 24, 0xFFFFFFF0); },
       ZipError::TooLarge},
      {"a size past the bound",
       [](ByteRun&, std::size_t, std::size_t, uint32_t, uint32_t) {},
       ZipError::TooLarge,
       {.maximumEntrySize = 100}},
      {"CRC mismatch", [](ByteRun& b, std::size_t h, std::size_t, uint32_t, uint32_t) { b[h + 16] ^= 1; },
       ZipError::Damaged},
      {"compressed bytes damaged",
       [](ByteRun& b, std::size_t, std::size_t d, uint32_t c, uint32_t) {
         for (uint32_t i = c / 3; i < c / 3 + 8; ++i) b[d + i] ^= 0x5A;
       },
       ZipError::Damaged},
      {"compressed size past the file",
       [](ByteRun& b, std::size_t h, std::size_t, uint32_t, uint32_t) { PutU32(b, h + 20, 0x7FFFFFFF); },
       ZipError::Damaged},
      {"local header offset past the file",
       [](ByteRun& b, std::size_t h, std::size_t, uint32_t, uint32_t) { PutU32(b, h + 42, 0x7FFFFFFF); },
       ZipError::Damaged},
      {"encrypted", [](ByteRun& b, std::size_t h, std::size_t, uint32_t, uint32_t) { b[h + 8] |= 1; },
       ZipError::Encrypted},
      {"another method", [](ByteRun& b, std::size_t h, std::size_t, uint32_t, uint32_t) { b[h + 10] = 14; },
       ZipError::Unsupported},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ByteRun bytes = original;
    c.change(bytes, header, data, compressed, uncompressed);
    std::string content;
    EXPECT_EQ(ReadEntry(bytes, sheet, 4096, content, c.limits), c.error);
  }
}

TEST(Zip, BrokenDirectoriesAreRefused) {
  const ByteRun original = Fixture("text.xlsx");
  std::size_t end = original.size() - 22;
  ASSERT_EQ(LoadU32(&original[end]), 0x06054b50u);
  struct Case {
    const char* what;
    std::size_t offset;
    uint32_t value;
    int width;
  } cases[] = {
      {"entry count beyond the directory", end + 10, 0xFFFF, 2},
      {"directory offset past the end", end + 16, 0xFFFFFF00, 4},
      {"directory size past the end", end + 12, 0x00FFFFFF, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ByteRun bytes = original;
    for (int k = 0; k < c.width; ++k) bytes[c.offset + k] = static_cast<unsigned char>(c.value >> (8 * k));
    MemoryFile file(bytes);
    ZipError error;
    std::string detail;
    EXPECT_EQ(ZipArchive::Open(file, error, detail), nullptr);
    EXPECT_EQ(error, ZipError::Damaged);
  }
}

TEST(ByteReader, ReadsPastTheEndFailAndStayFailed) {
  const unsigned char bytes[] = {1, 2, 3, 4, 5, 6, 7};
  ByteReader reader(bytes);
  EXPECT_EQ(reader.U16(), 0x0201);
  EXPECT_EQ(reader.U32(), 0x06050403u);
  EXPECT_EQ(reader.U16(), 0);  // one byte left
  EXPECT_TRUE(reader.Failed());
  EXPECT_EQ(reader.U8(), 0);  // stays failed although a byte is left
  EXPECT_EQ(reader.Position(), 6u);

  ByteReader whole(bytes);
  ByteReader sub = whole.Sub(3);
  EXPECT_EQ(sub.U16(), 0x0201);
  EXPECT_EQ(sub.U16(), 0);
  EXPECT_TRUE(sub.Failed());
  EXPECT_EQ(whole.U32(), 0x07060504u);
  EXPECT_TRUE(whole.Ok());
  EXPECT_TRUE(whole.Sub(1).Failed());
  EXPECT_TRUE(whole.Failed());
}

}  // namespace
}  // namespace morvane
