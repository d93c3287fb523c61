// An album document: loading and saving through the album store, and keeping
// items honest against their source pictures.
#include <album.h>

#include <string.h>
#include <sys/stat.h>

#include <memory>
#include <new>
#include <utility>

#include "manager/Module.h"
#include "platform/Alloc.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/qil.h"

namespace {

// Thumbnail box used when a document was never given one.
const WORD kDefaultThumbSide = 80;
// Zero bytes after the picture in every item block.
const DWORD kBlockSlack = 10;
const DWORD kRecordSize = sizeof(tagALBUMINFOHEADER);

class WaitCursor {
public:
  WaitCursor() { SetCursor(LoadCursor(nullptr, IDC_WAIT)); }
  ~WaitCursor() { SetCursor(LoadCursor(nullptr, IDC_ARROW)); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// A global block locked for the life of the scope.
class GlobalLockScope {
public:
  explicit GlobalLockScope(HGLOBAL mem) : mem_(mem), bytes_(mem ? GlobalLock(mem) : nullptr) {}
  ~GlobalLockScope() {
    if (bytes_) GlobalUnlock(mem_);
  }
  GlobalLockScope(const GlobalLockScope&) = delete;
  GlobalLockScope& operator=(const GlobalLockScope&) = delete;
  explicit operator bool() const { return bytes_ != nullptr; }
  template <typename T>
  T* As() const {
    return static_cast<T*>(bytes_);
  }

private:
  HGLOBAL mem_;
  void* bytes_;
};

ABMFILEPROC FindStoreFunction(const char* name) {
  HMODULE store = GetAlbumStoreModule();
  if (!store) return nullptr;
  return reinterpret_cast<ABMFILEPROC>(reinterpret_cast<void*>(GetProcAddress(store, name)));
}

// Releases the blocks and the array of an exchange record.
void FreeAlbumFileData(tagALBUMFILEDATA* data) {
  if (!data->hBlocks) {
    data->nCount = 0;
    return;
  }
  {
    GlobalLockScope slots(data->hBlocks);
    if (!slots) return;
    DWORD capacity = static_cast<DWORD>(GlobalSize(data->hBlocks) / sizeof(HGLOBAL));
    DWORD count = data->nCount < capacity ? data->nCount : capacity;
    for (DWORD i = 0; i < count; ++i) {
      if (slots.As<HGLOBAL>()[i]) GlobalFree(slots.As<HGLOBAL>()[i]);
    }
  }
  GlobalFree(data->hBlocks);
  data->hBlocks = nullptr;
  data->nCount = 0;
}

// A global copy of a picture handle (flags 0x42), or null.
HGLOBAL CopyPictureToGlobal(void* dib) {
  if (!dib) return nullptr;
  DWORD size = ToviMemSize(dib);
  const void* source = ToviMemLock(dib);
  if (!source) return nullptr;
  HGLOBAL copy = AlbumGlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
  GlobalLockScope target(copy);
  if (target) memcpy(target.As<void>(), source, size);
  ToviMemUnlock(dib);
  if (copy && !target) {
    GlobalFree(copy);
    return nullptr;
  }
  return copy;
}

bool QueryFileStatus(const char* path, struct _stat64* status) { return _stat64(path, status) == 0; }

}  // namespace

CAlbumDoc2::CAlbumDoc2() : m_bAutoCheck(1), m_wThumbWidth(0), m_wThumbHeight(0) {
  m_szExePath[0] = '\0';
  m_szPath[0] = '\0';
  m_szDescription[0] = '\0';
}

CAlbumDoc2::CAlbumDoc2(const CAlbumDoc2& other)
    : CThumbTable2(other),
      m_bAutoCheck(other.m_bAutoCheck),
      m_wThumbWidth(other.m_wThumbWidth),
      m_wThumbHeight(other.m_wThumbHeight) {
  memcpy(m_szExePath, other.m_szExePath, sizeof(m_szExePath));
  memcpy(m_szPath, other.m_szPath, sizeof(m_szPath));
  memcpy(m_szDescription, other.m_szDescription, sizeof(m_szDescription));
}

CAlbumDoc2::~CAlbumDoc2() = default;

CAlbumDoc2& CAlbumDoc2::operator=(const CAlbumDoc2& other) {
  if (this == &other) return *this;
  CThumbTable2::operator=(other);
  memcpy(m_szExePath, other.m_szExePath, sizeof(m_szExePath));
  memcpy(m_szPath, other.m_szPath, sizeof(m_szPath));
  memcpy(m_szDescription, other.m_szDescription, sizeof(m_szDescription));
  m_bAutoCheck = other.m_bAutoCheck;
  m_wThumbWidth = other.m_wThumbWidth;
  m_wThumbHeight = other.m_wThumbHeight;
  return *this;
}

int CAlbumDoc2::Load(const char* path, int withPictures) {
  if (!path) return 0;
  // The items gather in a table of their own until the album has come in
  // whole; without memory for it the load fails before anything changed.
  std::unique_ptr<CThumbTable2> incoming;
  try {
    incoming.reset(new CThumbTable2);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  WaitCursor wait;

  tagALBUMFILEDATA data;
  memset(&data, 0, sizeof(data));
  ABMFILEPROC open = FindStoreFunction("ABM_OpenFile");
  // A failed load leaves the document as it was: an album that is locked,
  // gone or damaged must not cost the caller the album it holds.
  if (!open || !open(ALBUM_STORE_VERSION, path, &data)) return 0;

  // Relative item paths resolve against the new album's folder while its
  // items are checked; path and description go back if the load fails.
  char oldPath[sizeof(m_szPath)];
  char oldDescription[sizeof(m_szDescription)];
  memcpy(oldPath, m_szPath, sizeof(oldPath));
  memcpy(oldDescription, m_szDescription, sizeof(oldDescription));
  CopyTextWhole(m_szPath, path);
  char description[sizeof(data.szDescription)];
  CopyText(description, sizeof(description), data.szDescription);
  CopyText(m_szDescription, description);

  // The album must come in whole. An album that cannot be read completely
  // (a missing block, a block shorter than its record says, no memory for a
  // picture) fails the load: a partial document would be saved back later
  // and drop the rest of the album from disk for good.
  bool complete = true;
  int refreshed = 0;
  if (data.hBlocks && data.nCount > 0) {
    GlobalLockScope slots(data.hBlocks);
    DWORD capacity = static_cast<DWORD>(GlobalSize(data.hBlocks) / sizeof(HGLOBAL));
    complete = slots && data.nCount <= capacity;
    for (DWORD i = 0; complete && i < data.nCount; ++i) {
      HGLOBAL block = slots.As<HGLOBAL>()[i];
      GlobalLockScope bytes(block);
      if (!bytes || GlobalSize(block) < kRecordSize) {
        complete = false;
        break;
      }
      tagALBUMINFOHEADER info;
      memcpy(&info, bytes.As<BYTE>(), kRecordSize);
      info.aiReserved2 = 0;
      if (info.aiThumbSize > GlobalSize(block) - kRecordSize) {
        complete = false;
        break;
      }
      void* picture = nullptr;
      if (withPictures) {
        picture = ToviMemAlloc(TOVI_FIXED_ZERO, info.aiThumbSize + kBlockSlack);
        void* target = picture ? ToviMemLock(picture) : nullptr;
        if (!target) {
          if (picture) ToviMemFree(picture);
          complete = false;
          break;
        }
        memcpy(target, bytes.As<BYTE>() + kRecordSize, info.aiThumbSize);
        ToviMemUnlock(picture);
      }
      CThumbnail2* item = new (std::nothrow) CThumbnail2(&info, picture, static_cast<int>(i) + 1, 1);
      if (!item) {
        if (picture) ToviMemFree(picture);
        complete = false;
        break;
      }
      if (m_bAutoCheck && Refresh(item) == 1) ++refreshed;
      incoming->Insert(item, nullptr);
    }
  }
  FreeAlbumFileData(&data);
  if (!complete) {
    memcpy(m_szPath, oldPath, sizeof(m_szPath));
    memcpy(m_szDescription, oldDescription, sizeof(m_szDescription));
    return 0;
  }
  // The old items go with the incoming table's (empty) list.
  CleanTable();
  std::swap(m_pHead, incoming->m_pHead);
  std::swap(m_nCount, incoming->m_nCount);
  ForgetCursor();
  incoming->ForgetCursor();
  // Thumbnails re-made from changed sources go back to the file at once.
  if (GetCount() > 0 && refreshed > 0) Save(path);
  return 1;
}

int CAlbumDoc2::Save(const char* path) {
  ABMFILEPROC save = FindStoreFunction("ABM_SaveFile");
  if (!save || !path) return 0;
  WaitCursor wait;

  DWORD count = static_cast<DWORD>(GetCount());
  tagALBUMFILEDATA data;
  memset(&data, 0, sizeof(data));
  data.hBlocks = AlbumGlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, count * sizeof(HGLOBAL) + kBlockSlack);
  if (!data.hBlocks) return 0;
  data.nCount = count;

  // Every item must reach the store: an item left out would be gone from
  // the album file, so a block that cannot be made fails the whole save.
  bool complete = true;
  {
    GlobalLockScope slots(data.hBlocks);
    complete = static_cast<bool>(slots);
    DWORD i = 0;
    for (CThumbnail2* item = m_pHead->m_pNext; complete && item != m_pHead; item = item->m_pNext, ++i) {
      HGLOBAL picture = CopyPictureToGlobal(item->GetDib());
      if (!picture) {
        complete = false;
        break;
      }
      DWORD pictureSize = static_cast<DWORD>(GlobalSize(picture));
      HGLOBAL block = AlbumGlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, pictureSize + kRecordSize + kBlockSlack);
      {
        GlobalLockScope target(block);
        GlobalLockScope source(picture);
        if (target && source) {
          tagALBUMINFOHEADER info = *item->GetInfo();
          // The store takes aiThumbSize picture bytes from the block; the
          // handle may be larger than the picture, never smaller.
          if (info.aiThumbSize > pictureSize) info.aiThumbSize = pictureSize;
          memcpy(target.As<BYTE>(), &info, kRecordSize);
          memcpy(target.As<BYTE>() + kRecordSize, source.As<void>(), pictureSize);
        } else {
          complete = false;
        }
      }
      GlobalFree(picture);
      if (!complete) {
        if (block) GlobalFree(block);
        break;
      }
      slots.As<HGLOBAL>()[i] = block;
    }
  }
  int result = 0;
  if (complete) {
    CopyText(data.szDescription, 127, m_szDescription);
    data.szDescription[126] = '\0';
    data.szDescription[127] = '\0';
    result = save(ALBUM_STORE_VERSION, path, &data);
  }
  FreeAlbumFileData(&data);
  return result;
}

int CAlbumDoc2::SetThumbnailSize(WORD width, WORD height) {
  if (width == 0 || height == 0) return 0;
  m_wThumbWidth = width;
  m_wThumbHeight = height;
  return 1;
}

int CAlbumDoc2::GetThumbnailFullPath(const char* stored, char* full) {
  if (!stored || !full) return 0;
  full[0] = '\0';
  if (!IsRelativePath(stored)) return CopyTextWhole(full, MAX_PATH, stored) ? 1 : 0;

  // Relative paths: first the host program's folder, then the album's.
  char albumFolder[MAX_PATH] = "";
  SplitPathParts parts;
  if (m_szPath[0] && SplitAlbumPathParts(m_szPath, &parts)) {
    CopyText(albumFolder, parts.drive);
    size_t used = strlen(albumFolder);
    CopyText(albumFolder + used, sizeof(albumFolder) - used, parts.dir);
  }
  const char* bases[] = {m_szExePath, albumFolder};
  for (const char* base : bases) {
    if (!base[0]) continue;
    char candidate[MAX_PATH];
    size_t baseLength = strlen(base);
    if (!CopyTextWhole(candidate, base) ||
        !CopyTextWhole(candidate + baseLength, sizeof(candidate) - baseLength, stored)) {
      continue;
    }
    struct _stat64 status;
    if (QueryFileStatus(candidate, &status)) {
      CopyText(full, MAX_PATH, candidate);
      return 1;
    }
  }
  CopyText(full, MAX_PATH, stored);
  return 0;
}

int CAlbumDoc2::CheckSourceFile(tagALBUMINFOHEADER* info, const char* full) {
  struct _stat64 status;
  if (!QueryFileStatus(full, &status)) return -1;
  DWORD modified = static_cast<DWORD>(status.st_mtime);
  if (modified <= info->aiFileTime) return 1;
  DWORD created = static_cast<DWORD>(status.st_ctime);
  info->aiFileTime = modified > created ? modified : created;
  return 0;
}

int CAlbumDoc2::Refresh(CThumbnail2* item) {
  if (!item) return 0;
  char full[MAX_PATH];
  if (!GetThumbnailFullPath(item->GetInfo()->aiPath, full)) {
    item->SetExist(0);
    return 0;
  }
  DWORD storedTime = item->GetInfo()->aiFileTime;
  int state = CheckSourceFile(item->GetInfo(), full);
  if (state != 0) {
    item->SetExist(state == 1 ? 1 : 0);
    return 0;
  }
  WORD width = m_wThumbWidth ? m_wThumbWidth : kDefaultThumbSide;
  WORD height = m_wThumbHeight ? m_wThumbHeight : kDefaultThumbSide;
  // The item's own description stays: a user's caption is not lost because
  // the picture was edited.
  CThumbnail2* fresh = CreateThumbnailFromFile(full, width, height, item->GetInfo()->aiDescription);
  if (!fresh) {
    // The new time goes only with a new thumbnail: a source that cannot be
    // read now (locked, half written) must still count as changed later.
    item->GetInfo()->aiFileTime = storedTime;
    item->SetExist(1);
    return 0;
  }
  tagALBUMINFOHEADER* info = fresh->GetInfo();
  memcpy(info->aiPath, item->GetInfo()->aiPath, sizeof(info->aiPath));
  info->aiRelative = IsRelativePath(info->aiPath) ? 1 : 0;
  void* oldPicture = item->GetDib();
  item->SetDib(fresh->GetDib());
  fresh->SetDib(oldPicture);
  memcpy(item->GetInfo(), info, sizeof(tagALBUMINFOHEADER));
  delete fresh;
  item->SetExist(1);
  return 1;
}

CThumbnail2* CAlbumDoc2::FindFileInDoc(const char* path) {
  if (!path) return nullptr;
  for (CThumbnail2* item = m_pHead->m_pNext; item != m_pHead; item = item->m_pNext) {
    const char* stored = item->GetInfo()->aiPath;
    if (lstrcmpiA(path, stored) == 0) return item;
    if (!IsRelativePath(stored)) continue;  // resolves to itself
    char full[MAX_PATH];
    GetThumbnailFullPath(stored, full);
    if (lstrcmpiA(path, full) == 0) return item;
  }
  return nullptr;
}

const char* CAlbumDoc2::GetPath() { return m_szPath; }

int CAlbumDoc2::SetPath(const char* path) {
  if (!CopyTextWhole(m_szPath, path)) return 0;
  if (!m_szDescription[0]) CopyText(m_szDescription, m_szPath);
  return 1;
}

const char* CAlbumDoc2::GetDescription() { return m_szDescription; }

void CAlbumDoc2::SetDescription(const char* description) { CopyText(m_szDescription, description); }

const char* CAlbumDoc2::GetExePath() { return m_szExePath; }

int CAlbumDoc2::SetExePath(const char* path) { return CopyTextWhole(m_szExePath, path) ? 1 : 0; }

void CAlbumDoc2::SetAutoCheck(int autoCheck) { m_bAutoCheck = autoCheck; }
