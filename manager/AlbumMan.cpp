// The album manager's data, its album list, opening, layout for the dock
// host, and the insertion of pictures from memory or files.
#include "AlbumMan.h"

#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <new>
#include <cstdio>
#include <string>
#include <vector>

#include "AlbumCtrl.h"
#include "HostOptions.h"
#include "Module.h"
#include "ThreadRegistry.h"
#include "ToolbarLibrary.h"
#include "components/resources/resource.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/pixamo.h"
#include "platform/qil.h"
#include "views/Album.h"

namespace {

const char kAlbumExtension[] = ".abm";
const int kCellWidth = 88;
const int kCellHeight = 107;

int CompareNames(const char* a, const char* b) { return lstrcmpiA(a, b); }

// The text of a list entry; false when it does not fit.
bool EntryText(HWND list, int index, char* buffer, size_t capacity) {
  buffer[0] = '\0';
  LRESULT length = SendMessageA(list, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR || static_cast<size_t>(length) >= capacity) return false;
  return SendMessageA(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer)) != CB_ERR;
}

// The window rectangle minus the client rectangle: what the frame takes.
SIZE FrameSize(HWND window) {
  RECT outer{}, inner{};
  GetWindowRect(window, &outer);
  GetClientRect(window, &inner);
  return SIZE{(outer.right - outer.left) - inner.right, (outer.bottom - outer.top) - inner.bottom};
}

}  // namespace

CAlbumMan::CAlbumMan() = default;

CAlbumMan::~CAlbumMan() {
  if (m_bCopy) return;
  if (m_hCloseBitmap) DeleteObject(m_hCloseBitmap);
  if (m_hMoveTrigger && GetToolbarLibrary().FreeTransplantation) GetToolbarLibrary().FreeTransplantation(m_hMoveTrigger);
}

CAlbumMan& CAlbumMan::operator=(const CAlbumMan& other) {
  if (this == &other) return *this;
  // What this object owned and the other does not share would be lost.
  if (!m_bCopy) {
    if (m_hCloseBitmap && m_hCloseBitmap != other.m_hCloseBitmap) DeleteObject(m_hCloseBitmap);
    if (m_hMoveTrigger && m_hMoveTrigger != other.m_hMoveTrigger && GetToolbarLibrary().FreeTransplantation) {
      GetToolbarLibrary().FreeTransplantation(m_hMoveTrigger);
    }
  }
  m_hWnd = other.m_hWnd;
  memcpy(m_szFolder, other.m_szFolder, sizeof(m_szFolder));
  m_nAlbumCount = other.m_nAlbumCount;
  m_pAlbumCtrl = other.m_pAlbumCtrl;
  m_nThumbWidth = other.m_nThumbWidth;
  m_nThumbHeight = other.m_nThumbHeight;
  m_bModified = other.m_bModified;
  m_bUntitled = other.m_bUntitled;
  m_nCurrent = other.m_nCurrent;
  m_pFocused = other.m_pFocused;
  m_dwFileTime = other.m_dwFileTime;
  m_hMoveTrigger = other.m_hMoveTrigger;
  m_hCloseBitmap = other.m_hCloseBitmap;
  m_nOpenFormat = other.m_nOpenFormat;
  memcpy(m_szDefaultExt, other.m_szDefaultExt, sizeof(m_szDefaultExt));
  m_dwFormatFlags = other.m_dwFormatFlags;
  memcpy(m_szLastFolder, other.m_szLastFolder, sizeof(m_szLastFolder));
  m_nDockMode = other.m_nDockMode;
  m_hDockFrame = other.m_hDockFrame;
  m_hAlbumList = other.m_hAlbumList;
  m_hHost = other.m_hHost;
  m_bCopy = 1;
  return *this;
}

