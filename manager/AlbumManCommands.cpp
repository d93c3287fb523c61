// The album manager's commands: new album, save, switching albums with the
// save question, deleting items or albums, adding picture files, sorting,
// searching and the item context menu.
//
// Every question whose Yes cannot be carried out (a save that fails, a name
// dialog that is cancelled) refuses the switch or close it was asked for:
// the album stays current and modified, and the user is told.
#include "AlbumMan.h"

#include <shellapi.h>
#include <string.h>
#include <sys/stat.h>

#include <cstdio>

#include "AlbumCtrl.h"
#include "HostOptions.h"
#include "ManagerDialogs.h"
#include "Module.h"
#include "ThreadRegistry.h"
#include "components/resources/resource.h"
#include "platform/Alloc.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/pixamo.h"
#include "platform/qil.h"
#include "search/AlbumSearchDlg.h"
#include "views/Album.h"
#include "views/AlbumPrint.h"
#include "views/ThumbView.h"

namespace {

// Set by the abort test when Escape stops an add-files run.
int g_addAbort = 0;

int EscapeHeld() { return (GetAsyncKeyState(VK_ESCAPE) & 0x8000) ? 1 : 0; }

int AddAbortTest() {
  if (!EscapeHeld()) return 0;
  g_addAbort = 1;
  return 1;
}

const char kAlbumExtension[] = ".abm";

bool SamePath(const char* a, const char* b) { return lstrcmpiA(a, b) == 0; }

// name without its ".abm" into out (MAX_PATH bytes).
void StripAlbumExtension(const char* name, char* out) {
  CopyText(out, MAX_PATH, name);
  size_t length = strlen(out);
  const size_t extension = sizeof(kAlbumExtension) - 1;
  if (length > extension && lstrcmpiA(out + length - extension, kAlbumExtension) == 0) out[length - extension] = '\0';
}

bool JoinPath(const char* folder, const char* name, char* out) {
  int written = snprintf(out, MAX_PATH, "%s\\%s", folder, name);
  if (written < 0 || written >= MAX_PATH) {
    out[0] = '\0';
    return false;
  }
  return true;
}

DWORD LaterFileTime(const char* path, bool* ok) {
  struct _stat status;
  *ok = path && _stat(path, &status) == 0;
  if (!*ok) return 0;
  return static_cast<DWORD>(status.st_mtime > status.st_ctime ? status.st_mtime : status.st_ctime);
}

class BusyScope {
public:
  explicit BusyScope(int* counter) : counter_(counter) { ++*counter_; }
  ~BusyScope() { --*counter_; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

private:
  int* counter_;
};

}  // namespace

// ---------------------------------------------------------------------------
// New album, save, switching

int CAlbumMan::NewAlbum() {
  CAlbum* album = GetAlbum();
  if (!album) return 0;
  album->FreeAlbumData();
  m_pFocused = nullptr;
  int untitled = 0;
  char text[MAX_PATH];
  int count = m_hAlbumList ? static_cast<int>(SendMessageA(m_hAlbumList, CB_GETCOUNT, 0, 0)) : 0;
  for (int i = 0; i < count; ++i) {
    if (SendMessageA(m_hAlbumList, CB_GETLBTEXTLEN, i, 0) < MAX_PATH &&
        SendMessageA(m_hAlbumList, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text)) != CB_ERR && IsUntitledName(text)) {
      untitled = i;
      break;
    }
  }
  m_nCurrent = untitled;
  if (m_hAlbumList) SendMessageA(m_hAlbumList, CB_SETCURSEL, untitled, 0);
  m_bUntitled = 1;
  ClearNewAlbumName();
  SetStatusCount();
  SetDescriptionLine("");
  album->GetDocument()->SetDescription("");
  album->GetDocument()->SetPath("");
  album->GetDocument()->SetThumbnailSize(static_cast<WORD>(m_nThumbWidth), static_cast<WORD>(m_nThumbHeight));
  return 1;
}

