// Adding picture files to an album file for a host that opens no album window.
#include <album.h>

#include <string.h>

#include <new>

#include "components/resources/resource.h"
#include "manager/AlbumDialogs.h"
#include "manager/Module.h"
#include "manager/ThreadRegistry.h"
#include "platform/Text.h"

namespace {

constexpr char kAlbumExtension[] = ".abm";
constexpr size_t kAlbumExtensionLength = sizeof(kAlbumExtension) - 1;

bool EndsWithAlbumExtension(const char* name) {
  size_t length = strlen(name);
  return length >= kAlbumExtensionLength && _stricmp(name + length - kAlbumExtensionLength, kAlbumExtension) == 0;
}

// folder + "\" + name (+ ".abm" unless name already ends with it) into out;
// false when it does not fit, since a cut path would name another file.
bool MakeAlbumFilePath(char (&out)[MAX_PATH], const char* folder, const char* name) {
  size_t folderLength = strlen(folder);
  bool separator = folderLength > 0 && folder[folderLength - 1] != '\\' && folder[folderLength - 1] != '/';
  size_t nameLength = strlen(name);
  bool extension = !EndsWithAlbumExtension(name);
  size_t total = folderLength + (separator ? 1 : 0) + nameLength + (extension ? kAlbumExtensionLength : 0);
  if (total >= MAX_PATH) return false;
  char* end = out;
  memcpy(end, folder, folderLength);
  end += folderLength;
  if (separator) *end++ = '\\';
  memcpy(end, name, nameLength);
  end += nameLength;
  if (extension) {
    memcpy(end, kAlbumExtension, kAlbumExtensionLength);
    end += kAlbumExtensionLength;
  }
  *end = '\0';
  return true;
}

// The next path of the caller's block of back-to-back texts.
const char* NextFile(const char* file) { return file + strlen(file) + 1; }

void ClearResults(int* results, int count) {
  if (!results) return;
  for (int i = 0; i < count; ++i) results[i] = 0;
}

// The manager of this thread that shows the album takes the files itself, so
// that its unsaved edits and the file on disk never disagree.
int AddThroughManager(CAlbumMan* manager, const char* files, int count, int* results) {
  int added = 0;
  const char* file = files;
  for (int i = 0; i < count; ++i, file = NextFile(file)) {
    results[i] = 0;
    if (manager->InsertFromFile(file, "")) {
      results[i] = 1;
      ++added;
    }
  }
  return added == count ? 0 : 1;
}

int AddToAlbumFile(HWND owner, char* album, const char* files, int count, int* results, POINT size) {
  CAlbumDoc2 document;
  char given[MAX_PATH];
  if (BoundedLength(album, MAX_PATH) >= MAX_PATH || !CopyTextWhole(given, album)) return -1;

  char folder[MAX_PATH] = "";
  char name[MAX_PATH] = "";
  if (SplitAlbumPath(given, folder, name)) {
    CopyText(album, MAX_PATH, folder);
  } else {
    CopyText(folder, given);
    char title[256] = "";
    LoadStringA(GetResourceModule(), IDS_TITLE_ADD_TO_ALBUM, title, sizeof(title));
    // Nothing was added: no result may tell the caller otherwise.
    if (!ChooseAlbum(owner, folder, name, 1, title, 2)) return 0;
  }

  bool isNew = false;
  char untitled[MAX_PATH] = "";
  LoadStringA(GetResourceModule(), IDS_UNTITLED_ALBUM, untitled, sizeof(untitled));
  if (untitled[0] && _stricmp(name, untitled) == 0) {
    if (RunNewAlbumDialog(owner, folder) != 1) return -1;
    // The dialog leaves the file name, ".abm" included.
    if (!CopyTextWhole(name, GetNewAlbumName())) return -1;
    document.SetDescription("");
    isNew = true;
  }

  char path[MAX_PATH];
  if (!MakeAlbumFilePath(path, folder, name)) return -1;
  if (!isNew) {
    CThreadRegistry* registry = GetThreadRegistry();
    if (CAlbumMan* manager = registry ? registry->FindManagerByAlbumName(path) : nullptr) {
      return AddThroughManager(manager, files, count, results);
    }
  }

  WORD width = static_cast<WORD>(size.x > 0 && size.x <= 0xFFFF ? size.x : 0);
  WORD height = static_cast<WORD>(size.y > 0 && size.y <= 0xFFFF ? size.y : 0);
  document.SetThumbnailSize(width, height);
  if (!isNew && !document.Load(path, 1)) return -1;

  // 2: newly added, so only in the album once it is saved.
  const int kAdded = 2;
  int added = 0;
  const char* file = files;
  for (int i = 0; i < count; ++i, file = NextFile(file)) {
    results[i] = 0;
    if (CThumbnail2* held = document.FindFileInDoc(file)) {
      document.Refresh(held);
      results[i] = 1;
      continue;
    }
    CThumbnail2* item = CreateThumbnailFromFile(file, width, height, nullptr);
    if (!item) continue;
    if (!document.Insert(item, nullptr)) {
      delete item;
      continue;
    }
    results[i] = kAdded;
    ++added;
  }
  bool saved = document.Save(path) != 0;
  // A file whose item never reached the disk is not in the album.
  for (int i = 0; i < count; ++i) {
    if (results[i] == kAdded) results[i] = saved ? 1 : 0;
  }
  if (!saved) return -1;
  return added == count ? 0 : 1;
}

}  // namespace

ALBUM_API int AddToAlbum(HWND owner, char* album, char** fileList, int count, int*& results, POINT size) {
  if (count < 0 || !album || (count > 0 && (!fileList || !*fileList || !results))) return -1;
  ClearResults(results, count);
  try {
    return AddToAlbumFile(owner, album, count > 0 ? *fileList : "", count, results, size);
  } catch (const std::bad_alloc&) {
    return -1;
  }
}
