// The album store's Win32 side: files, global memory blocks and the two
// exchange calls. The file format itself lives in AbmCodec.
#include "AlbumStore.h"

#include <string.h>

#include <new>
#include <vector>

#include "../../platform/Text.h"
#include "AbmCodec.h"

static_assert(sizeof(tagALBUMINFOHEADER) == abm::kRecordSize, "record size");
static_assert(offsetof(tagALBUMINFOHEADER, aiPath) == abm::kRecordPathOffset, "path offset");
static_assert(sizeof(tagALBUMINFOHEADER::aiPath) == abm::kRecordPathSize, "path size");
static_assert(offsetof(tagALBUMINFOHEADER, aiDescription) == abm::kRecordDescriptionOffset,
              "description offset");
static_assert(sizeof(tagALBUMINFOHEADER::aiDescription) == abm::kRecordDescriptionSize,
              "description size");
static_assert(offsetof(tagALBUMINFOHEADER, aiThumbSize) == abm::kRecordThumbSizeOffset,
              "picture size offset");
static_assert(sizeof(tagALBUMFILEDATA::szDescription) == abm::kDescriptionSize, "description");

namespace {

// Blocks handed to the album component: zero-filled, with spare zero bytes
// after the picture and after the handle array. Fixed, not movable: a
// process has at most 65,536 movable blocks, and an album of tens of
// thousands of items needs one block per item while its pictures are made.
constexpr UINT kBlockFlags = GMEM_FIXED | GMEM_ZEROINIT;
constexpr size_t kSpareBytes = 10;
constexpr char kTempInfix[] = ".tmp-";
constexpr char kBackupSuffix[] = ".bak";
// ".tmp-" and four hex digits: the longest name made beside an album.
constexpr size_t kLongestSuffix = sizeof(kTempInfix) - 1 + 4;

thread_local int t_lastError = ABM_ERROR_NONE;

int Fail(int code) {
  t_lastError = code;
  return 0;
}

int Succeed() {
  t_lastError = ABM_ERROR_NONE;
  return 1;
}

int ErrorFromWin32(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_PATHNAME:
    case ERROR_BAD_NETPATH:
      return ABM_ERROR_NO_FILE;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_USER_MAPPED_FILE:
      return ABM_ERROR_ACCESS;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ABM_ERROR_MEMORY;
    default:
      return ABM_ERROR_IO;
  }
}

// ioError: the Win32 error behind a failed read or write.
int ErrorFromStatus(const abm::Status& status, DWORD ioError) {
  if (abm::IsDamage(status.error)) return ABM_ERROR_DAMAGED;
  switch (status.error) {
    case abm::Error::kNewerFormat: return ABM_ERROR_VERSION;
    case abm::Error::kNoMemory: return ABM_ERROR_MEMORY;
    case abm::Error::kBadInput: return ABM_ERROR_BAD_DATA;
    default: return ioError ? ErrorFromWin32(ioError) : ABM_ERROR_IO;
  }
}