int CAlbumMan::NameUntitledAlbum(HWND owner, bool proposeListText, char* chosen) {
  if (!proposeListText) return AskNewAlbumName(owner, m_szFolder, nullptr, chosen);
  char proposal[MAX_PATH] = "";
  if (m_hAlbumList) GetWindowTextA(m_hAlbumList, proposal, sizeof(proposal));
  char untitled[MAX_PATH];
  LoadResourceText(IDS_UNTITLED_ALBUM, untitled, sizeof(untitled));
  if (untitled[0] && _strnicmp(proposal, untitled, strlen(untitled)) == 0) proposal[0] = '\0';
  return AskNewAlbumName(owner, m_szFolder, proposal, chosen);
}

int CAlbumMan::Save() { return SaveAlbum(true); }

int CAlbumMan::SaveAlbum(bool proposeListText) {
  CAlbum* album = GetAlbum();
  if (!album || !m_bModified) return 0;
  BusyScope busy(&m_nBusy);
  UpdateDescLine();
  CAlbumDoc2* document = album->GetDocument();
  int addedEntry = -1;
  if (m_bUntitled) {
    if (album->GetThumbNailCount() == 0) return 0;
    char chosen[MAX_PATH];
    char path[MAX_PATH];
    if (!NameUntitledAlbum(m_hHost, proposeListText, chosen) || !JoinPath(m_szFolder, chosen, path)) return 0;
    document->SetPath(path);
    if (!document->GetDescription()[0]) document->SetDescription(path);
    char line[MAX_PATH] = "";
    GetDlgItemTextA(m_hWnd, IDC_MAN_DESCRIPTION, line, sizeof(line));
    document->SetDescription(line);
    // The named album gets its own entry in order; the untitled entry stays
    // in place for the next new album.
    char name[MAX_PATH];
    StripAlbumExtension(chosen, name);
    int modified = m_bModified;
    addedEntry = AddFileToList(name, 1);
    m_bModified = modified;
    if (addedEntry < 0) return 0;
    m_bUntitled = 0;
  }
  char path[MAX_PATH];
  if (!GetAlbumPath(m_nCurrent, path) || !album->Save(path)) {
    if (addedEntry >= 0) {
      // Back to the untitled album it still is: no file was made for the name.
      SendMessageA(m_hAlbumList, CB_DELETESTRING, addedEntry, 0);
      --m_nAlbumCount;
      m_bUntitled = 1;
      document->SetPath("");
      m_nCurrent = 0;
      SendMessageA(m_hAlbumList, CB_SETCURSEL, 0, 0);
    }
    return 0;
  }
  m_bModified = 0;
  m_bUntitled = 0;
  return StoreFileTime(path);
}

int CAlbumMan::Reload(const char* path) {
  CAlbum* album = GetAlbum();
  if (!album || !path) return 0;
  const int entryBefore = m_nCurrent;
  if (!DoNeedSave()) return 0;
  const bool leftAlbumRemoved = entryBefore >= 0 && m_nCurrent < 0;

  SplitPathParts parts;
  if (!m_bUntitled && SplitAlbumPathParts(path, &parts) && IsUntitledName(parts.fname)) {
    NewAlbum();
    return 1;
  }
  if (!album->LoadOrKeep(path)) {
    ShowResourceMessage(m_hWnd, IDS_CANNOT_OPEN_ALBUM, IDS_CAPTION_ALBUM_MANAGER, MB_ICONEXCLAMATION);
    // The album left behind was emptied and removed: nothing is lost by
    // starting a new one instead.
    if (leftAlbumRemoved) NewAlbum();
    return 0;
  }
  m_bUntitled = 0;
  m_pFocused = nullptr;
  bool ok = false;
  m_dwFileTime = LaterFileTime(path, &ok);
  return ok ? 1 : 0;
}

int CAlbumMan::AskSaveChanges(HWND owner, int* answer) {
  ModalMark mark;
  if (!mark) return 0;
  *answer = ShowResourceMessage(owner, IDS_ASK_SAVE_CHANGES, IDS_CAPTION_ALBUM_MANAGER, MB_YESNO | MB_ICONQUESTION);
  return 1;
}

