// The component's entry point and module-wide state.
#include "Module.h"

#include "AlbumCtrl.h"
#include "AlbumMan.h"
#include "ThreadRegistry.h"
#include "ToolbarLibrary.h"

#include <cstdio>
#include <new>
#include "components/resources/resource.h"
#include "platform/Text.h"
#include "platform/pixamo.h"
#include "views/DragWindow.h"

namespace {

HMODULE g_ownModule = nullptr;
HMODULE g_resourceModule = nullptr;
HMODULE g_albumStore = nullptr;
CThreadRegistry* g_registry = nullptr;
CAlbumDoc2* g_copyBuffer = nullptr;
// Threads with a registry entry, plus the process while it is attached.
// Threads that were running before the component was loaded never
// attached: their detach notifications must not lower the count.
LONG g_attachCount = 0;

HMODULE LoadResourceModule() {
  HMODULE module = LoadLibraryA("Morvex.dll");
  if (!module) module = LoadLibraryA("Morvane.dll");
  return module ? module : g_ownModule;
}

HMODULE LoadAlbumStore() {
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  HMODULE store = LoadLibraryA("Vandor.DLL");
  SetCursor(previous ? previous : LoadCursor(nullptr, IDC_ARROW));
  return store;
}

void Attach(bool process) {
  if (g_attachCount == 0 && !g_registry) {
    g_registry = new (std::nothrow) CThreadRegistry;
  }
  if (process) {
    g_resourceModule = LoadResourceModule();
    g_albumStore = LoadAlbumStore();
    LoadToolbarLibrary(GetResourceModule());
    // The album control classes, with the cell and list view classes.
    CAlbumCtrl::Register(GetResourceModule());
  }
  if (g_registry && g_registry->AddThread(GetCurrentThreadId())) ++g_attachCount;
}

void DeleteModuleState() {
  delete g_copyBuffer;
  g_copyBuffer = nullptr;
  delete g_registry;
  g_registry = nullptr;
  g_attachCount = 0;
}

void DetachThread() {
  if (g_registry && g_registry->RemoveThread(GetCurrentThreadId())) --g_attachCount;
}

void DetachProcess(bool processEnding) {
  // When the whole process is ending, other modules may already be gone:
  // leave them to the system.
  if (!processEnding) {
    ReleaseDragWindowClass();
    UnregisterAlbumCtrlClasses(GetResourceModule());
    if (g_resourceModule && g_resourceModule != g_ownModule) FreeLibrary(g_resourceModule);
    if (g_albumStore) FreeLibrary(g_albumStore);
    ReleaseToolbarLibrary();
    ReleaseBatchLibrary();
  }
  g_resourceModule = nullptr;
  g_albumStore = nullptr;
  DeleteModuleState();
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      g_ownModule = instance;
      Attach(true);
      break;
    case DLL_THREAD_ATTACH:
      Attach(false);
      break;
    case DLL_THREAD_DETACH:
      DetachThread();
      break;
    case DLL_PROCESS_DETACH:
      DetachProcess(reserved != nullptr);
      break;
  }
  return TRUE;
}

HMODULE GetResourceModule() { return g_resourceModule ? g_resourceModule : g_ownModule; }

HMODULE GetAlbumStoreModule() { return g_albumStore; }

HMODULE GetOwnModule() { return g_ownModule; }

CThreadRegistry* GetThreadRegistry() { return g_registry; }

CAlbumDoc2* GetCopyBuffer() { return g_copyBuffer; }

void SetCopyBuffer(CAlbumDoc2* buffer) {
  if (buffer == g_copyBuffer) return;
  delete g_copyBuffer;
  g_copyBuffer = buffer;
}

INT_PTR RunModalDialog(HMODULE resources, int dialogId, HWND owner, DLGPROC procedure, LPARAM param) {
  void* token = LockupForModal();
  INT_PTR result = DialogBoxParamA(resources, MAKEINTRESOURCEA(dialogId), owner, procedure, param);
  if (token) UnlockForModal(token);
  return result;
}

int ShowResourceMessage(HWND owner, UINT textId, UINT captionId, UINT style) {
  char text[300] = "";
  char caption[40] = "";
  HMODULE resources = GetResourceModule();
  LoadStringA(resources, textId, text, sizeof(text));
  LoadStringA(resources, captionId, caption, sizeof(caption));
  void* token = LockupForModal();
  int result = MessageBoxA(owner, text, caption, style);
  UnlockForModal(token);
  return result;
}

namespace {
char g_userFolder[MAX_PATH] = "";
}

const char* GetUserFolder() { return g_userFolder; }

bool SetUserFolder(const char* folder) { return folder && CopyTextWhole(g_userFolder, folder); }

bool MakeUserFilePath(const char* fileName, char* out, size_t capacity) {
  if (!fileName || !out || capacity == 0) return false;
  size_t length = BoundedLength(g_userFolder, sizeof(g_userFolder));
  const char* separator = (length == 0 || g_userFolder[length - 1] == '\\' || g_userFolder[length - 1] == '/') ? "" : "\\";
  int written = snprintf(out, capacity, "%s%s%s", g_userFolder, separator, fileName);
  if (written < 0 || static_cast<size_t>(written) >= capacity) {
    out[0] = '\0';
    return false;
  }
  return true;
}

void LoadResourceText(UINT id, char* buffer, int capacity) {
  buffer[0] = '\0';
  LoadStringA(GetResourceModule(), id, buffer, capacity);
}

bool IsUntitledName(const char* name) {
  char untitled[MAX_PATH];
  LoadResourceText(IDS_UNTITLED_ALBUM, untitled, sizeof(untitled));
  return untitled[0] && lstrcmpiA(name, untitled) == 0;
}
