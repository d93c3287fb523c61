#include "manager/ToolbarLibrary.h"

#include "manager/Module.h"

namespace {

ToolbarLibrary g_toolbar;
// Registered in the library's place when it is missing: the manager's dialog
// template names the toolbar class, and a dialog with a control of an
// unknown class cannot be created at all.
bool g_fallbackClass = false;

void RegisterFallbackToolbarClass() {
  WNDCLASSA wc = {};
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetOwnModule();
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = TEVRIN_TOOLBAR_CLASS;
  g_fallbackClass = RegisterClassA(&wc) != 0;
}

template <typename Function>
void Resolve(Function& entry, const char* name) {
  entry = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(g_toolbar.module, name)));
}

}  // namespace

const ToolbarLibrary& GetToolbarLibrary() { return g_toolbar; }

void LoadToolbarLibrary(HMODULE resources) {
  if (g_toolbar.module || g_fallbackClass) return;
  g_toolbar.module = LoadLibraryA("Tevrin.dll");
  if (!g_toolbar.module) {
    RegisterFallbackToolbarClass();
    return;
  }
  Resolve(g_toolbar.RegisterToolBar, "RegisterToolBar");
  Resolve(g_toolbar.InitializeToolbar, "InitializeToolbar");
  Resolve(g_toolbar.EnableToolbar, "EnableToolbar");
  Resolve(g_toolbar.SubclassScroll, "SubclassScroll");
  Resolve(g_toolbar.DeSubclassScroll, "DeSubclassScroll");
  Resolve(g_toolbar.CreateTransplantationTrigger, "CreateTransplantationTrigger");
  Resolve(g_toolbar.FreeTransplantation, "FreeTransplantation");
  if (!g_toolbar.RegisterToolBar || !g_toolbar.RegisterToolBar(resources)) RegisterFallbackToolbarClass();
}

void ReleaseToolbarLibrary() {
  if (g_fallbackClass) UnregisterClassA(TEVRIN_TOOLBAR_CLASS, GetOwnModule());
  g_fallbackClass = false;
  if (g_toolbar.module) FreeLibrary(g_toolbar.module);
  g_toolbar = ToolbarLibrary();
}
