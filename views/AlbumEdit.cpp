// The album view's editing operations: load and save, inserts, moves,
// removals, refresh, sorts, drag data, path lists and printing.
#include <limits.h>
#include <string.h>
#include <sys/stat.h>

#include <new>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Album.h"
#include "AlbumPrint.h"
#include "components/resources/resource.h"
#include "manager/Module.h"
#include "platform/Text.h"
#include "platform/pixamo.h"
#include "platform/qil.h"

namespace {

// LockupForModal ... UnlockForModal around a message box.
class ModalScope {
 public:
  ModalScope() : token_(LockupForModal()) {}
  ~ModalScope() {
    if (token_) UnlockForModal(token_);
  }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  void* token_;  // owned: the modal level this scope opened
};

// The question text: the resource string with its first "%s" replaced by the
// path. Nothing else in the string is interpreted, so a translated text with
// other conversions cannot read arguments that were never passed.
std::string FormatWithPath(const char* format, const char* path) {
  std::string text;
  bool used = false;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == '%') {
      text += '%';
      ++p;
    } else if (!used && p[0] == '%' && p[1] == 's') {
      text += path;
      used = true;
      ++p;
    } else {
      text += *p;
    }
  }
  return text;
}

// 1 when the user agreed to refresh the album's copy of the file.
bool AskRefreshDuplicate(const char* path) {
  HMODULE resources = GetResourceModule();
  char format[300] = "";
  char caption[40] = "";
  LoadStringA(resources, IDS_ASK_REFRESH_DUPLICATE, format, sizeof(format));
  LoadStringA(resources, IDS_CAPTION_ALBUM, caption, sizeof(caption));
  std::string text = FormatWithPath(format, path);
  ModalScope modal;
  return MessageBoxA(nullptr, text.c_str(), caption, MB_OKCANCEL) == IDOK;
}

// The album's paths for duplicate checks, matched as FindFileInDoc matches
// them: by the stored path or, for a relative one, the full path it
// resolves to, without regard to case; the first item in table order wins.
class PathIndex {
 public:
  explicit PathIndex(CAlbumDoc2* doc) : doc_(doc) {
    int count = doc->GetCount();
    items_.reserve(static_cast<size_t>(count) * 2);
    for (int n = 1; n <= count; ++n) Add(doc->GetThumbnail(n), INT_MAX);
  }
  PathIndex(const PathIndex&) = delete;
  PathIndex& operator=(const PathIndex&) = delete;

  CThumbnail2* Find(const char* path) const {
    auto found = items_.find(Key(path));
    return found != items_.end() ? found->second : nullptr;
  }

  // Adds an item that stands after every item numbered up to insertedAfter
  // and after the items added before it (new items are numbered 0).
  void Add(CThumbnail2* item, int insertedAfter) {
    const char* stored = item->GetInfo()->aiPath;
    std::string key = Key(stored);
    Put(key, item, insertedAfter);
    char full[MAX_PATH];
    doc_->GetThumbnailFullPath(stored, full);
    std::string fullKey = Key(full);
    if (fullKey != key) Put(fullKey, item, insertedAfter);
  }

 private:
  static std::string Key(const char* path) {
    std::string key(path, strnlen(path, sizeof(tagALBUMINFOHEADER::aiPath)));
    if (!key.empty()) CharUpperBuffA(&key[0], static_cast<DWORD>(key.size()));
    return key;
  }

  void Put(const std::string& key, CThumbnail2* item, int insertedAfter) {
    auto placed = items_.emplace(key, item);
    // A relative path may resolve to the path of an item further down.
    if (!placed.second && placed.first->second->GetID() > insertedAfter) placed.first->second = item;
  }

  CAlbumDoc2* doc_;                                       // not owned
  std::unordered_map<std::string, CThumbnail2*> items_;  // items not owned
};

