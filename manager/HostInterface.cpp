// The exported functions through which a host drives the album managers of
// its threads.
#include <album.h>

#include <string.h>

#include "components/resources/resource.h"
#include "manager/AlbumCtrl.h"
#include "manager/AlbumMan.h"
#include "manager/HostOptions.h"
#include "manager/Module.h"
#include "manager/ThreadRegistry.h"
#include "manager/ToolbarLibrary.h"
#include "platform/Text.h"
#include "platform/qil.h"

int GetAcitveAlbumThumbnialList(int& count, char (*&list)[260]) {
  count = 0;
  list = nullptr;
  CThreadRegistry* registry = GetThreadRegistry();
  return registry ? registry->GetActiveImageList(GetCurrentThreadId(), count, list) : 0;
}

int GetAcitveAlbumSelectedThumbnialList(int& count, char (*&list)[260]) {
  count = 0;
  list = nullptr;
  CThreadRegistry* registry = GetThreadRegistry();
  return registry ? registry->GetActiveSelectedImageList(GetCurrentThreadId(), count, list) : 0;
}

int InitCurUserPath(const char* folder) {
  if (!SetUserFolder(folder)) return 0;
  return static_cast<int>(strlen(folder)) + 1;
}

// ---------------------------------------------------------------------------
// Album managers

namespace {

HostOptions g_options;
HWND g_shownManager = nullptr;
HWND g_lastActivated = nullptr;

CAlbumMan* ManagerOfWindow(HWND window) { return FindAlbumManager(window); }

}  // namespace

const HostOptions& GetHostOptions() { return g_options; }
HWND GetShownManager() { return g_shownManager; }
void SetShownManager(HWND dialog) { g_shownManager = dialog; }
HWND GetLastActivatedManager() { return g_lastActivated; }
void SetLastActivatedManager(HWND dialog) { g_lastActivated = dialog; }

HWND OpenAlbumManagerEx(HWND host, const char* folder, int width, int height, int chooser) {
  if (width <= 0 || height <= 0 || !folder) return nullptr;
  char name[MAX_PATH] = "";
  if (chooser) {
    char title[256] = "";
    LoadStringA(GetResourceModule(), IDS_TITLE_OPEN_ALBUM, title, sizeof(title));
    CThreadRegistry* registry = GetThreadRegistry();
    const int mode = registry && registry->GetActiveManager(GetCurrentThreadId()) ? 3 : 1;
    if (!ChooseAlbum(host, folder, name, 1, title, mode)) return nullptr;
  }
  CAlbumMan* manager = CAlbumMan::CreateAlbumMan(width, height);
  if (!manager) return nullptr;
  if (!manager->Open(host, folder, name)) {
    // A dialog that was made takes its manager with it when it goes.
    if (manager->m_hWnd && IsWindow(manager->m_hWnd)) {
      DestroyWindow(manager->m_hWnd);
    } else {
      delete manager;
    }
    return nullptr;
  }
  return manager->m_hWnd;
}

int CanOpenMoreAlbum(int limit) {
  CThreadRegistry* registry = GetThreadRegistry();
  return registry ? registry->CanOpenMore(limit) : 1;
}

HWND GetActiveAlbum(char* name, int form) {
  CThreadRegistry* registry = GetThreadRegistry();
  HWND dialog = registry ? registry->GetActiveManager(GetCurrentThreadId()) : nullptr;
  CAlbumMan* manager = ManagerOfWindow(dialog);
  if (!manager) return nullptr;
  if (name) manager->GetCurrentAlbumName(name, form);
  return dialog;
}

void* GetAllAlbum() {
  CThreadRegistry* registry = GetThreadRegistry();
  return registry ? registry->GetAllManagers(GetCurrentThreadId()) : nullptr;
}

int InsertFromDib(HWND window, void* picture, const char* description, const char* path) {
  CAlbumMan* manager = ManagerOfWindow(window);
  if (!manager || !path) return 0;
  // The item record keeps 127 characters; a longer text is cut there.
  char text[256] = "";
  if (description) CopyText(text, description);
  text[sizeof(tagALBUMINFOHEADER::aiDescription) - 1] = '\0';
  return manager->InsertFromDib(picture, text, path, nullptr);
}

int SetAlbumOption(HWND window, int width, int height) {
  CAlbumMan* manager = ManagerOfWindow(window);
  return manager ? manager->SetAlbumOption(width, height) : 0;
}

int SetFocusToAbm(HWND window) {
  HWND control = FindAlbumManager(window) ? GetDlgItem(window, IDC_MAN_ALBUM_CTRL) : nullptr;
  if (control) SetFocus(control);
  return 1;
}

void* GetDropData(long dragRecord) {
  auto* record = reinterpret_cast<tagDRAGNOTIFY*>(static_cast<LONG_PTR>(dragRecord));
  if (!record || record->ddKind != DRAG_KIND_ITEMS || !record->ddData) return nullptr;
  CAlbumDoc2* items = record->ddData;
  const int count = items->GetCount();
  if (count <= 0) return nullptr;
  HTOVIMEM block = ToviMemAlloc(TOVI_MOVABLE_ZERO, static_cast<DWORD>(count) * MAX_PATH);
  if (!block) return nullptr;
  char* bytes = static_cast<char*>(ToviMemLock(block));
  if (!bytes) {
    ToviMemFree(block);
    return nullptr;
  }
  size_t used = 0;
  const size_t capacity = static_cast<size_t>(count) * MAX_PATH;
  for (int i = 1; i <= count; ++i) {
    CThumbnail2* item = items->GetThumbnail(i);
    if (!item) continue;
    char full[MAX_PATH] = "";
    items->GetThumbnailFullPath(item->GetInfo()->aiPath, full);
    const size_t length = BoundedLength(full, sizeof(full));
    if (used + length + 1 > capacity) break;
    memcpy(bytes + used, full, length);
    used += length + 1;
  }
  ToviMemUnlock(block);
  return block;
}

void SetDockFunction(ALBUMDOCKCREATEPROC create, ALBUMDOCKQUERYPROC query, ALBUMDOCKRELEASEPROC release) {
  g_options.dockCreate = create;
  g_options.dockQuery = query;
  g_options.dockRelease = release;
}

void SetAcquireFunction(ALBUMACQUIREPROC acquire) { g_options.acquire = acquire; }

void SetAlbumHelpFunction(ALBUMHELPPROC help) { g_options.help = help; }

void SetRedeyeFlag(bool redeye) { g_options.redeye = redeye ? 1 : 0; }

int SetNewVersion(int newVersion) {
  g_options.newVersion = newVersion;
  return 1;
}

void EnableAlbumToolbar(int command, int enable) {
  const ToolbarLibrary& toolbar = GetToolbarLibrary();
  if (g_shownManager && IsWindow(g_shownManager) && toolbar.EnableToolbar) {
    toolbar.EnableToolbar(GetDlgItem(g_shownManager, IDC_MAN_TOOLBAR), command, enable);
  }
  // Only the print button's state is the print permission: greying another
  // button does not forbid printing.
  if (command == IDM_TB_PRINT) g_options.printAllowed = enable;
}

void IsNoSupportPSDPCXGIF(int noPsd, int noPcx, int noGif) {
  g_options.noPsd = noPsd;
  g_options.noPcx = noPcx;
  g_options.noGif = noGif;
}
