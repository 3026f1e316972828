// File services on POSIX: code-page-936 paths become UTF-8, writes go through a temporary file.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <random>

#include "platform/codepage936.h"
#include "services/files.h"
#include "services/files_testing.h"

namespace morvane {

namespace {

int RealOpen(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
ssize_t RealRead(int descriptor, void* buffer, std::size_t size) { return ::read(descriptor, buffer, size); }
ssize_t RealWrite(int descriptor, const void* buffer, std::size_t size) {
  return ::write(descriptor, buffer, size);
}
ssize_t RealCopyFileRange(int from, int to, std::size_t size) {
  return ::copy_file_range(from, nullptr, to, nullptr, size, 0);
}
int RealFsync(int descriptor) { return ::fsync(descriptor); }
int RealRename(const char* from, const char* to) { return ::rename(from, to); }
int RealLink(int descriptor, const char* to) {
  // Linking the descriptor itself is the cheaper call but needs a capability most users lack;
  // its name under /proc works for everyone.
  static std::atomic<bool> linkDescriptor{true};
  if (linkDescriptor.load(std::memory_order_relaxed)) {
    if (::linkat(descriptor, "", AT_FDCWD, to, AT_EMPTY_PATH) == 0) return 0;
    if (errno != ENOENT) return -1;
  }
  char path[32];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", descriptor);
  const int result = ::linkat(AT_FDCWD, path, AT_FDCWD, to, AT_SYMLINK_FOLLOW);
  if (result == 0) linkDescriptor.store(false, std::memory_order_relaxed);
  return result;
}

}  // namespace

FileSystemCalls RealFileSystemCalls() {
  return {&RealOpen, &RealRead, &RealWrite, &RealCopyFileRange, &RealFsync, &RealRename, &RealLink};
}

FileSystemCalls fileSystemCalls = RealFileSystemCalls();

namespace {

constexpr std::size_t kKernelCopyChunk = std::size_t{8} << 20;
constexpr std::size_t kBufferCopyChunk = std::size_t{1} << 20;

class Descriptor {
 public:
  explicit Descriptor(int descriptor = -1) : descriptor_(descriptor) {}
  ~Descriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  Descriptor(Descriptor&& other) noexcept : descriptor_(other.descriptor_) { other.descriptor_ = -1; }
  Descriptor& operator=(Descriptor&&) = delete;

  bool Valid() const { return descriptor_ >= 0; }
  int Get() const { return descriptor_; }
  // Closing can report a delayed write error, so writers look at it.
  bool Close() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor >= 0 && ::close(descriptor) == 0;
  }