int CAlbumMan::DoNeedSave() {
  BusyScope busy(&m_nBusy);
  CAlbum* album = GetAlbum();
  if (!album || m_nCurrent < 0 || m_nAlbumCount == 0) return 1;
  const int items = album->GetThumbNailCount();
  if (m_bUntitled && items == 0) return 1;
  if (!m_bUntitled) {
    // Only the album the view really holds is settled: while a load is
    // under way, or after one failed, the current entry may name a file the
    // view never showed, and an empty view must not delete it.
    char entryPath[MAX_PATH];
    if (!GetAlbumPath(m_nCurrent, entryPath) || !SamePath(entryPath, album->GetDocument()->GetPath())) return 1;
  }
  if (m_bModified) {
    int answer = 0;
    // A question already showing on this thread: the album stays as it is
    // and so does the view.
    if (!AskSaveChanges(m_hHost, &answer)) return 0;
    if (answer != IDYES) return 1;
    if (items > 0) {
      if (SaveAlbum(false)) return 1;
      // A name dialog left without a name is the user's own answer.
      if (!m_bUntitled) {
        ShowResourceMessage(m_hWnd, IDS_CANNOT_SAVE_ALBUM, IDS_CAPTION_ALBUM_MANAGER, MB_ICONEXCLAMATION);
      }
      return 0;
    }
  } else if (items > 0) {
    return 1;
  }

  // An empty album is removed with its file.
  char path[MAX_PATH];
  if (!GetAlbumPath(m_nCurrent, path)) return 1;
  if (!DeleteFileA(path) && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
    ShowResourceMessage(m_hWnd, IDS_CANNOT_DELETE_ALBUM, IDS_CAPTION_ALBUM_MANAGER, MB_ICONEXCLAMATION);
    return 1;
  }
  SendMessageA(m_hAlbumList, CB_DELETESTRING, m_nCurrent, 0);
  m_nCurrent = -1;
  m_bModified = 0;
  --m_nAlbumCount;
  return 1;
}

