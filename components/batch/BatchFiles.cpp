#include "BatchFiles.h"

#include "../../platform/Text.h"

namespace batchel {

namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;  // owned
};

bool FlushToDisk(const char* path) {
  FileHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file && FlushFileBuffers(file.get());
}

}  // namespace

bool WriteOverFile(const char* path, const std::function<bool(const char* tempPath)>& write) {
  char folder[MAX_PATH];
  if (!path || !CopyText(folder, path)) return false;
  char* cut = nullptr;
  for (char* c = folder; *c; ++c) {
    if (*c == '\\' || *c == '/') cut = c;
  }
  if (cut) {
    cut[1] = '\0';
  } else {
    CopyText(folder, ".");
  }
  // GetTempFileNameA creates the file, so the name is ours alone.
  char temp[MAX_PATH];
  if (!GetTempFileNameA(folder, "btl", 0, temp)) return false;
  bool written = false;
  try {
    written = write(temp);
  } catch (...) {
    written = false;
  }
  // Wine maps a replacing move to rename(2), which is atomic; the flush
  // first makes sure the renamed file holds its bytes.
  if (!written || !FlushToDisk(temp) || !MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileA(temp);
    return false;
  }
  return true;
}

bool WriteOverFileWithBytes(const char* path, const void* bytes, size_t size) {
  if (size > MAXDWORD) return false;
  return WriteOverFile(path, [&](const char* temp) {
    FileHandle file(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD done = 0;
    return file && WriteFile(file.get(), bytes, static_cast<DWORD>(size), &done, nullptr) && done == size;
  });
}

bool IsReadOnlyOrLocked(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;  // a missing file is unreadable, not locked
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return true;
  FileHandle probe(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return !probe;
}

bool ReadWholeFile(const char* path, size_t limit, std::vector<unsigned char>* bytes) {
  FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || static_cast<unsigned long long>(size.QuadPart) > limit) {
    return false;
  }
  bytes->resize(static_cast<size_t>(size.QuadPart));
  DWORD done = 0;
  return ReadFile(file.get(), bytes->data(), static_cast<DWORD>(bytes->size()), &done, nullptr) && done == bytes->size();
}

}  // namespace batchel
