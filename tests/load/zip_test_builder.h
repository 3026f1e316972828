// Small ZIP archives of stored (uncompressed) entries, for workbooks built by hand in tests and
// fuzz targets.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvane::testing {

inline void AppendLittleEndian(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// The entries in order, then their central directory; the last entry's checksum is wrong on
// request.
inline std::string StoredZip(const std::vector<std::pair<std::string, std::string_view>>& parts,
                             bool wrongLastChecksum = false) {
  const auto u16 = [](std::string& out, uint32_t value) { AppendLittleEndian(out, value, 2); };
  const auto u32 = [](std::string& out, uint32_t value) { AppendLittleEndian(out, value, 4); };
  std::string archive, directory;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const auto& [name, content] = parts[i];
    const auto crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));
    const uint32_t stored = crc ^ (wrongLastChecksum && i + 1 == parts.size() ? 1u : 0u);
    const auto offset = static_cast<uint32_t>(archive.size());
    for (std::string* out : {&archive, &directory}) {
      u32(*out, out == &archive ? 0x04034b50 : 0x02014b50);
      if (out == &directory) u16(*out, 20);
      for (uint32_t v : {20u, 0u, 0u, 0u, 0u}) u16(*out, v);
      u32(*out, stored);
      u32(*out, static_cast<uint32_t>(content.size()));
      u32(*out, static_cast<uint32_t>(content.size()));
      u16(*out, static_cast<uint32_t>(name.size()));
      u16(*out, 0);
      if (out == &directory) {
        for (uint32_t v : {0u, 0u, 0u}) u16(*out, v);
        u32(*out, 0);
        u32(*out, offset);
      }
      *out += name;
    }
    archive += content;
  }
  const auto directoryOffset = static_cast<uint32_t>(archive.size());
  archive += directory;
  u32(archive, 0x06054b50);
  u32(archive, 0);
  u16(archive, static_cast<uint32_t>(parts.size()));
  u16(archive, static_cast<uint32_t>(parts.size()));
  u32(archive, static_cast<uint32_t>(directory.size()));
  u32(archive, directoryOffset);
  u16(archive, 0);
  return archive;
}

}  // namespace morvane::testing
