// I/O faults against every road an album takes to and from the disk: saves
// through CAlbumDoc2::Save and AddToAlbum, loads through CAlbumDoc2::Load and
// LoadAlbum, while the disk is full, the album or its folder is read-only,
// another process holds the album or its backup, or the album's folder is
// taken away (moved to a recycle folder, or replaced by a file of the same
// name) while a large album is being saved.
//
//   io_faults.exe [--full-disk X:] [--quick] [--seed N]
//
// --full-disk names the root of a small, otherwise empty drive: albums of
// growing size are saved there with a filler file leaving every amount of
// free space from none to past what the save needs. Without it that part is
// skipped (tools/io_faults.sh mounts such a drive). --quick runs fewer cases
// of the other parts, for the test suite.
//
// Every operation must either succeed (and then the album on disk holds what
// was saved) or fail, saying so, with the album and its backup byte for byte
// as before, no temporary file left beside them, the document it loaded into
// as it was, and no picture handle or kernel handle left over. Exit code 0
// only when every count that must be 0 is 0.
#include <windows.h>

#include <album.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchAlbums.h"
#include "BenchClock.h"
#include "BenchHeader.h"
#include "platform/qil.h"

namespace {

using Bytes = std::vector<BYTE>;

const int kThumbWidth = 48;
const int kThumbHeight = 36;
const DWORD kStride = (kThumbWidth * 3 + 3) & ~3u;
const DWORD kPictureSize = sizeof(BITMAPINFOHEADER) + kStride * kThumbHeight;
const char kAlbumName[] = "album.abm";
const char kBackupName[] = "album.abm.bak";
const char kFillerName[] = "filler.bin";
// How long a helper process may take to start and take hold of its file.
const DWORD kChildStartLimitMs = 120000;

// ---------------------------------------------------------------------------
// Files

bool ReadBytes(const std::string& path, Bytes* bytes) { return ReadFileBytes(path, bytes); }

// Over a read-only file too.
bool WriteBytes(const std::string& path, const Bytes& bytes) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return WriteFileBytes(path, bytes);
}

// What can be known of a file: its size and write time even while another
// process holds it, its bytes when it can be read.
struct FileState {
  bool present = false;
  uint64_t size = 0;
  FILETIME written = {};
  bool readable = false;
  Bytes bytes;
  bool operator==(const FileState& o) const {
    return present == o.present && size == o.size && CompareFileTime(&written, &o.written) == 0 &&
           readable == o.readable && bytes == o.bytes;
  }
};

FileState StateOf(const std::string& path) {
  FileState state;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return state;
  state.present = true;
  state.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  state.written = data.ftLastWriteTime;
  state.readable = ReadBytes(path, &state.bytes);
  return state;
}

std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

// Files beside the album that are neither the album, its backup, nor the filler.
int StrayFiles(const std::string& folder) {
  int stray = 0;
  for (const std::string& name : FileNames(folder))
    if (_stricmp(name.c_str(), kAlbumName) && _stricmp(name.c_str(), kBackupName) &&
        _stricmp(name.c_str(), kFillerName))
      ++stray;
  return stray;
}

void RemoveTree(const std::string& folder) {
  SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string path = folder + "\\" + found.cFileName;
      if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, "..")) continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

// ---------------------------------------------------------------------------
// Albums

// Item `index` of generation `generation`: the picture and the description
// tell generations apart.
CThumbnail2* MakeItem(int index, int generation) {
  tagALBUMINFOHEADER info;
  memset(&info, 0, sizeof(info));
  info.aiFileSize = 100000 + index;
  info.aiFileTime = 1600000000u + index;
  snprintf(info.aiPath, sizeof(info.aiPath), "C:\\iofaults\\picture%05d.jpg", index);
  snprintf(info.aiDescription, sizeof(info.aiDescription), "item %d of generation %d", index, generation);
  info.aiBitCount = 24;
  info.aiWidth = 480;
  info.aiHeight = 360;
  info.aiThumbWidth = kThumbWidth;
  info.aiThumbHeight = kThumbHeight;
  info.aiThumbSize = kPictureSize;
  HTOVIMEM dib = ToviMemAlloc(TOVI_MOVABLE_ZERO, kPictureSize);
  auto* bytes = static_cast<BYTE*>(dib ? ToviMemLock(dib) : nullptr);
  if (!bytes) {
    if (dib) ToviMemFree(dib);
    return nullptr;
  }
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(bytes);
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = kThumbWidth;
  header->biHeight = kThumbHeight;
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biSizeImage = kStride * kThumbHeight;
  for (DWORD i = 0; i < header->biSizeImage; ++i)
    bytes[sizeof(BITMAPINFOHEADER) + i] = static_cast<BYTE>(i * 7 + index * 13 + generation * 31);
  ToviMemUnlock(dib);
  return new CThumbnail2(&info, dib, 0, 1);
}