CAlbumMan* CAlbumMan::CreateAlbumMan(int thumbWidth, int thumbHeight) {
  if (thumbWidth <= 0 || thumbHeight <= 0) return nullptr;
  CAlbumMan* manager = new (std::nothrow) CAlbumMan;
  if (!manager) return nullptr;
  manager->m_nThumbWidth = thumbWidth;
  manager->m_nThumbHeight = thumbHeight;

  const HostOptions& options = GetHostOptions();
  std::string pattern = "*.BMP;*.JPG;*.PSF;*.TIF;*.PNG;*.TGA;*.FPX;*.PCD;*.TIFF;*.JPEG";
  DWORD flags = 0xEC7;
  if (!options.noPcx) {
    pattern += ";*.PCX";
    flags |= QIL_FMT_PCX;
  }
  if (!options.noPsd) {
    pattern += ";*.PSD";
    flags |= QIL_FMT_PSD;
  }
  if (!options.noGif) {
    pattern += ";*.GIF";
    flags |= QIL_FMT_GIF;
  }
  manager->m_dwFormatFlags = flags;
  char description[MAX_PATH];
  LoadResourceText(IDS_PICTURE_FILTER, description, sizeof(description));
  QilDefineFilter(0, description, pattern.c_str());
  return manager;
}