// Where the first visible item goes when a batch is inserted: each new item
// moves it exactly as inserting and showing that item alone would, so the
// batch ends on the page a run of single inserts would have shown.
struct FirstViewTrack {
  enum State { kNone, kEnd, kItem };
  State state = kNone;  // no first visible item, the end mark, or an item
  int number = 0;       // the item's number as the table stands

  // An item inserted at number `at` before the item numbered `at` before it
  // (or before the end mark); the batch's first new item is firstNew.
  void Inserted(int at, bool beforeIsEnd, int firstNew, int count, int cells, int perLine) {
    bool beforeShownFirst = beforeIsEnd ? state == kEnd : state == kItem && number == at;
    if (beforeShownFirst || state != kItem) {
      state = kItem;
      number = firstNew;
    } else if (number >= at) {
      ++number;
    }
    if (at < number || at >= number + cells) number = at;
    // The attach step pulls a view with a whole empty line back to the last page.
    if ((number + cells - count - 1) / perLine > 0) {
      int lines = (count + perLine - 1) / perLine;
      number = lines * perLine - cells + 1;
      if (number < 1) number = 1;
    }
  }
};

}  // namespace

// ---------------------------------------------------------------------------
// Keeping the view's pointers right

void CAlbum::ForgetItem(CThumbnail2* item) {
  if (!item) return;
  if (item == m_pFirstView) m_pFirstView = item->m_pNext;
  if (item == m_pShiftAnchor) m_pShiftAnchor = nullptr;
  if (item->m_pSelNext) Deselect(item);
  if (item == m_pFocus) m_pFocus = nullptr;
}

// ---------------------------------------------------------------------------
// Load, save, empty

int CAlbum::Load(const char* path) {
  // The document empties itself before reading: nothing of the view may
  // point at its items by then, and the parent hears that the focus went.
  FreeAlbumData();
  if (!path || !m_Doc.Load(path, 1)) {
    FreeAlbumData();
    return 0;
  }
  m_pFirstView = m_Doc.m_pHead->m_pNext;
  m_nFirstViewID = m_pFirstView->m_nID;
  m_pSelHead = nullptr;
  m_nSelHeadID = -1;
  m_nSelMode = m_aci.avcSelect;
  m_pFocus = nullptr;
  m_pShiftAnchor = nullptr;
  m_bSelPending = 0;
  NotifyUpdateScroll();
  return UpDataThumbListView(-1);
}

int CAlbum::LoadOrKeep(const char* path) {
  if (!path) return 0;
  DeselectAll();
  if (m_pFocus) SetThumbviewFocus(nullptr);
  const int firstViewID = m_nFirstViewID;
  char oldPath[sizeof(tagALBUMINFOHEADER::aiPath)];
  char oldDescription[256];
  CopyText(oldPath, m_Doc.GetPath());
  CopyText(oldDescription, m_Doc.GetDescription());

  // The items wait in a bare table while the document reads the file: no
  // copy of a picture is made either way.
  CThumbTable2 kept;
  std::swap(kept.m_pHead, m_Doc.m_pHead);
  std::swap(kept.m_nCount, m_Doc.m_nCount);
  kept.ForgetCursor();
  m_Doc.ForgetCursor();
  FreeAlbumData();
  if (m_Doc.Load(path, 1)) {
    m_pFirstView = m_Doc.m_pHead->m_pNext;
    m_nFirstViewID = m_pFirstView->m_nID;
    m_nSelMode = m_aci.avcSelect;
    NotifyUpdateScroll();
    UpDataThumbListView(-1);
    return 1;
  }

  FreeAlbumData();
  std::swap(kept.m_pHead, m_Doc.m_pHead);
  std::swap(kept.m_nCount, m_Doc.m_nCount);
  kept.ForgetCursor();
  m_Doc.ForgetCursor();
  m_Doc.SetPath(oldPath);
  m_Doc.SetDescription(oldDescription);
  if (m_Doc.GetCount() > 0) {
    int first = firstViewID >= 1 && firstViewID <= m_Doc.GetCount() ? firstViewID : 1;
    m_pFirstView = m_Doc.GetThumbnail(first);
    m_nFirstViewID = first;
  }
  m_nSelMode = m_aci.avcSelect;
  NotifyUpdateScroll();
  UpDataThumbListView(-1);
  return 0;
}

