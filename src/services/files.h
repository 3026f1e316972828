// File services on code-page-936 path texts; "\" separates path components on every platform.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>

#include "services/texts.h"

namespace morvane {

// Copies source over target. The copy goes to a temporary file beside the target that replaces
// it only when complete, so a failed or stopped copy leaves the old target as it was.
// A set stop flag abandons a copy in flight (result false, temporary file removed).
bool CopyFileReplacing(const Text& source, const Text& target, const std::atomic<bool>* stop = nullptr);

// True if an entry matches; a folder counts, "*" and "?" in the last component match any entry.
bool FileExists(const Text& path);

// The whole file, or the empty run on any failure.
ByteRun ReadWholeFile(const Text& path);

// Writes the runs to a temporary file beside the target and renames it over the target only when
// every byte is written and flushed.
bool WriteWholeFile(const Text& path, std::initializer_list<const ByteRun*> runs);

// Adds the bytes at the end of the file, creating it if missing; earlier content is never rewritten.
bool AppendToFile(const Text& path, std::span<const unsigned char> bytes);

// A file open for reading at any offset, closed when destroyed.
class ReadOnlyFile {
 public:
  virtual ~ReadOnlyFile() = default;
  virtual uint64_t Size() const = 0;
  // Reads exactly out.size() bytes at offset; false on a short read or an error.
  virtual bool ReadAt(uint64_t offset, std::span<unsigned char> out) const = 0;
};

// Null when the path cannot be opened as a file.
std::unique_ptr<ReadOnlyFile> OpenReadOnlyFile(const Text& path);

}  // namespace morvane