int CAlbumMan::DoDeleteAlbum() {
  BusyScope busy(&m_nBusy);
  CAlbum* album = GetAlbum();
  if (!album || m_nAlbumCount == 0 || m_nCurrent < 0) return 0;
  if (m_bUntitled && album->GetThumbNailCount() == 0) return 0;
  if (ShowResourceMessage(m_hWnd, IDS_ASK_DELETE_ALBUM, IDS_CAPTION_ALBUM_MANAGER, MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return 0;
  }
  const int deleted = m_nCurrent;
  const bool wasUntitled = m_bUntitled != 0;
  if (!wasUntitled) {
    char path[MAX_PATH];
    if (!GetAlbumPath(deleted, path) || !DeleteFileA(path)) {
      ShowResourceMessage(m_hWnd, IDS_CANNOT_DELETE_ALBUM, IDS_CAPTION_ALBUM_MANAGER, MB_ICONEXCLAMATION);
      return 0;
    }
  }
  m_bModified = 0;
  if (m_nAlbumCount <= 1) {
    m_nCurrent = -1;
    NewAlbum();
  } else {
    int next = (deleted + 1) % m_nAlbumCount;
    char path[MAX_PATH];
    m_nCurrent = next;
    SendMessageA(m_hAlbumList, CB_SETCURSEL, next, 0);
    if (!GetAlbumPath(next, path) || !Reload(path)) NewAlbum();
  }
  // The untitled entry stands for the next new album and stays.
  if (!wasUntitled) {
    int shown = m_nCurrent;
    SendMessageA(m_hAlbumList, CB_DELETESTRING, deleted, 0);
    --m_nAlbumCount;
    if (shown > deleted) --shown;
    m_nCurrent = shown;
    SendMessageA(m_hAlbumList, CB_SETCURSEL, shown, 0);
  }
  m_pFocused = nullptr;
  ShowAlbumSummary();
  return 1;
}

// ---------------------------------------------------------------------------
// Items

int CAlbumMan::Delete() {
  CAlbum* album = GetAlbum();
  if (!album || !album->HaveSel()) {
    MessageBeep(0);
    return 0;
  }
  int deleteFiles = 0;
  if (!AskRemoveChoice(m_hHost, &deleteFiles)) return 0;
  if (!album->RemoveSelected(deleteFiles)) return 0;
  m_bModified = 1;
  if (!m_pFocused) SetStatusCount();
  return 1;
}

int CAlbumMan::Add() {
  ModalMark mark;
  if (!mark) return 0;
  HGLOBAL memory = AlbumGlobalAlloc(GPTR, 10240);
  char* buffer = static_cast<char*>(memory);
  if (!buffer) return 0;
  QILOPENOPTIONS options = {};
  void* token = LockupForModal();
  int chosen = QilGetFileName(m_hHost, 1, m_nOpenFormat, m_szDefaultExt, m_dwFormatFlags, buffer, 10240, 0x8026C,
                              &options, m_szLastFolder);
  UnlockForModal(token);
  mark.Release();
  InvalidateRect(m_hWnd, nullptr, TRUE);
  UpdateWindow(m_hWnd);
  if (chosen < 0) {
    GlobalFree(memory);
    return 0;
  }
  // Whatever the dialog wrote, the list ends inside the buffer.
  buffer[10238] = '\0';
  buffer[10239] = '\0';
  AddFiles(buffer, &options);
  GlobalFree(memory);
  return 1;
}

int CAlbumMan::AddFiles(const char* list, QILOPENOPTIONS* options) {
  if (!list || !list[0]) return 0;
  QILOPENOPTIONS plain = {};
  plain.nMode = 1;
  if (!options) options = &plain;
  QILABORTFUNC previous = SetAbortFunc(AddAbortTest);
  HCURSOR wait = LoadCursor(nullptr, IDC_WAIT);
  HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
  SetCursor(wait);
  QilSetLastError(0);
  g_addAbort = 0;

  const char* first = list;
  const char* names = first + strlen(first) + 1;
  int added = 0;
  if (!names[0]) {
    // One full path.
    HTOVIMEM picture = QilOpenFile(first, 0, options);
    if (picture) {
      added += InsertFromDib(picture, "", first, nullptr);
      ToviMemFree(picture);
    } else if (QilGetLastError() != QIL_ERR_STOPPED) {
      SetCursor(arrow);
      UINT text = QilGetLastError() == QIL_ERR_BAD_PICTURE ? IDS_CANNOT_OPEN_PICTURE : IDS_PICTURE_FILE_ERROR;
      ShowResourceMessage(m_hWnd, text, IDS_CAPTION_PHOTO_ALBUM, 0);
    }
    SplitPathParts parts;
    if (SplitAlbumPathParts(first, &parts)) {
      char folder[MAX_PATH];
      if (snprintf(folder, sizeof(folder), "%s%s", parts.drive, parts.dir) < static_cast<int>(sizeof(folder))) {
        CopyText(m_szLastFolder, folder);
      }
    }
  } else {
    int total = 0;
    for (const char* name = names; *name; name += strlen(name) + 1) ++total;
    const size_t folderLength = strlen(first);
    const bool endsWithSeparator = folderLength > 0 && first[folderLength - 1] == '\\';
    char format[64];
    LoadResourceText(IDS_FMT_ADDING, format, sizeof(format));
    HWND status = GetDlgItem(m_hWnd, IDC_MAN_STATUS);
    int number = 0;
    for (const char* name = names; *name; name += strlen(name) + 1) {
      ++number;
      // Escape between two files stops the run as well as during a read.
      if (g_addAbort || AddAbortTest()) break;
      char path[MAX_PATH];
      int written = snprintf(path, sizeof(path), "%s%s%s", first, endsWithSeparator ? "" : "\\", name);
      char progress[MAX_PATH + 64];
      snprintf(progress, sizeof(progress), format, number, total, name);
      SetWindowTextA(status, progress);
      if (status) UpdateWindow(status);
      HTOVIMEM picture = nullptr;
      if (written > 0 && written < static_cast<int>(sizeof(path))) {
        QilSetLastError(0);
        picture = QilOpenFile(path, 0, options);
      } else {
        QilSetLastError(QIL_ERR_BAD_ARGUMENT);
      }
      if (picture) {
        added += InsertFromDib(picture, "", path, nullptr);
        ToviMemFree(picture);
        continue;
      }
      if (g_addAbort) break;
      SetCursor(arrow);
      UINT text = QilGetLastError() == QIL_ERR_BAD_PICTURE ? IDS_CANNOT_OPEN_PICTURE : IDS_PICTURE_FILE_ERROR;
      ShowResourceMessage(m_hWnd, text, IDS_CAPTION_PHOTO_ALBUM, MB_ICONEXCLAMATION);
      SetCursor(wait);
    }
    CopyText(m_szLastFolder, first);
  }
  SetCursor(arrow);
  SetAbortFunc(previous);
  g_addAbort = 0;
  ShowItemInformation();
  return added;
}

int CAlbumMan::OnDropFiles(HDROP drop) {
  if (!drop) return 0;
  UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  int failed = 0;
  for (UINT i = 0; i < count; ++i) {
    char path[MAX_PATH];
    // A name longer than a path buffer would be cut into another file's name.
    if (DragQueryFileA(drop, i, nullptr, 0) >= sizeof(path) || !DragQueryFileA(drop, i, path, sizeof(path)) ||
        !InsertFromFile(path, "")) {
      ++failed;
    }
  }
  DragFinish(drop);
  ShowItemInformation();
  if (failed) ShowResourceMessage(m_hWnd, IDS_SOME_DROPS_FAILED, IDS_CAPTION_PHOTO_ALBUM, MB_ICONEXCLAMATION);
  return 1;
}

int CAlbumMan::Sort() {
  CAlbum* album = GetAlbum();
  if (!album) return 0;
  if (album->GetThumbNailCount() < 2) {
    MessageBeep(0);
    return 0;
  }
  int key = 0, descending = 0;
  if (!AskSortOrder(m_hHost, &key, &descending)) return 0;
  switch (key) {
    case 0: return album->SortByName(descending);
    case 1: return album->SortByType(descending);
    case 2: return album->SortBySize(descending);
    case 3: return album->SortByDate(descending);
    case 4: return album->SortByDesc(descending);
    default: return 0;
  }
}

void CAlbumMan::Search() { OpenSearchDlg(m_hHost, m_szFolder, m_nThumbWidth, m_nThumbHeight); }

int CAlbumMan::Acquire() { return 1; }

void CAlbumMan::SetOpenFileFormat(int formatIndex, const char* defaultExt, DWORD formatFlags, const char* lastFolder) {
  m_nOpenFormat = formatIndex;
  CopyText(m_szDefaultExt, defaultExt ? defaultExt : "");
  m_dwFormatFlags = formatFlags;
  CopyText(m_szLastFolder, lastFolder ? lastFolder : "");
}

void CAlbumMan::ShowPopupMenu(WPARAM, CThumbView2* cell) {
  HMENU menu = LoadMenuA(GetResourceModule(), MAKEINTRESOURCEA(IDM_ITEM_CONTEXT));
  if (!menu) return;
  HMENU popup = GetSubMenu(menu, 0);
  if (!popup) {
    DestroyMenu(menu);
    return;
  }
  CAlbumDoc2* buffer = GetCopyBuffer();
  if (!buffer || buffer->GetCount() == 0) EnableMenuItem(popup, IDM_PASTE, MF_BYCOMMAND | MF_GRAYED);
  CThumbnail2* item = cell ? cell->GetThumbnail() : nullptr;
  if (!item) {
    const UINT needItem[] = {IDM_CUT, IDM_COPY, IDM_DELETE_ITEMS, IDM_SEND_TO_HOST};
    for (UINT command : needItem) EnableMenuItem(popup, command, MF_BYCOMMAND | MF_GRAYED);
  }
  bool exif = false;
  CAlbum* album = GetAlbum();
  if (item && album) {
    char full[MAX_PATH] = "";
    album->GetDocument()->GetThumbnailFullPath(item->GetInfo()->aiPath, full);
    exif = full[0] && CheckExifFile(full) == 0;
  }
  if (!exif) DeleteMenu(popup, IDM_PICTURE_INFO, MF_BYCOMMAND);
  POINT at{};
  GetCursorPos(&at);
  TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, m_hWnd, nullptr);
  DestroyMenu(menu);
}