 private:
  int descriptor_;
};

// Windows drops trailing spaces and dots from every path component, so "报告.pdf " names
// 报告.pdf; the components "." and ".." keep theirs.
void AppendComponent(std::string_view component, std::string& out) {
  if (component.find_first_not_of('.') != std::string_view::npos) {
    const auto last = component.find_last_not_of(" .");
    component = last == std::string_view::npos ? std::string_view() : component.substr(0, last + 1);
  }
  out.append(component);
}

// The file system's name for a path text: UTF-8 with "/" between components. Nothing when the
// text is not valid code page 936.
std::optional<std::string> SystemPath(const Text& path) {
  const auto utf8 = Codepage936ToUtf8(path);
  if (!utf8) return std::nullopt;
  std::string result;
  result.reserve(utf8->size());
  std::size_t start = 0;
  while (true) {
    // In UTF-8, unlike code page 936, a "\" byte is always the character.
    const std::size_t end = utf8->find_first_of("\\/", start);
    AppendComponent(std::string_view(*utf8).substr(start, end - start), result);
    if (end == std::string::npos) break;
    result += '/';
    start = end + 1;
  }
  return result;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool WriteAll(int descriptor, const unsigned char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = fileSystemCalls.write(descriptor, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

uint64_t RandomNumber() {
  thread_local uint64_t state = [] {
    std::random_device device;
    return (uint64_t{device()} << 32) ^ device() ^ static_cast<uint64_t>(::getpid());
  }();
  // splitmix64
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

constexpr int kNameAttempts = 16;

// A fresh name for a temporary file in folder; taken names are tried again.
std::string TemporaryName(const std::string& folder) {
  char name[40];
  std::snprintf(name, sizeof name, ".morvane-%016llx.tmp", static_cast<unsigned long long>(RandomNumber()));
  return folder == "/" ? "/" + std::string(name) : folder + "/" + name;
}

// A new file beside the one it will replace; removed when destroyed unless it replaced it.
class TemporaryFile {
 public:
  // Nothing when no new file could be made in the folder.
  static std::optional<TemporaryFile> Create(const std::string& folder, mode_t mode) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      std::string path = TemporaryName(folder);
      const int descriptor =
          fileSystemCalls.open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
      if (descriptor >= 0) return TemporaryFile(std::move(path), descriptor);
      if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
  }

  TemporaryFile(TemporaryFile&& other) noexcept
      : path_(std::move(other.path_)), descriptor_(std::move(other.descriptor_)), placed_(other.placed_) {
    other.placed_ = true;
  }
  TemporaryFile& operator=(TemporaryFile&&) = delete;
  ~TemporaryFile() {
    if (placed_) return;
    descriptor_.Close();
    ::unlink(path_.c_str());
  }

  int Get() const { return descriptor_.Get(); }

  // Closes the file and renames it over target.
  bool Replace(const std::string& target) {
    if (!descriptor_.Close()) return false;
    if (fileSystemCalls.rename(path_.c_str(), target.c_str()) != 0) return false;
    placed_ = true;
    return true;
  }

 private:
  TemporaryFile(std::string path, int descriptor) : path_(std::move(path)), descriptor_(descriptor) {}

  std::string path_;
  Descriptor descriptor_;
  bool placed_ = false;
};

// A file without a name in a folder (O_TMPFILE). Linked in under the target's name when complete,
// it changes the folder once where a named temporary file and its rename change it twice, and it
// vanishes by itself if the process dies first.
class UnnamedFile {
 public:
  // Nothing where the file system has no unnamed files, or where /proc, through which one is
  // named, is missing.
  static std::optional<UnnamedFile> Create(const std::string& folder, mode_t mode) {
    static const bool procMounted = ::access("/proc/self/fd", X_OK) == 0;
    if (!procMounted) return std::nullopt;
    Descriptor descriptor(fileSystemCalls.open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (!descriptor.Valid()) return std::nullopt;
    return UnnamedFile(std::move(descriptor));
  }

  int Get() const { return descriptor_.Get(); }

  // Gives the file the target's name; fails with EEXIST where the name is taken.
  bool Place(const std::string& target) {
    return fileSystemCalls.link(descriptor_.Get(), target.c_str()) == 0 && descriptor_.Close();
  }

  // Puts the file in place of the existing target: named first beside it, then renamed over it.
  bool Replace(const std::string& folder, const std::string& target) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      const std::string temporary = TemporaryName(folder);
      if (fileSystemCalls.link(descriptor_.Get(), temporary.c_str()) != 0) {
        if (errno == EEXIST) continue;
        return false;
      }
      if (descriptor_.Close() && fileSystemCalls.rename(temporary.c_str(), target.c_str()) == 0) return true;
      ::unlink(temporary.c_str());
      return false;
    }
    return false;
  }

 private:
  explicit UnnamedFile(Descriptor descriptor) : descriptor_(std::move(descriptor)) {}
  Descriptor descriptor_;
};

// Windows refuses to replace a file the user may not write; renaming over it would not.
bool MayReplace(const std::string& target) { return ::access(target.c_str(), W_OK) == 0 || errno == ENOENT; }

// The process's file-creation mask, read without changing it; nothing where /proc lacks it.
std::optional<mode_t> CreationMask() {
  static const std::optional<mode_t> mask = []() -> std::optional<mode_t> {
    std::FILE* status = std::fopen("/proc/self/status", "re");
    if (!status) return std::nullopt;
    std::optional<mode_t> found;
    char line[256];
    unsigned int value = 0;
    while (std::fgets(line, sizeof line, status)) {
      if (std::sscanf(line, "Umask: %o", &value) == 1) {
        found = static_cast<mode_t>(value);
        break;
      }
    }
    std::fclose(status);
    return found;
  }();
  return mask;
}

bool Stopped(const std::atomic<bool>* stop) { return stop && stop->load(std::memory_order_relaxed); }

// Copies size bytes from the descriptors' current offsets, in the kernel where the file systems
// allow it.
bool CopyContent(int from, int to, uint64_t size, const std::atomic<bool>* stop) {
  bool kernelCopy = true;
  std::unique_ptr<unsigned char[]> buffer;
  uint64_t done = 0;
  while (done < size) {
    if (Stopped(stop)) return false;
    const uint64_t left = size - done;
    if (kernelCopy) {
      const ssize_t copied = fileSystemCalls.copyFileRange(
          from, to, static_cast<std::size_t>(std::min<uint64_t>(left, kKernelCopyChunk)));
      if (copied > 0) {
        done += static_cast<uint64_t>(copied);
        continue;
      }
      if (copied == 0) break;  // the source got shorter
      if (errno == EINTR) continue;
      if (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL) return false;
      // Not on these file systems: the offsets stand where the kernel left them.
      kernelCopy = false;
    }
    if (!buffer) buffer.reset(new (std::nothrow) unsigned char[kBufferCopyChunk]);
    if (!buffer) return false;
    const ssize_t got = fileSystemCalls.read(
        from, buffer.get(), static_cast<std::size_t>(std::min<uint64_t>(left, kBufferCopyChunk)));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    if (!WriteAll(to, buffer.get(), static_cast<std::size_t>(got))) return false;
    done += static_cast<uint64_t>(got);
  }
  return true;
}

// "*" matches any run of characters and "?" one character; everything else matches itself.
bool MatchesPattern(std::string_view pattern, std::string_view name) {
  const auto characterLength = [&](std::size_t at) {
    std::size_t length = 1;
    while (at + length < name.size() && (static_cast<unsigned char>(name[at + length]) & 0xC0) == 0x80)
      ++length;
    return length;
  };
  std::size_t p = 0, n = 0;
  std::size_t starPattern = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starPattern = ++p;
      starName = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n += characterLength(n);
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      ++p;
      ++n;
    } else if (starPattern != std::string_view::npos) {
      p = starPattern;
      starName += characterLength(starName);
      n = starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

class PosixFile : public ReadOnlyFile {
 public:
  PosixFile(Descriptor descriptor, uint64_t size) : descriptor_(std::move(descriptor)), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, std::span<unsigned char> out) const override {
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t got =
          ::pread(descriptor_.Get(), out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      done += static_cast<std::size_t>(got);
    }
    return true;
  }

 private:
  Descriptor descriptor_;
  uint64_t size_;
};

Descriptor OpenRegularFile(const Text& path, struct stat& info) {
  if (path.empty()) return Descriptor();
  const auto systemPath = SystemPath(path);
  if (!systemPath) return Descriptor();
  Descriptor descriptor(fileSystemCalls.open(systemPath->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0));
  if (!descriptor.Valid() || ::fstat(descriptor.Get(), &info) != 0 || !S_ISREG(info.st_mode))
    return Descriptor();
  return descriptor;
}

// Copies the open source into the file `to` and gives it the source's mode and times.
bool CopyInto(int from, const struct stat& info, int to, const std::atomic<bool>* stop) {
  if (!CopyContent(from, to, static_cast<uint64_t>(info.st_size), stop)) return false;
  // Mode and times are kept as the Windows copy keeps them; a file system that cannot store them
  // still gets the content. The creation mask usually takes nothing from the mode, saving a call.
  const mode_t mode = info.st_mode & 0777;
  const auto mask = CreationMask();
  if (!mask || (mode & *mask) != 0) (void)::fchmod(to, mode);
  const struct timespec times[2] = {info.st_atim, info.st_mtim};
  (void)::futimens(to, times);
  return true;
}

}  // namespace

bool CopyFileReplacing(const Text& source, const Text& target, const std::atomic<bool>* stop) {
  if (target.empty()) return false;
  const auto targetPath = SystemPath(target);
  if (!targetPath) return false;
  struct stat info {};
  const Descriptor from = OpenRegularFile(source, info);
  if (!from.Valid()) return false;
  const mode_t mode = info.st_mode & 0777;
  const std::string folder = FolderOf(*targetPath);
  // The copy gets the target's name only when complete. Most targets are new, so linking it in
  // is tried first: it fails where the name is taken, which spares looking beforehand.
  if (auto unnamed = UnnamedFile::Create(folder, mode)) {
    if (!CopyInto(from.Get(), info, unnamed->Get(), stop)) return false;
    if (unnamed->Place(*targetPath)) return true;
    return errno == EEXIST && MayReplace(*targetPath) && unnamed->Replace(folder, *targetPath);
  }
  if (!MayReplace(*targetPath)) return false;
  auto temporary = TemporaryFile::Create(folder, mode);
  return temporary && CopyInto(from.Get(), info, temporary->Get(), stop) && temporary->Replace(*targetPath);
}

bool FileExists(const Text& path) {
  if (path.empty()) return false;
  const auto systemPath = SystemPath(path);
  if (!systemPath || systemPath->empty()) return false;
  const auto slash = systemPath->rfind('/');
  const std::string pattern = slash == std::string::npos ? *systemPath : systemPath->substr(slash + 1);
  if (pattern.find_first_of("*?") == std::string::npos) {
    struct stat info {};
    return ::lstat(systemPath->c_str(), &info) == 0;
  }
  DIR* folder = ::opendir(FolderOf(*systemPath).c_str());
  if (!folder) return false;
  bool found = false;
  while (const dirent* entry = ::readdir(folder)) {
    if (MatchesPattern(pattern, entry->d_name)) {
      found = true;
      break;
    }
  }
  ::closedir(folder);
  return found;
}

ByteRun ReadWholeFile(const Text& path) {
  struct stat info {};
  const Descriptor descriptor = OpenRegularFile(path, info);
  // A byte run counts in 32 bits.
  if (!descriptor.Valid() || info.st_size <= 0 || info.st_size > std::numeric_limits<int32_t>::max())
    return {};
  ByteRun bytes;
  try {
    bytes.resize(static_cast<std::size_t>(info.st_size));
  } catch (const std::bad_alloc&) {
    return {};
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = fileSystemCalls.read(descriptor.Get(), bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return {};
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);
  return bytes;
}

bool WriteWholeFile(const Text& path, std::initializer_list<const ByteRun*> runs) {
  if (path.empty()) return false;
  const auto systemPath = SystemPath(path);
  if (!systemPath || !MayReplace(*systemPath)) return false;
  struct stat existing {};
  const bool exists = ::stat(systemPath->c_str(), &existing) == 0;
  auto temporary = TemporaryFile::Create(FolderOf(*systemPath), 0666);
  if (!temporary) return false;
  if (exists) (void)::fchmod(temporary->Get(), existing.st_mode & 0777);
  for (const ByteRun* run : runs) {
    if (run && !run->empty() && !WriteAll(temporary->Get(), run->data(), run->size())) return false;
  }
  if (fileSystemCalls.fsync(temporary->Get()) != 0) return false;
  return temporary->Replace(*systemPath);
}

bool AppendToFile(const Text& path, std::span<const unsigned char> bytes) {
  if (path.empty()) return false;
  const auto systemPath = SystemPath(path);
  if (!systemPath) return false;
  Descriptor descriptor(fileSystemCalls.open(systemPath->c_str(),
                                             O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666));
  if (!descriptor.Valid()) return false;
  const bool written = WriteAll(descriptor.Get(), bytes.data(), bytes.size());
  return descriptor.Close() && written;
}

std::unique_ptr<ReadOnlyFile> OpenReadOnlyFile(const Text& path) {
  struct stat info {};
  Descriptor descriptor = OpenRegularFile(path, info);
  if (!descriptor.Valid()) return nullptr;
  return std::make_unique<PosixFile>(std::move(descriptor), static_cast<uint64_t>(info.st_size));
}

}  // namespace morvane