int CAlbumMan::Open(HWND host, const char* folder, const char* name) {
  if (!IsWindow(host) || !folder || !folder[0]) return 0;
  DWORD attributes = GetFileAttributesA(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
  char stored[MAX_PATH];
  if (!CopyTextWhole(stored, folder)) return 0;
  // Paths are built as folder + "\" + name: a trailing separator would double.
  size_t length = strlen(stored);
  while (length > 3 && (stored[length - 1] == '\\' || stored[length - 1] == '/')) stored[--length] = '\0';
  CopyText(m_szFolder, stored);

  m_hHost = host;
  HWND dialog = CreateDialogParamA(GetResourceModule(), MAKEINTRESOURCEA(IDD_ALBUM_MANAGER), host, AlbumManDlgProc,
                                   reinterpret_cast<LPARAM>(this));
  if (!dialog) return 0;
  ShowWindow(dialog, SW_SHOW);
  UpdateWindow(IsWindow(m_hDockFrame) ? m_hDockFrame : dialog);

  m_nCurrent = -1;
  LoadAlbumList();
  if (m_nAlbumCount == 0) {
    NewAlbum();
    return 1;
  }
  ShowAlbumSummary();

  char wanted[MAX_PATH] = "";
  if (name && name[0]) {
    CopyText(wanted, name);
  } else {
    char ini[MAX_PATH];
    if (MakeUserFilePath("album.ini", ini, sizeof(ini))) {
      GetPrivateProfileStringA("Context", "LastOpen", "", wanted, sizeof(wanted), ini);
    }
  }
  LRESULT found = wanted[0] ? SendMessageA(m_hAlbumList, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                            reinterpret_cast<LPARAM>(wanted))
                            : CB_ERR;
  int index = found != CB_ERR ? static_cast<int>(found) : (m_nAlbumCount > 1 ? 1 : 0);
  m_nCurrent = index;
  SendMessageA(m_hAlbumList, CB_SETCURSEL, index, 0);
  if (index == 0) {
    NewAlbum();
    return 1;
  }
  char path[MAX_PATH];
  if (!GetAlbumPath(index, path) || !Reload(path)) {
    // The album that could not be read must not become the target of a
    // later save: the manager starts on a new album instead.
    m_nCurrent = 0;
    SendMessageA(m_hAlbumList, CB_SETCURSEL, 0, 0);
    NewAlbum();
    return 1;
  }
  ShowAlbumSummary();
  m_bModified = 0;
  m_pFocused = nullptr;
  return 1;
}

int CAlbumMan::SetAlbumOption(int thumbWidth, int thumbHeight) {
  if (thumbWidth <= 0 || thumbHeight <= 0) return 0;
  m_nThumbWidth = thumbWidth;
  m_nThumbHeight = thumbHeight;
  return 1;
}

CAlbumCtrl* CAlbumMan::GetAlbumCtrl() { return m_pAlbumCtrl; }

CAlbum* CAlbumMan::GetAlbum() { return m_pAlbumCtrl ? m_pAlbumCtrl->GetAlbum() : nullptr; }

int CAlbumMan::GetCurrentAlbumName(char* buffer, int form) {
  CAlbum* album = GetAlbum();
  if (!album || !buffer) return 0;
  if (m_bUntitled) {
    LoadResourceText(IDS_UNTITLED_ALBUM, buffer, MAX_PATH);
    return 1;
  }
  const char* path = album->GetDocument()->GetPath();
  SplitPathParts parts;
  switch (form) {
    case ALBUM_NAME_FULL_PATH:
      CopyText(buffer, MAX_PATH, path);
      break;
    case ALBUM_NAME_WITH_EXTENSION:
    case ALBUM_NAME_BARE: {
      SplitAlbumPathParts(path, &parts);
      char name[MAX_PATH];
      CopyText(name, parts.fname);
      if (form == ALBUM_NAME_WITH_EXTENSION) {
        size_t used = strlen(name);
        CopyText(name + used, sizeof(name) - used, parts.ext);
      }
      CopyText(buffer, MAX_PATH, name);
      break;
    }
    default:
      break;
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Album list

void CAlbumMan::ClearAlbumList() {
  if (m_hAlbumList) SendMessageA(m_hAlbumList, CB_RESETCONTENT, 0, 0);
  m_nAlbumCount = 0;
}

int CAlbumMan::AddFileToList(const char* name, int select) {
  if (!m_hAlbumList || !name) return -1;
  int count = static_cast<int>(SendMessageA(m_hAlbumList, CB_GETCOUNT, 0, 0));
  int position = 0;
  if (!IsUntitledName(name)) {
    // The album names after the untitled entry are sorted: the first entry
    // comparing greater is found by halving.
    char text[MAX_PATH];
    int low = (count > 0 && EntryText(m_hAlbumList, 0, text, sizeof(text)) && IsUntitledName(text)) ? 1 : 0;
    int high = count;
    while (low < high) {
      int middle = low + (high - low) / 2;
      EntryText(m_hAlbumList, middle, text, sizeof(text));
      if (CompareNames(text, name) > 0) {
        high = middle;
      } else {
        low = middle + 1;
      }
    }
    position = low;
  }
  LRESULT inserted = SendMessageA(m_hAlbumList, CB_INSERTSTRING, position, reinterpret_cast<LPARAM>(name));
  if (inserted == CB_ERR || inserted == CB_ERRSPACE) return -1;
  if (select) {
    SendMessageA(m_hAlbumList, CB_SETCURSEL, position, 0);
    m_nCurrent = position;
    m_bModified = 1;
  }
  ++m_nAlbumCount;
  return position;
}

void CAlbumMan::LoadAlbumList() {
  if (!m_hAlbumList) return;
  char remembered[MAX_PATH] = "";
  const int hadCurrent = m_nCurrent >= 0;
  if (hadCurrent) GetCurrentEntryText(remembered);
  ClearAlbumList();

  // Collected and sorted first, then appended in order: a folder of
  // thousands of albums is listed in n log n, not n sorted inserts.
  std::vector<std::string> names;
  char pattern[MAX_PATH];
  int written = snprintf(pattern, sizeof(pattern), "%s\\*%s", m_szFolder, kAlbumExtension);
  if (written > 0 && static_cast<size_t>(written) < sizeof(pattern)) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        size_t length = strlen(found.cFileName);
        const size_t extension = sizeof(kAlbumExtension) - 1;
        // The pattern also matches short-name aliases of longer extensions.
        if (length <= extension || lstrcmpiA(found.cFileName + length - extension, kAlbumExtension) != 0) continue;
        names.emplace_back(found.cFileName, length - extension);
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
  }
  char untitled[MAX_PATH];
  LoadResourceText(IDS_UNTITLED_ALBUM, untitled, sizeof(untitled));
  if (names.empty()) {
    SendMessageA(m_hAlbumList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(untitled));
    m_nAlbumCount = 1;
    SendMessageA(m_hAlbumList, CB_SETCURSEL, 0, 0);
    return;
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return CompareNames(a.c_str(), b.c_str()) < 0; });
  SendMessageA(m_hAlbumList, WM_SETREDRAW, FALSE, 0);
  SendMessageA(m_hAlbumList, CB_INITSTORAGE, names.size() + 1, (names.size() + 1) * 32);
  SendMessageA(m_hAlbumList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(untitled));
  for (const std::string& name : names) {
    if (SendMessageA(m_hAlbumList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str())) >= 0) ++m_nAlbumCount;
  }
  ++m_nAlbumCount;
  SendMessageA(m_hAlbumList, WM_SETREDRAW, TRUE, 0);

  LRESULT found = remembered[0] ? SendMessageA(m_hAlbumList, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                reinterpret_cast<LPARAM>(remembered))
                                : CB_ERR;
  if (hadCurrent && found != CB_ERR && (found > 0 || IsUntitledName(remembered))) {
    SendMessageA(m_hAlbumList, CB_SETCURSEL, found, 0);
    m_nCurrent = static_cast<int>(found);
    return;
  }
  if (hadCurrent && m_bUntitled) return;
  if (hadCurrent) m_nCurrent = -1;
  SendMessageA(m_hAlbumList, CB_SETCURSEL, 0, 0);
}