int CAlbum::Save(const char* path) {
  if (!path) return 0;
  return m_Doc.Save(path);
}

void CAlbum::FreeAlbumData() {
  // The parent may hold the focused item: tell it before the item goes.
  if (m_pFocus) SetThumbviewFocus(nullptr);
  m_Doc.CleanTable();
  m_pFirstView = nullptr;
  m_pSelHead = nullptr;
  m_pFocus = nullptr;
  m_pShiftAnchor = nullptr;
  m_nFirstViewID = -1;
  m_nSelHeadID = -1;
  m_bSelPending = 0;
  UpDataThumbListView(-1);
}

// ---------------------------------------------------------------------------
// Inserts

int CAlbum::InsertFromThumbnail(void* picture, const char* description, const char* path, CThumbnail2* before,
                                unsigned short width, unsigned short height) {
  if (!picture || !path) return 0;
  if (!before) before = m_Doc.m_pHead;

  tagALBUMINFOHEADER info;
  char shortPath[MAX_PATH] = "";
  const char* stored = path;
  // A path that does not fit the record goes in by its short form.
  if (strlen(path) >= sizeof(info.aiPath)) {
    DWORD length = GetShortPathNameA(path, shortPath, sizeof(shortPath));
    if (length == 0 || length >= sizeof(shortPath) || length > 129) {
      ShowResourceMessage(nullptr, IDS_PATH_TOO_LONG, IDS_CAPTION_ALBUM, MB_ICONEXCLAMATION | MB_TASKMODAL);
      MessageBeep(0);
      return 0;
    }
    stored = shortPath;
  }

  if (CThumbnail2* existing = m_Doc.FindFileInDoc(stored)) {
    if (!AskRefreshDuplicate(stored)) return 0;
    m_Doc.Refresh(existing);
    if (CThumbView2* cell = CellOfItem(existing)) cell->Attach(existing);
    // The picture was not needed; the item kept its own.
    ToviMemFree(picture);
    return 1;
  }

  memcpy(&info, &before->m_Info, sizeof(info));
  struct _stat64 status;
  if (_stat64(stored, &status) == 0) {
    info.aiFileSize = static_cast<DWORD>(status.st_size);
    DWORD modified = static_cast<DWORD>(status.st_mtime);
    DWORD created = static_cast<DWORD>(status.st_ctime);
    info.aiFileTime = modified > created ? modified : created;
  } else {
    // Not another item's size and time.
    info.aiFileSize = 0;
    info.aiFileTime = 0;
  }
  DWORD pictureSize = ToviMemSize(picture);
  if (pictureSize < sizeof(BITMAPINFOHEADER)) return 0;
  const auto* header = static_cast<const BITMAPINFOHEADER*>(ToviMemLock(picture));
  if (!header) return 0;
  info.aiThumbWidth = static_cast<WORD>(header->biWidth);
  info.aiThumbHeight = static_cast<WORD>(header->biHeight);
  info.aiBitCount = header->biBitCount;
  ToviMemUnlock(picture);
  info.aiThumbSize = pictureSize;
  info.aiWidth = width;
  info.aiHeight = height;
  CopyText(info.aiPath, stored);
  CopyText(info.aiDescription, description ? description : "");

  CThumbnail2* item = new (std::nothrow) CThumbnail2(&info, picture, 0, 1);
  if (!item) return 0;
  if (!m_Doc.Insert(item, before)) {
    item->SetDib(nullptr);  // the caller keeps its picture
    delete item;
    return 0;
  }

  // The first visible item keeps its place in the grid's numbering.
  if (before == m_pFirstView || !m_pFirstView || m_pFirstView == m_Doc.m_pHead) m_pFirstView = item;
  m_nFirstViewID = m_pFirstView->m_nID;
  int n = item->m_nID;
  int cells = m_ppViews ? m_nViewCount : 0;
  if (n < m_nFirstViewID || n >= m_nFirstViewID + cells) {
    m_pFirstView = item;
    m_nFirstViewID = n;
  }
  UpDataThumbListView(n);
  NotifyUpdateScroll();
  return 1;
}

