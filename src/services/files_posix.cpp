// File services on POSIX. (First version.)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/codepage936.h"
#include "services/files.h"

namespace morvane {
namespace {

std::string SystemPath(const Text& path) {
  auto utf8 = Codepage936ToUtf8(path);
  std::string result = utf8 ? *utf8 : path;
  for (char& c : result)
    if (c == '\\') c = '/';
  return result;
}

class PosixFile : public ReadOnlyFile {
 public:
  PosixFile(int fd, uint64_t size) : fd_(fd), size_(size) {}
  ~PosixFile() override { ::close(fd_); }
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, std::span<unsigned char> out) const override {
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t got = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
      if (got <= 0) return false;
      done += static_cast<std::size_t>(got);
    }
    return true;
  }

 private:
  int fd_;
  uint64_t size_;
};

}  // namespace

bool CopyFileReplacing(const Text& source, const Text& target, const std::atomic<bool>*) {
  std::error_code error;
  return std::filesystem::copy_file(SystemPath(source), SystemPath(target),
                                    std::filesystem::copy_options::overwrite_existing, error);
}

bool FileExists(const Text& path) {
  if (path.empty()) return false;
  std::error_code error;
  return std::filesystem::exists(SystemPath(path), error);
}

ByteRun ReadWholeFile(const Text& path) {
  if (path.empty()) return {};
  std::ifstream in(SystemPath(path), std::ios::binary);
  if (!in) return {};
  return ByteRun(std::istreambuf_iterator<char>(in), {});
}

bool WriteWholeFile(const Text& path, std::initializer_list<const ByteRun*> runs) {
  if (path.empty()) return false;
  std::ofstream out(SystemPath(path), std::ios::binary | std::ios::trunc);
  if (!out) return false;
  for (const ByteRun* run : runs) out.write(reinterpret_cast<const char*>(run->data()), static_cast<std::streamsize>(run->size()));
  out.close();
  return static_cast<bool>(out);
}

bool AppendToFile(const Text& path, std::span<const unsigned char> bytes) {
  if (path.empty()) return false;
  std::ofstream out(SystemPath(path), std::ios::binary | std::ios::app);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

std::unique_ptr<ReadOnlyFile> OpenReadOnlyFile(const Text& path) {
  if (path.empty()) return nullptr;
  const int fd = ::open(SystemPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixFile>(fd, static_cast<uint64_t>(info.st_size));
}

}  // namespace morvane
