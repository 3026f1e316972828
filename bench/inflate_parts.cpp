// The floor for a load: zlib inflating a workbook's sheet and shared-strings parts into a small
// buffer, nothing parsed. Compared against load_bench by bench/compare_readers.sh.
//
// Usage: inflate_parts FILE.xlsx [PART ...]   (default parts: xl/worksheets/sheet1.xml,
// xl/sharedStrings.xml). Prints the bytes inflated and the time to standard error; exit 0 or 2.
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

uint32_t Read16(const std::vector<unsigned char>& bytes, std::size_t at) {
  return at + 2 <= bytes.size() ? uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 : 0;
}
uint32_t Read32(const std::vector<unsigned char>& bytes, std::size_t at) {
  return at + 4 <= bytes.size() ? Read16(bytes, at) | Read16(bytes, at + 2) << 16 : 0;
}

struct Entry {
  uint16_t method = 0;
  uint32_t compressedSize = 0;
  uint32_t localHeader = 0;
};

// The central directory's entry for a name (no ZIP64: the benchmark files are far below 4 GiB).
bool FindEntry(const std::vector<unsigned char>& bytes, const std::string& name, Entry& entry) {
  if (bytes.size() < 22) return false;
  std::size_t end = bytes.size() - 22;
  while (Read32(bytes, end) != 0x06054b50) {
    if (end == 0 || bytes.size() - end > 22 + 65535) return false;
    --end;
  }
  std::size_t at = Read32(bytes, end + 16);
  const uint32_t count = Read16(bytes, end + 10);
  for (uint32_t i = 0; i < count && Read32(bytes, at) == 0x02014b50; ++i) {
    const uint32_t nameLength = Read16(bytes, at + 28);
    const uint32_t extra = Read16(bytes, at + 30), comment = Read16(bytes, at + 32);
    if (at + 46 + nameLength > bytes.size()) return false;
    if (std::string(reinterpret_cast<const char*>(&bytes[at + 46]), nameLength) == name) {
      entry.method = static_cast<uint16_t>(Read16(bytes, at + 10));
      entry.compressedSize = Read32(bytes, at + 20);
      entry.localHeader = Read32(bytes, at + 42);
      return true;
    }
    at += 46 + nameLength + extra + comment;
  }
  return false;
}

// Bytes inflated, or -1.
long long InflatePart(const std::vector<unsigned char>& bytes, const Entry& entry) {
  const std::size_t header = entry.localHeader;
  if (Read32(bytes, header) != 0x04034b50) return -1;
  const std::size_t data = header + 30 + Read16(bytes, header + 26) + Read16(bytes, header + 28);
  if (data + entry.compressedSize > bytes.size()) return -1;
  if (entry.method == 0) return entry.compressedSize;
  if (entry.method != 8) return -1;
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return -1;
  stream.next_in = const_cast<unsigned char*>(&bytes[data]);
  stream.avail_in = entry.compressedSize;
  unsigned char buffer[64 * 1024];
  long long total = 0;
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = buffer;
    stream.avail_out = sizeof buffer;
    status = inflate(&stream, Z_NO_FLUSH);
    total += static_cast<long long>(sizeof buffer - stream.avail_out);
  }
  inflateEnd(&stream);
  return status == Z_STREAM_END ? total : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: inflate_parts FILE.xlsx [PART ...]\n");
    return 1;
  }
  std::vector<std::string> parts;
  for (int i = 2; i < argc; ++i) parts.emplace_back(argv[i]);
  if (parts.empty()) parts = {"xl/worksheets/sheet1.xml", "xl/sharedStrings.xml"};

  const auto start = std::chrono::steady_clock::now();
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
  long long total = 0;
  for (const std::string& part : parts) {
    Entry entry;
    const long long inflated = FindEntry(bytes, part, entry) ? InflatePart(bytes, entry) : -1;
    if (inflated < 0) {
      std::fprintf(stderr, "inflate_parts: cannot inflate %s\n", part.c_str());
      return 2;
    }
    total += inflated;
  }
  const double milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "inflated: %lld bytes\ninflate: %.1f ms\n", total, milliseconds);
  return 0;
}