int CAlbumMan::GetAlbumPath(int index, char* buffer) {
  if (!buffer) return 0;
  buffer[0] = '\0';
  char text[MAX_PATH];
  if (!m_hAlbumList || index < 0 || !EntryText(m_hAlbumList, index, text, sizeof(text))) return 0;
  int written = snprintf(buffer, MAX_PATH, "%s\\%s%s", m_szFolder, text, kAlbumExtension);
  if (written < 0 || written >= MAX_PATH) {
    buffer[0] = '\0';
    return 0;
  }
  return 1;
}

void CAlbumMan::GetCurrentEntryText(char* buffer) {
  buffer[0] = '\0';
  if (m_hAlbumList && m_nCurrent >= 0) EntryText(m_hAlbumList, m_nCurrent, buffer, MAX_PATH);
}

void CAlbumMan::ReplaceEntry(int index, const char* text) {
  SendMessageA(m_hAlbumList, CB_DELETESTRING, index, 0);
  SendMessageA(m_hAlbumList, CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text));
  SendMessageA(m_hAlbumList, CB_SETCURSEL, index, 0);
}

// ---------------------------------------------------------------------------
// Description and status lines

void CAlbumMan::SetDescriptionLine(const char* text) {
  // Programmatic text is not an edit of the user's: EN_CHANGE would mark
  // the album modified.
  int modified = m_bModified;
  SetDlgItemTextA(m_hWnd, IDC_MAN_DESCRIPTION, text ? text : "");
  m_bModified = modified;
}

void CAlbumMan::SetStatusCount() {
  CAlbum* album = GetAlbum();
  char format[128];
  char text[160];
  LoadResourceText(IDS_FMT_ITEM_COUNT, format, sizeof(format));
  snprintf(text, sizeof(text), format, album ? album->GetThumbNailCount() : 0);
  SetDlgItemTextA(m_hWnd, IDC_MAN_STATUS, text);
}

void CAlbumMan::ShowAlbumSummary() {
  CAlbum* album = GetAlbum();
  SetStatusCount();
  SetDescriptionLine(album ? album->GetDocument()->GetDescription() : "");
}

void CAlbumMan::UpdateDescLine() {
  char text[MAX_PATH] = "";
  GetDlgItemTextA(m_hWnd, IDC_MAN_DESCRIPTION, text, sizeof(text));
  if (strlen(text) >= sizeof(tagALBUMINFOHEADER::aiDescription)) return;
  if (m_pFocused) {
    tagALBUMINFOHEADER* info = m_pFocused->GetInfo();
    // An item without a description shows its path in the line; the path
    // is not to become its description when the focus moves on.
    const size_t length = BoundedLength(info->aiDescription, sizeof(info->aiDescription));
    bool blank = true;
    for (size_t i = 0; i < length; ++i) blank = blank && info->aiDescription[i] == ' ';
    if (blank && strcmp(text, info->aiPath) == 0) return;
    CopyText(info->aiDescription, text);
    return;
  }
  if (CAlbum* album = GetAlbum()) album->GetDocument()->SetDescription(text);
}