int CAlbumMan::Print() {
  CAlbum* album = GetAlbum();
  if (!album || album->GetThumbNailCount() == 0) {
    MessageBeep(0);
    return 0;
  }
  if (RunModalDialog(GetResourceModule(), IDD_PRINT, m_hWnd, PrintDlgProc, 0) != 1) return 0;
  char name[MAX_PATH] = "";
  GetCurrentAlbumName(name, ALBUM_NAME_FULL_PATH);
  PrintSettings settings;
  GetPrintSettings(&settings);
  album->Print(name, settings.allItems ? 2 : 1, settings.printNames ? 1 : 2, settings.boxWidth, settings.boxHeight,
               *GetPrinterSetup());
  return 0;
}

// ---------------------------------------------------------------------------
// Closing and renaming

int CAlbumMan::QueryClose() {
  BusyScope busy(&m_nBusy);
  CAlbum* album = GetAlbum();
  if (!album || m_nCurrent < 0 || m_nAlbumCount == 0 || !m_bModified) return 1;
  const int items = album->GetThumbNailCount();
  if (m_bUntitled && items == 0) return 1;
  ModalMark mark;
  if (!mark) return 0;
  int answer = ShowResourceMessage(m_hWnd, IDS_ASK_SAVE_CHANGES, IDS_CAPTION_ALBUM_MANAGER,
                                   MB_YESNOCANCEL | MB_ICONQUESTION);
  mark.Release();
  if (answer == IDNO) return 1;
  if (answer != IDYES) return 0;
  if (items > 0) {
    if (Save()) return 1;
    ShowResourceMessage(m_hWnd, IDS_CANNOT_SAVE_ALBUM, IDS_CAPTION_ALBUM_MANAGER, MB_ICONEXCLAMATION);
    return 0;
  }
  char path[MAX_PATH];
  if (!m_bUntitled && GetAlbumPath(m_nCurrent, path)) DeleteFileA(path);
  return 1;
}