std::unique_ptr<CAlbumDoc2> MakeAlbum(int items, int generation) {
  auto album = std::make_unique<CAlbumDoc2>();
  album->SetThumbnailSize(kThumbWidth, kThumbHeight);
  album->SetAutoCheck(0);
  for (int i = 0; i < items; ++i)
    if (CThumbnail2* item = MakeItem(i, generation)) album->Insert(item, nullptr);
  char description[64];
  snprintf(description, sizeof(description), "generation %d", generation);
  album->SetDescription(description);
  return album;
}

bool SamePicture(CThumbnail2* a, CThumbnail2* b) {
  if (!a->GetDib() || !b->GetDib()) return a->GetDib() == b->GetDib();
  DWORD size = a->GetInfo()->aiThumbSize;
  if (ToviMemSize(a->GetDib()) < size || ToviMemSize(b->GetDib()) < size) return false;
  const void* x = ToviMemLock(a->GetDib());
  const void* y = ToviMemLock(b->GetDib());
  bool same = x && y && memcmp(x, y, size) == 0;
  if (x) ToviMemUnlock(a->GetDib());
  if (y) ToviMemUnlock(b->GetDib());
  return same;
}

// Same items (records and pictures), description and path.
bool SameDocument(CAlbumDoc2* a, CAlbumDoc2* b) {
  if (a->GetCount() != b->GetCount() || strcmp(a->GetDescription(), b->GetDescription()) ||
      strcmp(a->GetPath(), b->GetPath()))
    return false;
  for (int i = 1; i <= a->GetCount(); ++i) {
    CThumbnail2* x = a->GetThumbnail(i);
    CThumbnail2* y = b->GetThumbnail(i);
    if (memcmp(x->GetInfo(), y->GetInfo(), sizeof(tagALBUMINFOHEADER)) || !SamePicture(x, y)) return false;
  }
  return true;
}

// The album at path holds exactly the items and description of expected.
bool HoldsDocument(const std::string& path, CAlbumDoc2* expected) {
  CAlbumDoc2 loaded;
  loaded.SetAutoCheck(0);
  if (!loaded.Load(path.c_str(), 1)) return false;
  loaded.SetPath(expected->GetPath());
  return SameDocument(&loaded, expected);
}

// A small 24-bit BMP that AddToAlbum can make a thumbnail of.
bool WritePictureFile(const std::string& path) {
  const int width = 64, height = 48;
  const DWORD stride = (width * 3 + 3) & ~3u;
  Bytes bytes(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + stride * height);
  auto* file = reinterpret_cast<BITMAPFILEHEADER*>(bytes.data());
  auto* info = reinterpret_cast<BITMAPINFOHEADER*>(bytes.data() + sizeof(BITMAPFILEHEADER));
  file->bfType = 0x4D42;
  file->bfSize = static_cast<DWORD>(bytes.size());
  file->bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  info->biSize = sizeof(BITMAPINFOHEADER);
  info->biWidth = width;
  info->biHeight = height;
  info->biPlanes = 1;
  info->biBitCount = 24;
  info->biSizeImage = stride * height;
  for (DWORD i = 0; i < info->biSizeImage; ++i) bytes[file->bfOffBits + i] = static_cast<BYTE>(i * 5);
  return WriteBytes(path, bytes);
}

// ---------------------------------------------------------------------------
// Counting

struct Counts {
  int runs = 0;
  int cleanFailures = 0;
  int successes = 0;
  int falseSuccesses = 0;    // reported success, the album does not hold it
  int albumsChanged = 0;     // reported failure, the album or its backup changed
  int documentsChanged = 0;  // a failed load changed the document or the host's outputs
  int leaks = 0;             // picture handles or kernel handles left over
  int strays = 0;            // files left beside the album
  int stuck = 0;             // saves that failed once the fault was gone
  void Add(const Counts& o) {
    runs += o.runs;
    cleanFailures += o.cleanFailures;
    successes += o.successes;
    falseSuccesses += o.falseSuccesses;
    albumsChanged += o.albumsChanged;
    documentsChanged += o.documentsChanged;
    leaks += o.leaks;
    strays += o.strays;
    stuck += o.stuck;
  }
  int Bad() const { return falseSuccesses + albumsChanged + documentsChanged + leaks + strays + stuck; }
};