int CAlbumMan::StoreFileTime(const char* path) {
  struct _stat status;
  if (!path || _stat(path, &status) != 0) return 0;
  m_dwFileTime = static_cast<DWORD>(status.st_mtime > status.st_ctime ? status.st_mtime : status.st_ctime);
  return 1;
}

void CAlbumMan::UpdateCurrentAlbum() {
  if (m_nCurrent < 0 || m_bUntitled) return;
  char path[MAX_PATH];
  if (!GetAlbumPath(m_nCurrent, path)) return;
  struct _stat status;
  if (_stat(path, &status) != 0) {
    m_bModified = 1;
    Save();
    return;
  }
  DWORD time = static_cast<DWORD>(status.st_mtime > status.st_ctime ? status.st_mtime : status.st_ctime);
  if (time > m_dwFileTime) {
    m_dwFileTime = time;
    m_bModified = 0;
    Reload(path);
  }
}

int CAlbumMan::RefreshAlbum() {
  CAlbum* album = GetAlbum();
  return album ? album->RefreshAlbum() : 0;
}

// ---------------------------------------------------------------------------
// Layout for the dock host

DWORD CAlbumMan::MinimumSize(int dockType, HWND dialog) {
  switch (dockType) {
    case 0: {
      SIZE frame = FrameSize(dialog);
      return PackDockSize(kCellWidth + 24 + frame.cx, kCellHeight + 90 + frame.cy);
    }
    case 1:
    case 4:
      return PackDockSize(92, 192);
    case 2:
    case 8:
      return PackDockSize(174, 115);
    default:
      return 0;
  }
}