int CAlbum::InsertFromTable(CThumbTable2* source, CThumbnail2* before) {
  // Moving the album into itself would take its own items apart.
  if (!source || source == &m_Doc || source->m_pHead == m_Doc.m_pHead) return 0;
  CThumbnail2* sentinel = m_Doc.m_pHead;
  if (!before) before = m_pFocus ? m_pFocus : sentinel;
  CThumbnail2* previous = before->m_pPrev;

  // First every allocation the batch needs, while nothing has changed yet:
  // which arriving items duplicate an item of the album or of the batch
  // itself. Without memory for that the insert fails and the source keeps
  // its items.
  const int arriving = source->m_nCount;
  const int previousNumber = previous == sentinel ? 0 : previous->m_nID;
  std::vector<CThumbnail2*> duplicateOf;
  std::vector<CThumbnail2*> refreshed;
  try {
    duplicateOf.resize(static_cast<size_t>(arriving), nullptr);
    refreshed.reserve(static_cast<size_t>(arriving));
    PathIndex paths(&m_Doc);
    int i = 0;
    for (CThumbnail2* item = source->m_pHead->m_pNext; i < arriving; item = item->m_pNext, ++i) {
      if (CThumbnail2* existing = paths.Find(item->m_Info.aiPath)) {
        duplicateOf[static_cast<size_t>(i)] = existing;
        continue;
      }
      // Numbered as a newly linked item is, for the index's order.
      item->m_nID = 0;
      paths.Add(item, previousNumber);
    }
  } catch (const std::bad_alloc&) {
    source->RenumberFrom(source->m_pHead->m_pNext);
    return 0;
  }

  // The source gives up its whole list at once.
  CThumbnail2* next = source->m_pHead->m_pNext;
  source->m_pHead->m_pNext = source->m_pHead;
  source->m_pHead->m_pPrev = source->m_pHead;
  source->m_nCount = 0;
  source->ForgetCursor();

  // Items are linked one by one but numbered once at the end, so the
  // numbers below are worked out rather than read: the k-th new item is
  // number previousNumber + k, and every item from `before` on moves one
  // place down with each new item.
  const int cells = m_ppViews ? m_nViewCount : 0;
  const int perLine = ItemsPerLine();
  FirstViewTrack first;
  if (m_pFirstView) first.state = m_pFirstView == sentinel ? FirstViewTrack::kEnd : FirstViewTrack::kItem;
  if (first.state == FirstViewTrack::kItem) first.number = m_pFirstView->m_nID;
  int count = m_Doc.GetCount();
  int inserted = 0;
  int result = 0;
  for (int i = 0; i < arriving; ++i) {
    CThumbnail2* item = next;
    next = item->m_pNext;
    // An item arrives without another view's marks and links.
    item->SetSelect(0);
    item->SetFouse(0);
    item->m_pSelNext = nullptr;
    item->m_pSelPrev = nullptr;

    if (CThumbnail2* existing = duplicateOf[static_cast<size_t>(i)]) {
      if (m_Doc.Refresh(existing) == 1) {
        ++result;
        refreshed.push_back(existing);
      }
      delete item;
      continue;
    }

    m_Doc.Link(item, before);
    ++inserted;
    ++result;
    ++count;
    first.Inserted(previousNumber + inserted, before == sentinel, previousNumber + 1, count, cells, perLine);
  }

  if (inserted == 0) {
    for (CThumbnail2* item : refreshed) {
      if (CThumbView2* cell = CellOfItem(item)) cell->Attach(item);
    }
    return result;
  }
  m_Doc.RenumberFrom(previous->m_pNext);
  m_pFirstView = nullptr;
  SetFirstView(first.number);
  // Every cell at once: the new items and the refreshed ones.
  UpDataThumbListView(-1);
  NotifyUpdateScroll();
  return result;
}

