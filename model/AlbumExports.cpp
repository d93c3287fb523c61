// Album files and folders for hosts that open no album window.
#include <album.h>

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "platform/Alloc.h"
#include "model/FolderListing.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/pixamo.h"

namespace {

int g_relativePathDepth = 1;

// File types that count as pictures when a folder is listed.
const char* const kPictureExtensions[] = {".PSF", ".JPG", ".BMP", ".TIF", ".GIF", ".png",
                                          ".PCX", ".TGA", ".fpx", ".psd", ".PCD"};

bool IsPictureExtension(const char* extension) {
  for (const char* known : kPictureExtensions) {
    if (lstrcmpiA(extension, known) == 0) return true;
  }
  return false;
}

// How often a listing looks at the keyboard for Escape: every entry would
// cost more than listing it.
constexpr DWORD kStopLookInterval = 20;

bool ListIsConsistent(char** list, int* count) {
  if (!list || !count) return false;
  return (*list == nullptr) == (*count == 0) && *count >= 0;
}

// Appends one path to a list of 260-byte entries.
bool AppendPath(char** list, int* count, const char* path) {
  size_t bytes = (static_cast<size_t>(*count) + 1) * ALBUM_PATH_ENTRY;
  char* grown = static_cast<char*>(AlbumRealloc(*list, bytes));
  if (!grown) return false;
  *list = grown;
  CopyText(grown + static_cast<size_t>(*count) * ALBUM_PATH_ENTRY, ALBUM_PATH_ENTRY, path);
  ++*count;
  return true;
}

// folder + "\" + name into out (MAX_PATH bytes); false when it does not fit.
bool JoinPath(char* out, const char* folder, const char* name) {
  size_t folderLength = strlen(folder);
  if (!CopyTextWhole(out, MAX_PATH, folder) || folderLength + 1 >= MAX_PATH) return false;
  out[folderLength] = '\\';
  return CopyTextWhole(out + folderLength + 1, MAX_PATH - folderLength - 1, name);
}

// A pattern search. Without short names (a listing that never reads
// cAlternateFileName) the file system need not make one for every entry.
enum class ShortNames { kWanted, kNotWanted };

class FindScope {
public:
  FindScope(const char* pattern, WIN32_FIND_DATAA* data, ShortNames shortNames = ShortNames::kWanted)
      : handle_(FindFirstFileExA(pattern, shortNames == ShortNames::kWanted ? FindExInfoStandard : FindExInfoBasic,
                                 data, FindExSearchNameMatch, nullptr, 0)) {}
  ~FindScope() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FindScope(const FindScope&) = delete;
  FindScope& operator=(const FindScope&) = delete;
  bool Found() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Next(WIN32_FIND_DATAA* data) { return FindNextFileA(handle_, data) != 0; }

private:
  HANDLE handle_;
};

// A folder as the file system knows it, whatever path leads there.
struct FolderIdentity {
  DWORD volume;
  DWORD indexHigh;
  DWORD indexLow;
  bool operator==(const FolderIdentity& other) const {
    return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
  }
};

bool IdentityOf(const char* folder, FolderIdentity* identity) {
  HANDLE handle = CreateFileA(folder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  bool known = GetFileInformationByHandle(handle, &information) != 0;
  CloseHandle(handle);
  if (!known) return false;
  *identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
  return true;
}

// Junctions and symbolic links are neither listed nor entered: one that
// leads back to an ancestor would make the listing endless. Where links are
// not reported as such (a file system seen through a compatibility layer
// may show them as plain folders), a folder met again on the path from the
// top is skipped for the same reason. ancestors holds the folders from the
// top down to folder itself (folder is missing when its identity is not
// known); each folder's identity is asked once, when it is found.
int ListSubfolders(const char* folder, char** list, int* count, std::vector<FolderIdentity>* ancestors) {
  // Every name is searched, not only names without an extension, so that
  // folders such as "2020.06" are listed too.
  char pattern[MAX_PATH];
  if (!JoinPath(pattern, folder, "*")) return -2;
  WIN32_FIND_DATAA data;
  FindScope find(pattern, &data, ShortNames::kNotWanted);
  if (!find.Found()) return -2;
  int result = 0;
  do {
    if (AbortPictureProcessingEvery(kStopLookInterval)) {
      result = -3;
      break;
    }
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    if (strcmp(data.cFileName, ".") == 0 || strcmp(data.cFileName, "..") == 0) continue;
    char path[MAX_PATH];
    if (!JoinPath(path, folder, data.cFileName)) continue;
    FolderIdentity child;
    bool childKnown = IdentityOf(path, &child);
    if (childKnown && std::find(ancestors->begin(), ancestors->end(), child) != ancestors->end()) continue;
    if (!AppendPath(list, count, path)) {
      result = -4;
      break;
    }
    if (childKnown) ancestors->push_back(child);
    int inner = ListSubfolders(path, list, count, ancestors);
    if (childKnown) ancestors->pop_back();
    if (inner == -3 || inner == -4) {
      result = inner;
      break;
    }
  } while (find.Next(&data));
  return result;
}

}  // namespace

namespace {

// A new document, or null when there is no memory for one: its table
// allocates in its constructor, past the reach of a nothrow new.
CAlbumDoc2* NewDocument() {
  try {
    return new CAlbumDoc2;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

ALBUM_API int LoadAlbum(const char* path, int* count, void*** pictures, tagALBUMINFOHEADER*** infos) {
  // Refused before loading: loading may rewrite the album, and there would
  // be nowhere to hand the pictures.
  if (!count || !pictures || !infos) return -1;
  std::unique_ptr<CAlbumDoc2> document(NewDocument());
  if (!document) return -1;
  // Changed items are refreshed, and the album written back, only once the
  // memory to hand the album over is there: a LoadAlbum that fails leaves
  // the album file as it was.
  document->SetAutoCheck(0);
  if (!document->Load(path, 1)) return -2;

  int n = document->GetCount();
  DWORD arrayBytes = static_cast<DWORD>(n) * sizeof(void*);
  auto** pictureArray = static_cast<void**>(ToviMemAlloc(TOVI_FIXED_ZERO, arrayBytes));
  auto** infoArray = static_cast<tagALBUMINFOHEADER**>(ToviMemAlloc(TOVI_FIXED_ZERO, arrayBytes));
  bool ok = pictureArray && infoArray;
  for (int i = 0; ok && i < n; ++i) {
    infoArray[i] = static_cast<tagALBUMINFOHEADER*>(ToviMemAlloc(TOVI_FIXED_ZERO, sizeof(tagALBUMINFOHEADER)));
    if (!infoArray[i]) ok = false;
  }
  if (!ok) {
    // Nothing is handed over: free the record blocks made so far.
    for (int i = 0; infoArray && i < n; ++i) {
      if (infoArray[i]) ToviMemFree(infoArray[i]);
    }
    if (pictureArray) ToviMemFree(pictureArray);
    if (infoArray) ToviMemFree(infoArray);
    return -1;
  }
  int refreshed = 0;
  for (int i = 0; i < n; ++i) {
    if (document->Refresh(document->GetThumbnail(i + 1)) == 1) ++refreshed;
  }
  if (refreshed > 0) document->Save(path);
  for (int i = 0; i < n; ++i) {
    memcpy(infoArray[i], document->GetThumbnail(i + 1)->GetInfo(), sizeof(tagALBUMINFOHEADER));
  }
  // The pictures change hands only once nothing can fail any more.
  for (int i = 0; i < n; ++i) {
    CThumbnail2* item = document->GetThumbnail(i + 1);
    pictureArray[i] = item->GetDib();
    item->SetDib(nullptr);
  }
  *count = n;
  *pictures = pictureArray;
  *infos = infoArray;
  return 0;
}

ALBUM_API void ChangeRelativePathDepth(int depth) { g_relativePathDepth = depth; }

ALBUM_API int SplitAlbumPath(const char* full, char* folder, char* name) {
  if (!full || !folder || !name) return 0;
  SplitPathParts parts;
  if (!SplitAlbumPathParts(full, &parts) || !parts.drive[0]) return 0;
  char extension[sizeof(parts.ext)];
  CopyText(extension, parts.ext);
  CharUpperA(extension);
  if (strcmp(extension, ".ABM") != 0) return 0;

  char joined[MAX_PATH];
  CopyText(joined, parts.drive);
  size_t used = strlen(joined);
  CopyText(joined + used, sizeof(joined) - used, parts.dir);
  size_t length = strlen(joined);
  if (length > 0 && (joined[length - 1] == '\\' || joined[length - 1] == '/')) joined[length - 1] = '\0';
  CopyText(folder, MAX_PATH, joined);
  CopyText(name, MAX_PATH, parts.fname);
  return 1;
}

ALBUM_API int EnumSubfolders(const char* folder, char** list, int* count) {
  if (!folder || !ListIsConsistent(list, count)) return -1;
  try {
    std::vector<FolderIdentity> ancestors;
    FolderIdentity top;
    if (IdentityOf(folder, &top)) ancestors.push_back(top);
    return ListSubfolders(folder, list, count, &ancestors);
  } catch (const std::bad_alloc&) {
    return -4;
  }
}

ALBUM_API int EnumPictureFiles(const char* folder, char** list, int* count, const char* pattern) {
  if (!folder || !ListIsConsistent(list, count)) return -1;
  if (pattern && pattern[0]) {
    WIN32_FIND_DATAA data;
    char search[MAX_PATH];
    char path[MAX_PATH];
    if (!JoinPath(search, folder, pattern)) return *count;
    FindScope find(search, &data);
    if (!find.Found()) return *count;
    do {
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      const char* dot = strrchr(data.cFileName, '.');
      if (!dot || !IsPictureExtension(dot) || !JoinPath(path, folder, data.cFileName)) continue;
      if (!AppendPath(list, count, path)) *count = 0;
    } while (find.Next(&data));
    return *count;
  }
  // Out of memory, the count drops to 0 as it always has; the caller still
  // frees the block.
  std::vector<PictureFileEntry> files;
  if (!ListPictureFiles(folder, &files)) return *count = 0;
  if (files.empty()) return *count;
  // The list grows once for the whole folder rather than once per file.
  size_t bytes = (static_cast<size_t>(*count) + files.size()) * ALBUM_PATH_ENTRY;
  char* grown = static_cast<char*>(AlbumRealloc(*list, bytes));
  if (!grown) return *count = 0;
  *list = grown;
  for (const PictureFileEntry& file : files) {
    CopyText(grown + static_cast<size_t>(*count) * ALBUM_PATH_ENTRY, ALBUM_PATH_ENTRY, file.path);
    ++*count;
  }
  return *count;
}

ALBUM_API int FileExists(const char* path) {
  struct _stat64 status;
  return path && _stat64(path, &status) == 0 ? 1 : 0;
}

namespace {

char AsciiUpper(char letter) { return letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter; }

// The index in the table of the extension of name, or -1. The file system
// compares names without regard to case letter by letter, so plain ASCII
// folding answers as a pattern search per extension would.
int PictureExtensionIndex(const char* name) {
  const char* dot = strrchr(name, '.');
  if (!dot || strlen(dot) != 4) return -1;
  int index = 0;
  for (const char* known : kPictureExtensions) {
    if (AsciiUpper(dot[1]) == AsciiUpper(known[1]) && AsciiUpper(dot[2]) == AsciiUpper(known[2]) &&
        AsciiUpper(dot[3]) == AsciiUpper(known[3])) {
      return index;
    }
    ++index;
  }
  return -1;
}

// Seconds since 1970 from a file time, truncated as the C runtime's stat does.
long long SecondsSince1970(const FILETIME& time) {
  unsigned long long ticks = (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return (static_cast<long long>(ticks) - 116444736000000000LL) / 10000000LL;
}

}  // namespace

bool ListPictureFiles(const char* folder, std::vector<PictureFileEntry>* files) {
  constexpr int kTypes = sizeof(kPictureExtensions) / sizeof(kPictureExtensions[0]);
  char search[MAX_PATH];
  if (!folder || !files || !JoinPath(search, folder, "*")) return true;
  WIN32_FIND_DATAA data;
  FindScope find(search, &data);
  if (!find.Found()) return true;
  // Each file goes to the group of its type; the groups are joined in table
  // order at the end.
  std::vector<PictureFileEntry> groups[kTypes];
  try {
    do {
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      int type = PictureExtensionIndex(data.cFileName);
      if (type < 0 && data.cAlternateFileName[0]) type = PictureExtensionIndex(data.cAlternateFileName);
      if (type < 0) continue;
      PictureFileEntry entry;
      if (!JoinPath(entry.path, folder, data.cFileName)) continue;
      entry.size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      entry.modified = SecondsSince1970(data.ftLastWriteTime);
      groups[type].push_back(entry);
    } while (find.Next(&data));
    size_t total = files->size();
    for (const auto& group : groups) total += group.size();
    files->reserve(total);
    for (const auto& group : groups) files->insert(files->end(), group.begin(), group.end());
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}