void PrintCounts(const char* what, const Counts& c) {
  printf("%s: %d runs, %d clean failures, %d successes, %d failures reported as success, %d albums changed, "
         "%d documents changed, %d leaks, %d stray files\n",
         what, c.runs, c.cleanFailures, c.successes, c.falseSuccesses, c.albumsChanged, c.documentsChanged, c.leaks,
         c.strays);
  if (c.stuck) printf("  %d saves failed after the fault was gone\n", c.stuck);
  fflush(stdout);
}

// Picture handles and kernel handles of this process.
struct Resources {
  LONG pictures = ToviMemLiveCount();
  DWORD handles = [] {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
  }();
  bool operator==(const Resources& o) const { return pictures == o.pictures && handles == o.handles; }
};

// What one operation reported and whether its effect on disk is right.
struct Outcome {
  bool succeeded = false;
  bool honest = true;          // a success holds on disk
  bool documentKept = true;    // a failed load left its document and outputs alone
};

enum class Op { kDocSave, kAddToAlbum, kDocLoad, kLoadAlbum };
const Op kSaves[] = {Op::kDocSave, Op::kAddToAlbum};
const Op kAllOps[] = {Op::kDocSave, Op::kAddToAlbum, Op::kDocLoad, Op::kLoadAlbum};

// Runs operations against one album folder: its baseline album and backup,
// the next generation to save, and a picture file to add.
class Bench {
 public:
  Bench(std::string folder, std::string picture, int items)
      : folder_(std::move(folder)),
        album_(folder_ + "\\" + kAlbumName),
        backup_(folder_ + "\\" + kBackupName),
        picture_(std::move(picture)),
        items_(items) {}

  const std::string& folder() const { return folder_; }
  const std::string& album() const { return album_; }
  const std::string& backup() const { return backup_; }

  // Saves two generations so that the album and a backup exist, and keeps
  // their bytes as the baseline every run starts from.
  bool MakeBaseline() {
    CreateDirectoryA(folder_.c_str(), nullptr);
    auto first = MakeAlbum(items_, 1);
    auto second = MakeAlbum(items_, 2);
    if (!first->Save(album_.c_str()) || !second->Save(album_.c_str())) return false;
    next_ = MakeAlbum(items_, 3);
    next_->SetPath(album_.c_str());
    other_ = MakeAlbum(3, 9);
    other_->SetPath("C:\\elsewhere\\other.abm");
    return ReadBytes(album_, &albumBytes_) && ReadBytes(backup_, &backupBytes_);
  }

  // Puts the baseline back; everything else in the folder but the filler goes.
  bool Restore() {
    SetFileAttributesA(folder_.c_str(), FILE_ATTRIBUTE_NORMAL);
    for (const std::string& name : FileNames(folder_)) {
      if (!_stricmp(name.c_str(), kFillerName)) continue;
      std::string path = folder_ + "\\" + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    }
    // A backup held elsewhere cannot be rewritten: it stays as it is.
    bool written = WriteBytes(album_, albumBytes_) && WriteBytes(backup_, backupBytes_);
    restoredBackup_ = StateOf(backup_);
    return written;
  }

  uint64_t AlbumSize() const { return albumBytes_.size(); }

  // One operation against the album, unjudged.
  Outcome Run(Op op) {
    switch (op) {
      case Op::kDocSave: return DocSave();
      case Op::kAddToAlbum: return AddPicture();
      case Op::kDocLoad: return DocLoad();
      case Op::kLoadAlbum: return HostLoad();
    }
    return {};
  }