DWORD CAlbumMan::MoveSize(int dockType, DWORD proposed, HWND dialog) {
  const int proposedWidth = LOWORD(proposed);
  const int proposedHeight = HIWORD(proposed);
  const int rows = std::max(1, (proposedHeight - 85) / kCellHeight);
  const int columns = std::max(1, (proposedWidth - 120) / kCellWidth);
  int width = 552, height = 304, dock = ALBUM_UNDOCKED;
  switch (dockType) {
    case 1:
    case 4:
      width = 92;
      height = rows * kCellHeight + 85;
      dock = ALBUM_DOCKED_VERTICAL;
      break;
    case 2:
    case 8:
      width = columns * kCellWidth + 86;
      height = 115;
      dock = ALBUM_DOCKED_HORIZONTAL;
      break;
    default:
      break;
  }
  SetWindowPos(dialog, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);

  const bool undocked = dock == ALBUM_UNDOCKED;
  // The album list's label goes with the list: docked, the close button
  // stands where it was.
  const int undockedItems[] = {IDC_MAN_TOOLBAR,      IDC_MAN_DESCRIPTION_LABEL, IDC_MAN_DESCRIPTION,
                               IDC_MAN_STATUS_LABEL, IDC_MAN_STATUS,            IDC_MAN_TOOLBAR_LABEL,
                               IDC_MAN_ALBUM_LABEL};
  ShowWindow(m_hAlbumList, undocked ? SW_SHOW : SW_HIDE);
  for (int item : undockedItems) ShowWindow(GetDlgItem(dialog, item), undocked ? SW_SHOW : SW_HIDE);

  HWND closeButton = GetDlgItem(dialog, IDC_MAN_CLOSE);
  RECT button{}, client{};
  GetWindowRect(closeButton, &button);
  GetClientRect(dialog, &client);
  const int buttonWidth = button.right - button.left;
  const int buttonHeight = button.bottom - button.top;
  POINT closeAt{0, 0}, triggerAt{0, 0};
  switch (dockType) {
    case 1:
      closeAt = {2, 6};
      triggerAt = {60, 6};
      break;
    case 4:
      closeAt = {client.right - buttonWidth - 4, 6};
      triggerAt = {2, 6};
      break;
    case 2:
      closeAt = {4, 4};
      triggerAt = {4, 86};
      break;
    case 8:
      closeAt = {4, client.bottom - buttonHeight - 8};
      triggerAt = {4, 4};
      break;
    default:
      break;
  }
  const ToolbarLibrary& toolbar = GetToolbarLibrary();
  if (undocked) {
    if (m_hMoveTrigger && toolbar.FreeTransplantation) toolbar.FreeTransplantation(m_hMoveTrigger);
    m_hMoveTrigger = nullptr;
  } else if (!m_hMoveTrigger && toolbar.CreateTransplantationTrigger) {
    HWND beside[3] = {GetDlgItem(dialog, IDC_MAN_TOOLBAR_LABEL), m_hAlbumList, GetDlgItem(dialog, IDC_MAN_TOOLBAR)};
    m_hMoveTrigger = toolbar.CreateTransplantationTrigger(triggerAt.x, triggerAt.y, 30, 25, dialog, 3, beside);
  } else if (m_hMoveTrigger) {
    // Docked on another side: the trigger's old place may lie under the
    // close button or the album control of the new layout.
    SetWindowPos(m_hMoveTrigger, nullptr, triggerAt.x, triggerAt.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SetWindowPos(closeButton, nullptr, closeAt.x, closeAt.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | (undocked ? SWP_HIDEWINDOW : SWP_SHOWWINDOW));

  if (m_pAlbumCtrl) m_pAlbumCtrl->SetDock(dock);
  m_nDockMode = dock;
  // The layout of the new dock mode: the control and the lines move now.
  GetClientRect(dialog, &client);
  SendMessageA(dialog, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));

  if (toolbar.EnableToolbar) {
    toolbar.EnableToolbar(GetDlgItem(dialog, IDC_MAN_TOOLBAR), IDM_TB_PRINT, GetHostOptions().printAllowed);
  }
  return PackDockSize(width, height);
}

// ---------------------------------------------------------------------------
// Active album lists

namespace {

CAlbum* LastActivatedAlbum() {
  CAlbumMan* manager = FindAlbumManager(GetLastActivatedManager());
  return manager ? manager->GetAlbum() : nullptr;
}

}  // namespace

int CAlbumMan::GetImageListFromActiveAlbum(int& count, char (*&list)[260]) {
  count = 0;
  list = nullptr;
  CAlbum* album = LastActivatedAlbum();
  return album ? album->GetImageList(count, list) : 0;
}

int CAlbumMan::GetSelectImageListFromActiveAlbum(int& count, char (*&list)[260]) {
  count = 0;
  list = nullptr;
  CAlbum* album = LastActivatedAlbum();
  return album ? album->GetSelectImageList(count, list) : 0;
}

// ---------------------------------------------------------------------------
// Inserting pictures

int CAlbumMan::InsertFromDib(void* picture, const char* description, const char* path, const char*) {
  CAlbum* album = GetAlbum();
  if (!album || !picture) return 0;
  void* thumbnail = MakeThumbnailPicture(picture, static_cast<WORD>(m_nThumbWidth), static_cast<WORD>(m_nThumbHeight));
  if (!thumbnail) return 0;
  WORD width = 0, height = 0;
  if (auto* header = static_cast<const BITMAPINFOHEADER*>(ToviMemLock(picture))) {
    width = static_cast<WORD>(header->biWidth);
    height = static_cast<WORD>(header->biHeight < 0 ? -header->biHeight : header->biHeight);
    ToviMemUnlock(picture);
  }
  if (!album->InsertFromThumbnail(thumbnail, description ? description : "", path, nullptr, width, height)) {
    ToviMemFree(thumbnail);
    return 0;
  }
  SetStatusCount();
  m_bModified = 1;
  return 1;
}

int CAlbumMan::InsertFromFile(const char* path, const char* description) {
  if (!path) return 0;
  QilSetLastError(0);
  QILOPENOPTIONS options = {};
  options.nMode = 1;
  HTOVIMEM picture = QilOpenFile(path, 0, &options);
  if (picture) {
    int inserted = InsertFromDib(picture, description, path, nullptr);
    ToviMemFree(picture);
    return inserted;
  }
  if (QilGetLastError() == QIL_ERR_BAD_PICTURE) {
    ShowResourceMessage(m_hWnd, IDS_CANNOT_OPEN_PICTURE, IDS_CAPTION_PHOTO_ALBUM, MB_ICONEXCLAMATION);
  }
  return 0;
}
