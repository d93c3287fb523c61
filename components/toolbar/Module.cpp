// The toolbar library's start and stop, and RegisterToolBar.
#include <windows.h>

#include <commctrl.h>

#include "components/toolbar/Internal.h"
#include "platform/tevrin.h"

namespace {

HINSTANCE g_ownModule = nullptr;
HMODULE g_resources = nullptr;  // not owned: the caller's resource module

}  // namespace

namespace tevrin {

HINSTANCE OwnModule() { return g_ownModule; }
HMODULE ResourceModule() { return g_resources; }

}  // namespace tevrin

TEVRIN_API int RegisterToolBar(HMODULE resources) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
  if (!InitCommonControlsEx(&controls)) return 0;
  g_resources = resources;
  if (!tevrin::RegisterToolBarClass()) return 0;
  if (!tevrin::RegisterTriggerClass()) return 0;
  return 1;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      g_ownModule = instance;
      DisableThreadLibraryCalls(instance);
      break;
    case DLL_PROCESS_DETACH:
      // At process exit (reserved set) the classes go with the process.
      if (!reserved) {
        tevrin::UnregisterTriggerClass();
        tevrin::UnregisterToolBarClass();
      }
      break;
  }
  return TRUE;
}
