// The system calls of the POSIX file services, as a table that tests replace to inject faults.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace morvane {

struct FileSystemCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  ssize_t (*read)(int descriptor, void* buffer, std::size_t size);
  ssize_t (*write)(int descriptor, const void* buffer, std::size_t size);
  // Kernel copy between the descriptors' current offsets.
  ssize_t (*copyFileRange)(int from, int to, std::size_t size);
  int (*fsync)(int descriptor);
  int (*rename)(const char* from, const char* to);
  // Gives an unnamed file (O_TMPFILE) the name `to`; fails with EEXIST when the name is taken.
  int (*link)(int descriptor, const char* to);
};

// The table in use; only tests change it, while no file service runs.
extern FileSystemCalls fileSystemCalls;

// The real calls.
FileSystemCalls RealFileSystemCalls();

// Puts the real calls back when the test ends.
class ScopedFileSystemCalls {
 public:
  ScopedFileSystemCalls() : saved_(fileSystemCalls) {}
  ~ScopedFileSystemCalls() { fileSystemCalls = saved_; }
  ScopedFileSystemCalls(const ScopedFileSystemCalls&) = delete;
  ScopedFileSystemCalls& operator=(const ScopedFileSystemCalls&) = delete;

 private:
  FileSystemCalls saved_;
};

}  // namespace morvane
