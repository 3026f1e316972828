// File services on Win32: wide-character calls, paths converted from code page 936 at the boundary.
#include <windows.h>

#include <atomic>
#include <climits>
#include <optional>
#include <string>

#include "platform/codepage936.h"
#include "services/files.h"

namespace morvane {
namespace {

// Nothing when the path is empty or not valid code page 936: such a path names no file.
std::optional<std::wstring> SystemPath(const Text& path) {
  if (path.empty()) return std::nullopt;
  auto wide = Codepage936ToUtf16(path);
  if (!wide) return std::nullopt;
  return std::wstring(wide->begin(), wide->end());
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (valid()) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }
  // Closes now, reporting whether the close worked.
  bool Close() {
    const bool ok = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE handle_;
};

// A name for a temporary file in the target's own folder, so the final rename stays on one volume.
std::wstring TemporaryPathBeside(const std::wstring& target) {
  static std::atomic<unsigned> counter{0};
  const std::size_t cut = target.find_last_of(L"\\/");
  const std::wstring folder = cut == std::wstring::npos ? std::wstring() : target.substr(0, cut + 1);
  return folder + L"~morvane-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(GetCurrentThreadId()) + L"-" + std::to_wstring(counter.fetch_add(1)) + L".tmp";
}

bool ReplaceWith(const std::wstring& temporary, const std::wstring& target) {
  if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  DeleteFileW(temporary.c_str());
  return false;
}

DWORD CALLBACK CopyProgress(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE,
                            HANDLE, LPVOID data) {
  const auto* stop = static_cast<const std::atomic<bool>*>(data);
  return stop && stop->load() ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

bool IsRegularFile(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information{};
  return GetFileInformationByHandle(file, &information) &&
         (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

class Win32File : public ReadOnlyFile {
 public:
  Win32File(HANDLE handle, uint64_t size) : handle_(handle), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, std::span<unsigned char> out) const override {
    std::size_t done = 0;
    while (done < out.size()) {
      OVERLAPPED at{};
      const uint64_t position = offset + done;
      at.Offset = static_cast<DWORD>(position);
      at.OffsetHigh = static_cast<DWORD>(position >> 32);
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1u << 30));
      DWORD got = 0;
      if (!ReadFile(handle_.get(), out.data() + done, want, &got, &at) || got == 0) return false;
      done += got;
    }
    return true;
  }

 private:
  Handle handle_;
  uint64_t size_;
};

}  // namespace

bool CopyFileReplacing(const Text& source, const Text& target, const std::atomic<bool>* stop) {
  const auto from = SystemPath(source);
  const auto to = SystemPath(target);
  if (!from || !to) return false;
  if (stop && stop->load()) return false;
  const std::wstring temporary = TemporaryPathBeside(*to);
  BOOL cancel = FALSE;
  if (!CopyFileExW(from->c_str(), temporary.c_str(), &CopyProgress, const_cast<std::atomic<bool>*>(stop),
                   &cancel, COPY_FILE_FAIL_IF_EXISTS)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  if (stop && stop->load()) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  return ReplaceWith(temporary, *to);
}

bool FileExists(const Text& path) {
  const auto wide = SystemPath(path);
  if (!wide) return false;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(wide->c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

ByteRun ReadWholeFile(const Text& path) {
  const auto wide = SystemPath(path);
  if (!wide) return {};
  // Others may go on reading, not writing.
  Handle file(CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return {};
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > INT32_MAX) return {};
  ByteRun bytes;
  try {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
  } catch (const std::bad_alloc&) {
    return {};
  }
  DWORD got = 0;
  if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) return {};
  bytes.resize(got);
  return bytes;
}

bool WriteWholeFile(const Text& path, std::initializer_list<const ByteRun*> runs) {
  const auto wide = SystemPath(path);
  if (!wide) return false;
  const std::wstring temporary = TemporaryPathBeside(*wide);
  {
    Handle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    if (!file.valid()) return false;
    bool ok = true;
    for (const ByteRun* run : runs) {
      if (!ok || !run || run->empty()) continue;
      DWORD written = 0;
      ok = run->size() <= INT32_MAX &&
           WriteFile(file.get(), run->data(), static_cast<DWORD>(run->size()), &written, nullptr) &&
           written == run->size();
    }
    ok = ok && FlushFileBuffers(file.get());
    if (!file.Close() || !ok) {
      DeleteFileW(temporary.c_str());
      return false;
    }
  }
  return ReplaceWith(temporary, *wide);
}

bool AppendToFile(const Text& path, std::span<const unsigned char> bytes) {
  const auto wide = SystemPath(path);
  if (!wide) return false;
  // FILE_APPEND_DATA alone: every write lands at the end, whatever else writes the file.
  Handle file(CreateFileW(wide->c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid() || !IsRegularFile(file.get())) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data() + done, want, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return FlushFileBuffers(file.get()) && file.Close();
}

std::unique_ptr<ReadOnlyFile> OpenReadOnlyFile(const Text& path) {
  const auto wide = SystemPath(path);
  if (!wide) return nullptr;
  const HANDLE handle = CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER size{};
  if (!IsRegularFile(handle) || !GetFileSizeEx(handle, &size)) {
    CloseHandle(handle);
    return nullptr;
  }
  return std::make_unique<Win32File>(handle, static_cast<uint64_t>(size.QuadPart));
}

}  // namespace morvane