  // Runs op with the fault (described by `fault`) in place and counts it;
  // a run that is not clean is named.
  void Count(Op op, const std::string& fault, Counts* counts) {
    FileState albumBefore = StateOf(album_), backupBefore = StateOf(backup_);
    Resources start;
    Outcome outcome = Run(op);
    Resources end;
    ++counts->runs;
    bool leaked = !(start == end);
    if (leaked) {
      ++counts->leaks;
      Report(op, fault, "left picture or kernel handles behind");
    }
    if (outcome.succeeded) {
      if (outcome.honest) {
        ++counts->successes;
      } else {
        ++counts->falseSuccesses;
        Report(op, fault, "reported success, but the album or its backup does not show it");
      }
      return;
    }
    bool kept = StateOf(album_) == albumBefore && StateOf(backup_) == backupBefore;
    int strays = StrayFiles(folder_);
    if (!kept) {
      ++counts->albumsChanged;
      Report(op, fault, "failed and changed the album or its backup");
    }
    if (!outcome.documentKept) {
      ++counts->documentsChanged;
      Report(op, fault, "failed and changed the document or the caller's outputs");
    }
    if (strays) Report(op, fault, "failed and left files beside the album");
    counts->strays += strays;
    if (kept && outcome.documentKept && strays == 0 && !leaked) ++counts->cleanFailures;
  }

  static void Report(Op op, const std::string& fault, const char* what) {
    static const char* const names[] = {"CAlbumDoc2::Save", "AddToAlbum", "CAlbumDoc2::Load", "LoadAlbum"};
    printf("  %s, %s: %s\n", names[static_cast<int>(op)], fault.c_str(), what);
  }

  Outcome DocSave() {
    Outcome outcome;
    outcome.succeeded = next_->Save(album_.c_str()) != 0;
    if (outcome.succeeded) outcome.honest = HoldsDocument(album_, next_.get()) && BackupIsPrevious();
    return outcome;
  }

  Outcome AddPicture() {
    Outcome outcome;
    char buffer[MAX_PATH];
    snprintf(buffer, sizeof(buffer), "%s", album_.c_str());
    std::vector<char> list(picture_.begin(), picture_.end());
    list.push_back('\0');
    char* files = list.data();
    int added = -7;
    int* results = &added;
    POINT size = {kThumbWidth, kThumbHeight};
    int result = AddToAlbum(nullptr, buffer, &files, 1, results, size);
    outcome.succeeded = result == 0;
    if (outcome.succeeded) {
      CAlbumDoc2 loaded;
      loaded.SetAutoCheck(0);
      outcome.honest = added == 1 && loaded.Load(album_.c_str(), 1) && loaded.GetCount() == items_ + 1 &&
                       !_stricmp(loaded.GetThumbnail(items_ + 1)->GetInfo()->aiPath, picture_.c_str()) &&
                       BackupIsPrevious();
    } else {
      // Nothing was added: no result may say otherwise.
      outcome.documentKept = added == 0;
    }
    return outcome;
  }

  Outcome DocLoad() {
    Outcome outcome;
    auto document = MakeAlbum(3, 9);
    document->SetPath(other_->GetPath());
    outcome.succeeded = document->Load(album_.c_str(), 1) != 0;
    if (outcome.succeeded) {
      outcome.honest = document->GetCount() == items_;
    } else {
      outcome.documentKept = SameDocument(document.get(), other_.get());
    }
    return outcome;
  }

  Outcome HostLoad() {
    Outcome outcome;
    int count = -5;
    void** pictures = reinterpret_cast<void**>(1);
    tagALBUMINFOHEADER** infos = reinterpret_cast<tagALBUMINFOHEADER**>(1);
    int result = LoadAlbum(album_.c_str(), &count, &pictures, &infos);
    outcome.succeeded = result == 0;
    if (outcome.succeeded) {
      outcome.honest = count == items_;
      for (int i = 0; i < count; ++i) {
        ToviMemFree(pictures[i]);
        ToviMemFree(infos[i]);
      }
      ToviMemFree(pictures);
      ToviMemFree(infos);
    } else {
      outcome.documentKept = result < 0 && count == -5 && pictures == reinterpret_cast<void**>(1) &&
                             infos == reinterpret_cast<tagALBUMINFOHEADER**>(1);
    }
    return outcome;
  }

  // After a successful save the backup is the album before it, or, where the
  // backup could not be replaced, the backup as it was.
  bool BackupIsPrevious() {
    FileState now = StateOf(backup_);
    return (now.readable && now.bytes == albumBytes_) || now == restoredBackup_;
  }

  // One save with the fault gone: it must succeed and sweep what failed
  // saves left. Returns the files left beside the album afterwards.
  int StraysAfterNextSave(Counts* counts) {
    if (!next_->Save(album_.c_str())) ++counts->stuck;
    return StrayFiles(folder_);
  }

 private:
  std::string folder_, album_, backup_, picture_;
  int items_;
  Bytes albumBytes_, backupBytes_;
  FileState restoredBackup_;  // the backup as the last Restore left it
  std::unique_ptr<CAlbumDoc2> next_;   // the generation the saves write
  std::unique_ptr<CAlbumDoc2> other_;  // what a document held before a load
};