void CAlbumMan::RenameFromList() {
  CAlbum* album = GetAlbum();
  if (!album || m_nCurrent < 0 || !m_hAlbumList || m_nBusy) return;
  char typed[MAX_PATH] = "";
  GetWindowTextA(m_hAlbumList, typed, sizeof(typed));
  char current[MAX_PATH];
  GetCurrentEntryText(current);
  if (strcmp(typed, current) == 0) return;
  // A new album without pictures keeps the typed name as the proposal of
  // its first save; there is nothing to rename yet.
  if (m_bUntitled && album->GetThumbNailCount() == 0) return;

  char chosen[MAX_PATH];
  char newPath[MAX_PATH];
  if (!CheckNewAlbumName(m_szFolder, typed, chosen) || !JoinPath(m_szFolder, chosen, newPath)) {
    SetWindowTextA(m_hAlbumList, current);
    MessageBeep(0);
    return;
  }
  char name[MAX_PATH];
  StripAlbumExtension(chosen, name);
  if (!m_bUntitled) {
    char oldPath[MAX_PATH];
    // The list changes only once the file has moved, so list and disk agree.
    if (!GetAlbumPath(m_nCurrent, oldPath) || !MoveFileA(oldPath, newPath)) {
      SetWindowTextA(m_hAlbumList, current);
      MessageBeep(0);
      return;
    }
    ReplaceEntry(m_nCurrent, name);
    album->GetDocument()->SetPath(newPath);
    return;
  }
  // An untitled album with pictures is saved under the typed name.
  CAlbumDoc2* document = album->GetDocument();
  int position = AddFileToList(name, 1);
  if (position < 0) {
    SetWindowTextA(m_hAlbumList, current);
    MessageBeep(0);
    return;
  }
  m_bUntitled = 0;
  m_bModified = 1;
  document->SetPath(newPath);
  if (!document->GetDescription()[0]) document->SetDescription(newPath);
  if (!Save()) {
    SendMessageA(m_hAlbumList, CB_DELETESTRING, position, 0);
    --m_nAlbumCount;
    m_bUntitled = 1;
    document->SetPath("");
    m_nCurrent = 0;
    SendMessageA(m_hAlbumList, CB_SETCURSEL, 0, 0);
    ShowResourceMessage(m_hWnd, IDS_CANNOT_SAVE_ALBUM, IDS_CAPTION_ALBUM_MANAGER, MB_ICONEXCLAMATION);
  }
}