class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~ScopedHandle() { Close(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  void reset(HANDLE handle) {
    Close();
    handle_ = handle;
  }
  bool Close() {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    bool closed = CloseHandle(handle_) != FALSE;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;  // owned
};

// A file created beside the album for one save; deleted again unless kept.
class TempFile {
 public:
  TempFile() = default;
  ~TempFile() {
    file_.Close();
    if (name_[0] && !kept_) DeleteFileA(name_);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Creates "<album>.tmp-XXXX" with a name nobody else holds.
  bool Create(const char* album, DWORD* error) {
    static LONG sequence = 0;
    DWORD seed = GetCurrentProcessId() * 40503u + GetTickCount() +
                 static_cast<DWORD>(InterlockedIncrement(&sequence)) * 7919u;
    size_t length = strnlen(album, MAX_PATH);
    for (int attempt = 0; attempt < 1024; ++attempt) {
      char suffix[sizeof(kTempInfix) + 4];
      memcpy(suffix, kTempInfix, sizeof(kTempInfix) - 1);
      DWORD number = (seed + static_cast<DWORD>(attempt) * 2654435761u) >> 7;
      for (int i = 0; i < 4; ++i)
        suffix[sizeof(kTempInfix) - 1 + i] = "0123456789abcdef"[(number >> (12 - 4 * i)) & 0xF];
      suffix[sizeof(suffix) - 1] = '\0';
      if (!CopyTextWhole(name_, album) ||
          !CopyTextWhole(name_ + length, sizeof(name_) - length, suffix)) {
        name_[0] = '\0';
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
      }
      // Open until renamed or deleted: nobody else reads or writes it, and the
      // open handle tells SweepStaleTempFiles that its save is still running.
      // Sharing delete lets the rename through.
      file_.reset(CreateFileA(name_, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file_) return true;
      *error = GetLastError();
      if (*error != ERROR_FILE_EXISTS && *error != ERROR_ALREADY_EXISTS) break;
    }
    name_[0] = '\0';
    return false;
  }

  HANDLE handle() const { return file_.get(); }
  const char* name() const { return name_; }

  // Flushes the contents to the device; the file stays open until MoveTo.
  bool Finish(DWORD* error) {
    if (!FlushFileBuffers(file_.get())) {
      *error = GetLastError();
      return false;
    }
    return true;
  }

  // Renames the finished file to target, replacing what is there.
  bool MoveTo(const char* target, DWORD* error) {
    if (!MoveFileExA(name_, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      *error = GetLastError();
      return false;
    }
    kept_ = true;
    file_.Close();
    return true;
  }

 private:
  ScopedHandle file_;
  char name_[MAX_PATH] = {};
  bool kept_ = false;
};

// Buffered sequential reads from an open file of known size.
class HandleSource : public abm::Source {
 public:
  HandleSource(HANDLE file, uint64_t size) : file_(file), size_(size), buffer_(64 * 1024) {}
  uint64_t Size() const override { return size_; }
  DWORD error() const { return error_; }

  bool Read(void* dst, size_t size) override {
    uint8_t* out = static_cast<uint8_t*>(dst);
    while (size > 0) {
      if (begin_ == end_) {
        if (size >= buffer_.size()) return ReadDirect(out, size);
        DWORD got = 0;
        if (!ReadFrom(buffer_.data(), static_cast<DWORD>(buffer_.size()), &got)) return false;
        begin_ = 0;
        end_ = got;
      }
      size_t take = end_ - begin_ < size ? end_ - begin_ : size;
      memcpy(out, buffer_.data() + begin_, take);
      begin_ += take;
      out += take;
      size -= take;
    }
    return true;
  }

 private:
  bool ReadFrom(uint8_t* dst, DWORD size, DWORD* got) {
    if (!ReadFile(file_, dst, size, got, nullptr)) {
      error_ = GetLastError();
      return false;
    }
    if (*got == 0) {
      error_ = ERROR_HANDLE_EOF;
      return false;
    }
    return true;
  }

  bool ReadDirect(uint8_t* out, size_t size) {
    while (size > 0) {
      DWORD chunk = size > (1u << 24) ? (1u << 24) : static_cast<DWORD>(size);
      DWORD got = 0;
      if (!ReadFrom(out, chunk, &got)) return false;
      out += got;
      size -= got;
    }
    return true;
  }

  HANDLE file_;  // not owned
  uint64_t size_;
  DWORD error_ = 0;
  std::vector<uint8_t> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
};

// Buffered writes to an open file; Flush before closing.
class HandleWriter : public abm::Writer {
 public:
  explicit HandleWriter(HANDLE file) : file_(file), buffer_(256 * 1024) {}
  DWORD error() const { return error_; }

  bool Write(const void* data, size_t size) override {
    const uint8_t* in = static_cast<const uint8_t*>(data);
    if (used_ + size > buffer_.size()) {
      if (!Flush()) return false;
      if (size >= buffer_.size()) return WriteDirect(in, size);
    }
    memcpy(buffer_.data() + used_, in, size);
    used_ += size;
    return true;
  }

  bool Flush() {
    bool ok = WriteDirect(buffer_.data(), used_);
    used_ = 0;
    return ok;
  }

 private:
  bool WriteDirect(const uint8_t* in, size_t size) {
    while (size > 0) {
      DWORD chunk = size > (1u << 24) ? (1u << 24) : static_cast<DWORD>(size);
      DWORD written = 0;
      if (!WriteFile(file_, in, chunk, &written, nullptr)) {
        error_ = GetLastError();
        return false;
      }
      if (written == 0) {
        error_ = ERROR_DISK_FULL;
        return false;
      }
      in += written;
      size -= written;
    }
    return true;
  }

  HANDLE file_;  // not owned
  std::vector<uint8_t> buffer_;
  size_t used_ = 0;
  DWORD error_ = 0;
};

// Copies every byte read to a writer: the backup is made from exactly the
// bytes that were checked.
class CopyingSource : public abm::Source {
 public:
  CopyingSource(HandleSource& source, HandleWriter& copy) : source_(source), copy_(copy) {}
  uint64_t Size() const override { return source_.Size(); }
  bool Read(void* dst, size_t size) override {
    return source_.Read(dst, size) && copy_.Write(dst, size);
  }
  DWORD error() const { return source_.error() ? source_.error() : copy_.error(); }

 private:
  HandleSource& source_;  // not owned
  HandleWriter& copy_;    // not owned
};

// Builds the handle array and the item blocks while the decoder reads; frees
// all of it unless handed to the record.
class BlockSink : public abm::ItemSink {
 public:
  BlockSink() = default;
  ~BlockSink() {
    if (handed_) return;
    if (lockedBlock_) GlobalUnlock(lockedBlock_);
    if (slots_) {
      for (uint32_t i = 0; i < count_; ++i)
        if (slots_[i]) GlobalFree(slots_[i]);
      GlobalUnlock(array_);
    }
    if (array_) GlobalFree(array_);
  }
  BlockSink(const BlockSink&) = delete;
  BlockSink& operator=(const BlockSink&) = delete;

  bool Begin(uint32_t count) override {
    uint64_t bytes = static_cast<uint64_t>(count) * sizeof(HGLOBAL) + kSpareBytes;
    if (bytes > 0x7FFFFFFFu) return false;
    array_ = GlobalAlloc(kBlockFlags, static_cast<SIZE_T>(bytes));
    if (!array_) return false;
    slots_ = static_cast<HGLOBAL*>(GlobalLock(array_));
    if (!slots_) return false;
    count_ = count;
    return true;
  }

  uint8_t* ItemBuffer(uint32_t index, uint32_t pictureSize) override {
    SIZE_T bytes = abm::kRecordSize + static_cast<SIZE_T>(pictureSize) + kSpareBytes;
    HGLOBAL block = GlobalAlloc(kBlockFlags, bytes);
    if (!block) return nullptr;
    slots_[index] = block;
    void* bytesOut = GlobalLock(block);
    if (!bytesOut) return nullptr;
    lockedBlock_ = block;
    return static_cast<uint8_t*>(bytesOut);
  }

  void ItemDone(uint32_t) override {
    GlobalUnlock(lockedBlock_);
    lockedBlock_ = nullptr;
  }

  void HandTo(tagALBUMFILEDATA* data) {
    GlobalUnlock(array_);
    data->nCount = count_;
    data->hBlocks = array_;
    handed_ = true;
  }

 private:
  HGLOBAL array_ = nullptr;       // owned until handed over
  HGLOBAL* slots_ = nullptr;      // array_ locked
  uint32_t count_ = 0;
  HGLOBAL lockedBlock_ = nullptr; // the block being filled
  bool handed_ = false;
};

// The record's item blocks, for the encoder.
class BlockItems : public abm::ItemProvider {
 public:
  explicit BlockItems(const tagALBUMFILEDATA* data) {
    count_ = data->nCount;
    if (count_ == 0) return;
    array_ = data->hBlocks;
    if (!array_) return;
    if (GlobalSize(array_) / sizeof(HGLOBAL) < count_) return;
    slots_ = static_cast<const HGLOBAL*>(GlobalLock(array_));
  }
  ~BlockItems() {
    if (slots_) GlobalUnlock(array_);
  }
  BlockItems(const BlockItems&) = delete;
  BlockItems& operator=(const BlockItems&) = delete;

  bool usable() const { return count_ == 0 || slots_ != nullptr; }
  uint32_t Count() const override { return count_; }

  bool Acquire(uint32_t index, abm::ItemView* view) override {
    HGLOBAL block = slots_[index];
    // A null slot is an item the album component could not copy: saving
    // without it would lose that item for good.
    if (!block) return false;
    SIZE_T size = GlobalSize(block);
    if (size < abm::kRecordSize) return false;
    const uint8_t* bytes = static_cast<const uint8_t*>(GlobalLock(block));
    if (!bytes) return false;
    view->record = bytes;
    view->picture = bytes + abm::kRecordSize;
    view->available = size - abm::kRecordSize;
    return true;
  }

  void Release(uint32_t index) override { GlobalUnlock(slots_[index]); }

 private:
  uint32_t count_ = 0;
  HGLOBAL array_ = nullptr;            // not owned
  const HGLOBAL* slots_ = nullptr;     // array_ locked
};

bool GetSize(HANDLE file, uint64_t* size) {
  LARGE_INTEGER value;
  if (!GetFileSizeEx(file, &value)) return false;
  *size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

int OpenAlbum(const char* path, tagALBUMFILEDATA* data) {
  // Sharing read only: nobody replaces or changes the album while it is read.
  ScopedHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return Fail(ErrorFromWin32(GetLastError()));
  uint64_t size = 0;
  if (!GetSize(file.get(), &size)) return Fail(ErrorFromWin32(GetLastError()));

  HandleSource source(file.get(), size);
  BlockSink sink;
  char description[abm::kDescriptionSize];
  abm::Status status = abm::Decode(source, sink, description);
  if (!status) return Fail(ErrorFromStatus(status, source.error()));
  memcpy(data->szDescription, description, sizeof(data->szDescription));
  sink.HandTo(data);
  return Succeed();
}

// Deletes the temporary files of saves that never finished (the process was
// killed or the machine stopped between creating and renaming them), which
// would otherwise pile up beside the album. A running save holds its files
// open without sharing them, so they cannot be opened here and are left alone.
void SweepStaleTempFiles(const char* path) {
  char pattern[MAX_PATH];
  size_t length = strnlen(path, MAX_PATH);
  if (!CopyTextWhole(pattern, path) || !CopyTextWhole(pattern + length, sizeof(pattern) - length, ".tmp-*")) return;
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  const size_t folderLength = static_cast<size_t>(name - path);
  const size_t nameLength = length - folderLength;

  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    // Exactly "<album name>.tmp-" and four hex digits: the names TempFile makes.
    const char* suffix = found.cFileName + nameLength;
    if (strnlen(found.cFileName, MAX_PATH) != nameLength + kLongestSuffix ||
        _strnicmp(found.cFileName, name, nameLength) != 0 ||
        memcmp(suffix, kTempInfix, sizeof(kTempInfix) - 1) != 0)
      continue;
    bool hex = true;
    for (size_t i = sizeof(kTempInfix) - 1; i < kLongestSuffix; ++i)
      hex = hex && strchr("0123456789abcdef", suffix[i]) != nullptr && suffix[i] != '\0';
    if (!hex) continue;
    char stale[MAX_PATH];
    memcpy(stale, path, folderLength);
    if (!CopyTextWhole(stale + folderLength, sizeof(stale) - folderLength, found.cFileName)) continue;
    HANDLE file = CreateFileA(stale, DELETE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// What is at the album's path before a save.
enum class Existing { kNothing, kEmpty, kSound };

// Checks the file at path. A sound album is copied, while it is checked, into
// backup (a new temporary file, flushed and closed). Returns an ABM_ERROR code.
int CheckExistingAlbum(const char* path, TempFile* backup, Existing* existing) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) {
      *existing = Existing::kNothing;
      return ABM_ERROR_NONE;
    }
    return ErrorFromWin32(error);
  }
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return ABM_ERROR_ACCESS;

  ScopedHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) {
      *existing = Existing::kNothing;
      return ABM_ERROR_NONE;
    }
    return ErrorFromWin32(error);
  }
  uint64_t size = 0;
  if (!GetSize(file.get(), &size)) return ErrorFromWin32(GetLastError());
  // An empty file holds nothing to protect (a name reserved by hand, say).
  if (size == 0) {
    *existing = Existing::kEmpty;
    return ABM_ERROR_NONE;
  }

  DWORD error = 0;
  if (!backup->Create(path, &error)) return ErrorFromWin32(error);
  HandleSource source(file.get(), size);
  HandleWriter copy(backup->handle());
  CopyingSource checked(source, copy);
  abm::Status status = abm::Verify(checked);
  if (!status) return ErrorFromStatus(status, checked.error());
  if (!copy.Flush()) return ErrorFromWin32(copy.error());
  if (!backup->Finish(&error)) return ErrorFromWin32(error);
  *existing = Existing::kSound;
  return ABM_ERROR_NONE;
}

// Opens the folder that holds path, so that nobody can move or delete it
// while the handle is open: sharing read and write, not delete. Returns
// INVALID_HANDLE_VALUE when the folder cannot be opened.
HANDLE HoldFolderOf(const char* path) {
  char folder[MAX_PATH];
  if (!CopyTextWhole(folder, path)) return INVALID_HANDLE_VALUE;
  char* name = folder;
  for (char* p = folder; *p; ++p)
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  if (name == folder) {
    CopyTextWhole(folder, ".");
  } else if (name[-1] == ':') {
    // "C:name": the current folder of drive C.
    size_t used = static_cast<size_t>(name - folder);
    if (!CopyTextWhole(name, sizeof(folder) - used, ".")) return INVALID_HANDLE_VALUE;
  } else {
    name[0] = '\0';
  }
  return CreateFileA(folder, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

int SaveAlbum(const char* path, const tagALBUMFILEDATA* data) {
  // The temporary names are the album's name plus a suffix.
  if (strnlen(path, MAX_PATH) + kLongestSuffix >= MAX_PATH) return Fail(ABM_ERROR_BAD_DATA);
  if (data->nCount > 0 && !data->hBlocks) return Fail(ABM_ERROR_BAD_DATA);

  BlockItems items(data);
  if (!items.usable()) return Fail(ABM_ERROR_BAD_DATA);
  uint64_t length = 0;
  abm::Status status = abm::Measure(items, &length);
  if (!status) return Fail(ErrorFromStatus(status, 0));

  // The album's folder stays where it is until the save is over: moved away
  // in the middle (a shell's delete moves it to the recycle bin), it would
  // take this save's temporary files out of reach of their clean-up. Windows
  // refuses such a move while files inside are open; the held folder makes
  // every file system refuse it. A folder that cannot be held is saved into
  // all the same.
  ScopedHandle folder(HoldFolderOf(path));

  SweepStaleTempFiles(path);

  // A file at the path that is not a sound album is never replaced: it may
  // be someone's only copy of an album this store cannot read.
  TempFile backup;
  Existing existing = Existing::kNothing;
  int code = CheckExistingAlbum(path, &backup, &existing);
  if (code != ABM_ERROR_NONE) return Fail(code);

  TempFile album;
  DWORD error = 0;
  if (!album.Create(path, &error)) return Fail(ErrorFromWin32(error));
  HandleWriter writer(album.handle());
  status = abm::Write(data->szDescription, items, length, writer);
  if (!status) return Fail(ErrorFromStatus(status, writer.error()));
  if (!writer.Flush()) return Fail(ErrorFromWin32(writer.error()));
  if (!album.Finish(&error)) return Fail(ErrorFromWin32(error));

  // The rename is the moment the new album appears; until then the old one
  // stands, and its copy waits in the backup's temporary file.
  if (!album.MoveTo(path, &error)) return Fail(ErrorFromWin32(error));

  if (existing == Existing::kSound) {
    char backupName[MAX_PATH];
    size_t pathLength = strnlen(path, MAX_PATH);
    // A backup that cannot be renamed is dropped; the previous one stays
    // and the save itself has succeeded.
    if (CopyTextWhole(backupName, path) &&
        CopyTextWhole(backupName + pathLength, sizeof(backupName) - pathLength, kBackupSuffix))
      backup.MoveTo(backupName, &error);
  }
  return Succeed();
}

}  // namespace

extern "C" int ABM_OpenFile(int version, const char* path, tagALBUMFILEDATA* data) {
  if (!data) return Fail(ABM_ERROR_BAD_DATA);
  memset(data, 0, sizeof(*data));
  if (version != ALBUM_STORE_VERSION) return Fail(ABM_ERROR_VERSION);
  if (!path || !path[0]) return Fail(ABM_ERROR_NO_FILE);
  try {
    return OpenAlbum(path, data);
  } catch (...) {
    memset(data, 0, sizeof(*data));
    return Fail(ABM_ERROR_MEMORY);
  }
}

extern "C" int ABM_SaveFile(int version, const char* path, tagALBUMFILEDATA* data) {
  if (version != ALBUM_STORE_VERSION) return Fail(ABM_ERROR_VERSION);
  if (!data || !path || !path[0]) return Fail(ABM_ERROR_BAD_DATA);
  try {
    return SaveAlbum(path, data);
  } catch (...) {
    return Fail(ABM_ERROR_MEMORY);
  }
}

extern "C" int ABM_GetLastError(void) {
  return t_lastError;
}