// ---------------------------------------------------------------------------
// Full disk

// Free bytes for this process on the drive of root.
uint64_t FreeBytes(const std::string& root) {
  ULARGE_INTEGER available, total, free;
  if (!GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free)) return 0;
  return available.QuadPart;
}

// Grows the filler until `leave` bytes are free (rounded to the drive's
// allocation). The filler must be empty or absent.
bool Fill(const std::string& root, const std::string& filler, uint64_t leave) {
  uint64_t free = FreeBytes(root);
  uint64_t fill = free > leave ? free - leave : 0;
  HANDLE file = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  static std::vector<BYTE> chunk(1 << 20, 0xA5);
  bool ok = true;
  while (fill > 0 && ok) {
    DWORD part = static_cast<DWORD>(std::min<uint64_t>(fill, chunk.size()));
    DWORD written = 0;
    ok = WriteFile(file, chunk.data(), part, &written, nullptr) && written == part;
    fill -= part;
  }
  return CloseHandle(file) && ok;
}

bool EmptyFiller(const std::string& filler) {
  HANDLE file = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  return file != INVALID_HANDLE_VALUE && CloseHandle(file);
}

// Albums of growing size on a small drive, with every amount of free space
// from none to past what a save needs (a copy of the old album for the
// backup and the new album), in steps.
bool RunFullDisk(const std::string& drive, const std::string& picture, bool quick, Counts* total) {
  std::string root = drive + "\\";
  uint64_t capacity = FreeBytes(root);
  if (capacity == 0) {
    printf("full disk: cannot query the free space of %s\n", root.c_str());
    return false;
  }
  printf("full disk: drive %s with %llu KB free\n", drive.c_str(), static_cast<unsigned long long>(capacity / 1024));
  const int sizes[] = {1, 8, 40, 160};
  const int steps = quick ? 6 : 24;
  bool sound = true;
  for (int items : sizes) {
    std::string folder = root + "albums" + std::to_string(items);
    std::string filler = root + kFillerName;
    Bench bench(folder, picture, items);
    EmptyFiller(filler);
    if (!bench.MakeBaseline()) {
      printf("full disk: the baseline album of %d items does not fit\n", items);
      sound = false;
      break;
    }
    // A save holds the backup copy and the new album at once.
    uint64_t needed = 2 * bench.AlbumSize() + 64 * 1024;
    uint64_t step = std::max<uint64_t>(4096, needed / steps);
    Counts counts;
    uint64_t smallestSaved = 0;
    bool savedOnce = false;
    for (Op op : kSaves) {
      for (uint64_t leave = 0; leave <= needed + 2 * step; leave += step) {
        EmptyFiller(filler);
        if (!bench.Restore() || !Fill(root, filler, leave)) {
          printf("full disk: cannot prepare %llu free bytes\n", static_cast<unsigned long long>(leave));
          sound = false;
          break;
        }
        int before = counts.successes + counts.falseSuccesses;
        bench.Count(op, std::to_string(leave / 1024) + " KB free", &counts);
        bool saved = counts.successes + counts.falseSuccesses > before;
        if (op == Op::kDocSave && saved && !savedOnce) {
          savedOnce = true;
          smallestSaved = leave;
        }
      }
    }
    EmptyFiller(filler);
    counts.strays += bench.StraysAfterNextSave(&counts);
    char what[96];
    snprintf(what, sizeof(what), "full disk, album of %d items (%llu KB, first save with %llu KB free)", items,
             static_cast<unsigned long long>(bench.AlbumSize() / 1024),
             static_cast<unsigned long long>(smallestSaved / 1024));
    PrintCounts(what, counts);
    total->Add(counts);
    DeleteFileA(filler.c_str());
    RemoveTree(folder);
  }
  return sound;
}

// ---------------------------------------------------------------------------
// Read-only files and folders