// ---------------------------------------------------------------------------
// Moving one item

int CAlbum::DoExchange(CThumbView2* target) {
  if (!m_pFocus || !target) return 0;
  CThumbView2* cell = nullptr;
  for (int i = 0; m_ppViews && i < m_nViewCount; ++i) {
    if (m_ppViews[i] == target) cell = target;
  }
  if (!cell || !cell->m_pThumbnail || cell->m_pThumbnail == m_pFocus) return 0;

  CThumbnail2* moved = m_pFocus;
  CThumbnail2* targetItem = cell->m_pThumbnail;
  int fromNumber = moved->m_nID;
  int toNumber = targetItem->m_nID;
  CThumbnail2* insertBefore = fromNumber < toNumber ? targetItem->m_pNext : targetItem;

  CThumbnail2* successor = moved->m_pNext;
  m_Doc.Remove(moved, 0);
  if (moved == m_pFirstView) m_pFirstView = successor;
  m_Doc.Insert(moved, insertBefore);
  if (insertBefore == m_pFirstView) m_pFirstView = moved;
  if (m_pFirstView) m_nFirstViewID = m_pFirstView->m_nID;
  UpDataThumbListView(fromNumber < toNumber ? fromNumber : toNumber);
  return 1;
}

// ---------------------------------------------------------------------------
// Removing the selection

int CAlbum::RemoveSelected(int deleteFiles) {
  if (!m_pSelHead) return 0;
  // The focus is cleared before any item goes, so that neither this view
  // nor the parent that hears of it touches a deleted item.
  SetThumbviewFocus(nullptr);
  m_bSelPending = 0;

  // The items are unlinked one by one and the rest renumbered once at the
  // end: until then every id read here is the one from before the call.
  int removed = 0;
  int highest = 0;
  int lowest = 0;
  CThumbnail2* keptBefore = nullptr;  // the item before the lowest removed one; it stays
  while (m_pSelHead) {
    // The ring from the head's successor round to the head, which goes last.
    CThumbnail2* item = m_pSelHead->m_pSelNext;
    int number = item->m_nID;
    ForgetItem(item);
    if (deleteFiles) {
      char full[MAX_PATH] = "";
      if (!m_Doc.GetThumbnailFullPath(item->m_Info.aiPath, full)) CopyText(full, item->m_Info.aiPath);
      DeleteFileA(full);
    }
    if (removed == 0 || number < lowest) {
      lowest = number;
      keptBefore = item->m_pPrev;
    }
    if (number > highest) highest = number;
    m_Doc.Unlink(item);
    delete item;
    ++removed;
  }
  m_Doc.RenumberFrom(keptBefore->m_pNext);
  if (m_pFirstView == m_Doc.m_pHead) m_pFirstView = nullptr;

  m_pSelHead = nullptr;
  m_nSelHeadID = -1;
  m_pFocus = nullptr;
  UpDataThumbListView(-1);
  // The focus goes to the item that followed the last removed one in table
  // order, whatever the order of the selection: every removed item stood
  // before it.
  int target = highest - removed + 1;
  int count = m_Doc.GetCount();
  if (target > count) target = count;
  if (target > 0) SetCurrentFocus(target);
  NotifyUpdateScroll();
  return 1;
}

// ---------------------------------------------------------------------------
// Refresh and sorts

int CAlbum::RefreshAlbum() {
  int result = 1;
  for (CThumbnail2* item = m_Doc.m_pHead->m_pNext; item != m_Doc.m_pHead; item = item->m_pNext) {
    if (!m_Doc.Refresh(item)) result = 0;
  }
  NotifyUpdateScroll();
  UpDataThumbListView(-1);
  return result;
}

