// Times the .xlsx reader against zlib inflating the sheet and shared-strings parts alone.
// Usage: xlsx_read_bench FILE.xlsx
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "load/workbook.h"
#include "load/zip.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Raw inflate of one entry's bytes into a small buffer, as a plain C loop on zlib would.
uint64_t InflateEntry(const morvane::ReadOnlyFile& file, const morvane::ZipEntry& entry) {
  unsigned char header[30];
  if (!file.ReadAt(entry.localHeaderOffset, header)) return 0;
  const uint64_t data =
      entry.localHeaderOffset + 30 + (header[26] | header[27] << 8) + (header[28] | header[29] << 8);
  std::vector<unsigned char> input(64 * 1024), output(64 * 1024);
  z_stream stream{};
  inflateInit2(&stream, -15);
  uint64_t read = 0, produced = 0;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    if (stream.avail_in == 0) {
      const std::size_t count =
          static_cast<std::size_t>(std::min<uint64_t>(input.size(), entry.compressedSize - read));
      if (count == 0 || !file.ReadAt(data + read, std::span(input.data(), count))) break;
      read += count;
      stream.next_in = input.data();
      stream.avail_in = static_cast<uInt>(count);
    }
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    status = inflate(&stream, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) break;
    produced += output.size() - stream.avail_out;
  }
  inflateEnd(&stream);
  return produced;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: xlsx_read_bench FILE.xlsx\n");
    return 2;
  }
  auto file = morvane::OpenReadOnlyFile(argv[1]);
  if (!file) return 2;
  morvane::ZipError error;
  std::string detail;
  auto archive = morvane::ZipArchive::Open(*file, error, detail);
  if (!archive) return 2;

  auto start = std::chrono::steady_clock::now();
  std::clock_t cpuStart = std::clock();
  uint64_t inflated = 0;
  for (const auto& entry : archive->Entries())
    if (entry.name.find("worksheets/sheet1.xml") != std::string::npos ||
        entry.name.find("sharedStrings") != std::string::npos)
      inflated += InflateEntry(*file, entry);
  const double inflateSeconds = Seconds(start);
  const double inflateCpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;

  start = std::chrono::steady_clock::now();
  cpuStart = std::clock();
  const auto result = morvane::ReadFirstSheetColumn(std::string(argv[1]));
  const double readSeconds = Seconds(start);
  const double readCpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  if (!result.ok) {
    std::fprintf(stderr, "cannot read: %s\n", result.failure.detail.c_str());
    return 2;
  }
  std::fprintf(stderr, "rows %d, column A texts %zu\n", result.column.lastUsedRow,
               result.column.texts.size());
  std::fprintf(stderr, "inflate of sheet and shared strings: %.3f s (%.1f MB)\n", inflateSeconds,
               inflated / 1e6);
  std::fprintf(stderr, "reader: %.3f s, %.2f x the inflate\n", readSeconds, readSeconds / inflateSeconds);
  std::fprintf(stderr, "processor time: inflate %.3f s, reader %.3f s, %.2f x\n", inflateCpu, readCpu,
               readCpu / inflateCpu);
  return 0;
}
