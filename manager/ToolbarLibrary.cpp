#include "manager/ToolbarLibrary.h"

namespace {

ToolbarLibrary g_toolbar;

template <typename Function>
void Resolve(Function& entry, const char* name) {
  entry = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(g_toolbar.module, name)));
}

}  // namespace

const ToolbarLibrary& GetToolbarLibrary() { return g_toolbar; }

void LoadToolbarLibrary(HMODULE resources) {
  if (g_toolbar.module) return;
  g_toolbar.module = LoadLibraryA("Tevrin.dll");
  if (!g_toolbar.module) return;
  Resolve(g_toolbar.RegisterToolBar, "RegisterToolBar");
  Resolve(g_toolbar.InitializeToolbar, "InitializeToolbar");
  Resolve(g_toolbar.EnableToolbar, "EnableToolbar");
  Resolve(g_toolbar.SubclassScroll, "SubclassScroll");
  Resolve(g_toolbar.DeSubclassScroll, "DeSubclassScroll");
  Resolve(g_toolbar.CreateTransplantationTrigger, "CreateTransplantationTrigger");
  Resolve(g_toolbar.FreeTransplantation, "FreeTransplantation");
  if (g_toolbar.RegisterToolBar) g_toolbar.RegisterToolBar(resources);
}

void ReleaseToolbarLibrary() {
  if (g_toolbar.module) FreeLibrary(g_toolbar.module);
  g_toolbar = ToolbarLibrary();
}