int CAlbum::SortAndKeepPlace(int key, int order) {
  int shown = m_nFirstViewID;
  if (!m_Doc.SortBy(key, order)) return 0;
  int count = m_Doc.GetCount();
  if (shown < 1) shown = 1;
  if (shown > count) shown = count;
  // Ids changed under the first visible item: find the item now at its number.
  SetFirstView(shown);
  return UpDataThumbListView(-1);
}

int CAlbum::SortByName(int order) { return SortAndKeepPlace(ALBUM_SORT_NAME, order); }
int CAlbum::SortByType(int order) { return SortAndKeepPlace(ALBUM_SORT_TYPE, order); }
int CAlbum::SortBySize(int order) { return SortAndKeepPlace(ALBUM_SORT_SIZE, order); }
int CAlbum::SortByDate(int order) { return SortAndKeepPlace(ALBUM_SORT_DATE, order); }
int CAlbum::SortByDesc(int order) { return SortAndKeepPlace(ALBUM_SORT_DESCRIPTION, order); }

// ---------------------------------------------------------------------------
// Drag data and path lists

int CAlbum::GetDragData(CAlbumDoc2* target) {
  if (!target || !m_pSelHead) return 0;
  int copies = 0;
  CThumbnail2* item = m_aci.avcSelect == 1 ? m_pSelHead : m_pSelHead->m_pSelNext;
  for (;;) {
    if (CThumbnail2* copy = item->Clone()) {
      target->Insert(copy, nullptr);
      ++copies;
    }
    if (item == m_pSelHead) break;
    item = item->m_pSelNext;
  }
  target->SetExePath(m_Doc.GetExePath());
  target->SetPath(m_Doc.GetPath());
  return copies;
}

int CAlbum::MakePathList(bool selectedOnly, int& count, char (*&list)[260]) {
  count = 0;
  list = nullptr;
  int total = 0;
  if (selectedOnly) {
    if (!m_pSelHead) return 0;
    CThumbnail2* item = m_pSelHead;
    do {
      ++total;
      item = item->m_pSelNext;
    } while (item != m_pSelHead);
  } else {
    total = m_Doc.GetCount();
    if (total == 0) return 0;
  }
  if (total > 0x7FFFFFFF / 260) return 0;
  HTOVIMEM block = ToviMemAlloc(TOVI_FIXED, static_cast<DWORD>(total) * 260);
  if (!block) return 0;
  auto* paths = reinterpret_cast<char (*)[260]>(block);
  int added = 0;
  CThumbnail2* start = selectedOnly ? m_pSelHead : m_Doc.m_pHead->m_pNext;
  CThumbnail2* item = start;
  for (int i = 0; i < total; ++i) {
    if (m_Doc.GetThumbnailFullPath(item->m_Info.aiPath, paths[added])) ++added;
    item = selectedOnly ? item->m_pSelNext : item->m_pNext;
  }
  count = added;
  list = paths;
  return 1;
}

int CAlbum::GetImageList(int& count, char (*&list)[260]) { return MakePathList(false, count, list); }

int CAlbum::GetSelectImageList(int& count, char (*&list)[260]) { return MakePathList(true, count, list); }

int CAlbum::GetCurrentThumbNailFullPath(char* out) {
  if (!out) return 0;
  if (!m_pFocus) {
    out[0] = '\0';
    return 0;
  }
  return m_Doc.GetThumbnailFullPath(m_pFocus->m_Info.aiPath, out);
}

// ---------------------------------------------------------------------------
// Printing

int CAlbum::Print(const char* docName, int range, int names, int boxWidth, int boxHeight, tagPDA printer) {
  return PrintAlbum(docName ? docName : "", &m_Doc, range, names, boxWidth, boxHeight, printer);
}