void RunReadOnly(Bench& bench, Counts* total) {
  Counts counts;
  // The album file read-only: saves refuse, loads read it.
  for (Op op : kAllOps) {
    bench.Restore();
    SetFileAttributesA(bench.album().c_str(), FILE_ATTRIBUTE_READONLY);
    bench.Count(op, "read-only album", &counts);
  }
  // The backup read-only: the album may be saved, the backup stays.
  for (Op op : kSaves) {
    bench.Restore();
    SetFileAttributesA(bench.backup().c_str(), FILE_ATTRIBUTE_READONLY);
    bench.Count(op, "read-only backup", &counts);
  }
  // The folder read-only (Windows lets files inside be written; Wine may not).
  for (Op op : kAllOps) {
    bench.Restore();
    SetFileAttributesA(bench.folder().c_str(), FILE_ATTRIBUTE_READONLY);
    bench.Count(op, "read-only folder", &counts);
    SetFileAttributesA(bench.folder().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  bench.Restore();
  counts.strays += bench.StraysAfterNextSave(&counts);
  PrintCounts("read-only file or folder", counts);
  total->Add(counts);
}

// ---------------------------------------------------------------------------
// A file held by another process

// How the helper process holds its file.
enum class Hold { kExclusive = 0, kWriterSharingRead = 1, kRangeLock = 2 };
const char* const kHoldNames[] = {"opened without sharing", "opened for writing", "locked whole"};

int RunHolder(int mode, const char* path, const char* readyName, const char* releaseName) {
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, readyName);
  HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, releaseName);
  if (!ready || !release) return 3;
  HANDLE file = INVALID_HANDLE_VALUE;
  switch (static_cast<Hold>(mode)) {
    case Hold::kExclusive:
      file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      break;
    case Hold::kWriterSharingRead:
      file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      break;
    case Hold::kRangeLock:
      file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
      if (file != INVALID_HANDLE_VALUE && !LockFile(file, 0, 0, 0xFFFFFFFFu, 0)) {
        CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
      }
      break;
  }
  if (file == INVALID_HANDLE_VALUE) return 4;
  SetEvent(ready);
  WaitForSingleObject(release, INFINITE);
  CloseHandle(file);
  return 0;
}

std::string OwnPath() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
  return length && length < sizeof(path) ? std::string(path) : std::string();
}

// A helper process of this program that holds a file until released.
class Holder {
 public:
  Holder(Hold mode, const std::string& path) {
    static int serial = 0;
    std::string tag = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    std::string readyName = "albumkit-iofaults-ready-" + tag, releaseName = "albumkit-iofaults-release-" + tag;
    ready_ = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
    release_ = CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str());
    std::string self = OwnPath();
    std::string command = "\"" + self + "\" --hold " + std::to_string(static_cast<int>(mode)) + " \"" + path + "\" " +
                          readyName + " " + releaseName;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (!ready_ || !release_ ||
        !CreateProcessA(self.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child_))
      return;
    HANDLE started[2] = {ready_, child_.hProcess};
    holding_ = WaitForMultipleObjects(2, started, FALSE, kChildStartLimitMs) == WAIT_OBJECT_0;
  }
  ~Holder() {
    if (release_) SetEvent(release_);
    if (child_.hProcess) {
      if (WaitForSingleObject(child_.hProcess, kChildStartLimitMs) != WAIT_OBJECT_0)
        TerminateProcess(child_.hProcess, 1);
      CloseHandle(child_.hThread);
      CloseHandle(child_.hProcess);
    }
    if (ready_) CloseHandle(ready_);
    if (release_) CloseHandle(release_);
  }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  bool holding() const { return holding_; }

 private:
  HANDLE ready_ = nullptr, release_ = nullptr;
  PROCESS_INFORMATION child_ = {};
  bool holding_ = false;
};

bool RunLocked(Bench& bench, bool quick, Counts* total) {
  Counts counts;
  bool sound = true;
  for (Hold mode : {Hold::kExclusive, Hold::kWriterSharingRead, Hold::kRangeLock}) {
    for (bool backup : {false, true}) {
      // Each helper is a process start, slow under emulation: the quick run
      // holds the backup one way only.
      if (quick && backup && mode != Hold::kExclusive) continue;
      bench.Restore();
      // The helper's handle counts against nobody's resources but its own;
      // it is started before the runs measure theirs.
      Holder holder(mode, backup ? bench.backup() : bench.album());
      if (!holder.holding()) {
        printf("locked file: the helper could not hold the %s (%s)\n", backup ? "backup" : "album",
               kHoldNames[static_cast<int>(mode)]);
        sound = false;
        continue;
      }
      for (Op op : kAllOps) {
        // A save that got through replaced the album: back to the baseline
        // (the held file itself cannot be rewritten, and need not be).
        if (backup) bench.Restore();
        bench.Count(op, std::string(backup ? "backup " : "album ") + kHoldNames[static_cast<int>(mode)] + " elsewhere",
                    &counts);
      }
    }
  }
  bench.Restore();
  counts.strays += bench.StraysAfterNextSave(&counts);
  PrintCounts("file held by another process", counts);
  total->Add(counts);
  return sound;
}

// ---------------------------------------------------------------------------
// The folder taken away during a save

struct Removal {
  std::string folder, recycled;
  bool replaceWithFile = false;
  DWORD delayMs = 0;
  HANDLE go = nullptr;
  bool moved = false;
};

DWORD WINAPI RemoveFolderLater(void* parameter) {
  auto* removal = static_cast<Removal*>(parameter);
  WaitForSingleObject(removal->go, INFINITE);
  // The moment of the removal is what each run varies, spread at random over
  // the save; whatever it is, the outcome must be clean.
  Sleep(removal->delayMs);
  // What a shell's delete does: the folder goes to a recycle folder.
  removal->moved = MoveFileA(removal->folder.c_str(), removal->recycled.c_str()) != 0;
  if (removal->moved && removal->replaceWithFile) WriteBytes(removal->folder, Bytes(7, 'x'));
  return 0;
}

bool RunRemovedFolder(const std::string& base, const std::string& picture, int items, int runs, unsigned seed,
                      Counts* total) {
  std::string folder = base + "\\vanishing";
  std::string recycled = base + "\\recycled";
  RemoveTree(folder);
  RemoveTree(recycled);
  Bench bench(folder, picture, items);
  if (!bench.MakeBaseline()) return false;
  // How long one save takes, to spread the removals over it.
  bench.Restore();
  double begin = Seconds();
  bench.DocSave();
  DWORD saveMs = static_cast<DWORD>((Seconds() - begin) * 1000) + 1;
  Bytes albumBytes, backupBytes;
  bench.Restore();
  ReadBytes(bench.album(), &albumBytes);
  ReadBytes(bench.backup(), &backupBytes);
  std::mt19937 random(seed);
  Counts counts;
  int moved = 0;
  for (int run = 0; run < runs; ++run) {
    Op op = kSaves[run % 2];
    bool replace = (run / 2) % 2 == 1;
    RemoveTree(recycled);
    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(folder.c_str());
    CreateDirectoryA(folder.c_str(), nullptr);
    bench.Restore();
    Removal removal;
    removal.folder = folder;
    removal.recycled = recycled;
    removal.replaceWithFile = replace;
    removal.delayMs = std::uniform_int_distribution<DWORD>(0, saveMs * (op == Op::kAddToAlbum ? 3 : 1))(random);
    removal.go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE remover = CreateThread(nullptr, 0, RemoveFolderLater, &removal, 0, nullptr);
    if (!remover || !removal.go) return false;
    Resources start;
    SetEvent(removal.go);
    Outcome outcome = bench.Run(op);
    WaitForSingleObject(remover, INFINITE);
    CloseHandle(remover);
    CloseHandle(removal.go);
    Resources end;
    ++counts.runs;
    if (removal.moved) ++moved;
    bool leaked = !(start == end);
    if (leaked) ++counts.leaks;
    // Where the album went with its folder: the recycle folder.
    std::string where = removal.moved ? recycled : folder;
    FileState album = StateOf(where + "\\" + kAlbumName), backup = StateOf(where + "\\" + kBackupName);
    int strays = StrayFiles(where);
    static const char* const names[] = {"CAlbumDoc2::Save", "AddToAlbum"};
    const char* opName = names[op == Op::kDocSave ? 0 : 1];
    for (const std::string& name : FileNames(where))
      if (_stricmp(name.c_str(), kAlbumName) && _stricmp(name.c_str(), kBackupName))
        printf("  %s, folder %s after %lu ms: %s left in the folder\n", opName,
               replace ? "replaced by a file" : "moved away", removal.delayMs, name.c_str());
    // Nothing may be written through the file that took the folder's name.
    FileState replacement = StateOf(folder);
    bool replacementKept = !removal.moved || !replace || (replacement.readable && replacement.bytes == Bytes(7, 'x'));
    if (outcome.succeeded) {
      // The save landed before the folder went, so the recycle folder holds
      // the new album; a save that says so but left the old one lied.
      bool honest = album.readable && album.bytes != albumBytes && backup.readable && backup.bytes == albumBytes &&
                    replacementKept;
      if (honest) {
        ++counts.successes;
      } else {
        ++counts.falseSuccesses;
        printf("  %s, folder %s after %lu ms: reported success, but the album or its backup does not show it\n",
               opName, replace ? "replaced by a file" : "moved away", removal.delayMs);
      }
      counts.strays += strays;
      continue;
    }
    bool kept = album.readable && album.bytes == albumBytes && backup.readable && backup.bytes == backupBytes &&
                replacementKept;
    if (!kept) ++counts.albumsChanged;
    if (!outcome.documentKept) ++counts.documentsChanged;
    counts.strays += strays;
    if (kept && outcome.documentKept && !strays && !leaked) ++counts.cleanFailures;
  }
  RemoveTree(recycled);
  SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(folder.c_str());
  RemoveTree(folder);
  char what[128];
  snprintf(what, sizeof(what),
           "folder taken away during a save (%d items, save %lu ms, seed %u, %d of the removals went through)", items,
           saveMs, seed, moved);
  PrintCounts(what, counts);
  total->Add(counts);
  return moved > 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 6 && strcmp(argv[1], "--hold") == 0) return RunHolder(atoi(argv[2]), argv[3], argv[4], argv[5]);
  std::string drive;
  bool quick = false;
  unsigned seed = GetTickCount();
  for (int i = 1; i < argc; ++i) {
    if (!strcmp(argv[i], "--full-disk") && i + 1 < argc) {
      drive = argv[++i];
      while (!drive.empty() && (drive.back() == '\\' || drive.back() == '/')) drive.pop_back();
    } else if (!strcmp(argv[i], "--quick")) {
      quick = true;
    } else if (!strcmp(argv[i], "--seed") && i + 1 < argc) {
      seed = static_cast<unsigned>(strtoul(argv[++i], nullptr, 10));
    } else {
      printf("usage: io_faults.exe [--full-disk X:] [--quick] [--seed N]\n");
      return 2;
    }
  }
  PrintBenchHeader("io faults: full disk, read-only files and folders, files held elsewhere, folders taken away");

  char temp[MAX_PATH];
  if (!GetTempPathA(sizeof(temp), temp)) return 2;
  std::string base = std::string(temp) + "albumkit-iofaults-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(base.c_str(), nullptr);
  std::string picture = base + "\\source.bmp";
  if (!WritePictureFile(picture)) {
    printf("cannot write the source picture\n");
    return 2;
  }

  // Once without a fault: what the first calls load for good (codecs, the
  // resource module's strings) is not a leak of the runs that follow.
  {
    Bench warm(base + "\\warm", picture, 4);
    if (!warm.MakeBaseline()) {
      printf("cannot save an album in %s\n", base.c_str());
      return 2;
    }
    for (Op op : kAllOps) {
      warm.Restore();
      if (!warm.Run(op).succeeded) {
        printf("an operation fails without a fault\n");
        return 2;
      }
    }
    RemoveTree(warm.folder());
  }

  if (Resources().handles == 0) printf("kernel handles are not counted here: leaks are picture handles only\n");
  double begin = Seconds();
  Counts total;
  bool sound = true;
  if (drive.empty()) {
    printf("full disk: skipped (no --full-disk drive given)\n");
  } else {
    sound = RunFullDisk(drive, picture, quick, &total) && sound;
  }
  {
    Bench bench(base + "\\album", picture, 20);
    if (!bench.MakeBaseline()) {
      printf("cannot save the baseline album\n");
      return 2;
    }
    RunReadOnly(bench, &total);
    sound = RunLocked(bench, quick, &total) && sound;
    SetFileAttributesA(bench.folder().c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveTree(bench.folder());
  }
  sound = RunRemovedFolder(base, picture, quick ? 600 : 2000, quick ? 8 : 40, seed, &total) && sound;
  RemoveTree(base);

  printf("io faults: %d runs, %d clean failures, %d successes, %d failures reported as success, %d albums changed, "
         "%d documents changed, %d leaks, %d stray files, %.1f s\n",
         total.runs, total.cleanFailures, total.successes, total.falseSuccesses, total.albumsChanged,
         total.documentsChanged, total.leaks, total.strays, Seconds() - begin);
  if (total.stuck) printf("%d saves failed after their fault was gone\n", total.stuck);
  bool accounted = total.cleanFailures + total.successes == total.runs;
  if (!accounted) printf("some runs were neither a clean failure nor a sound success\n");
  return sound && accounted && total.Bad() == 0 ? 0 : 1;
}
