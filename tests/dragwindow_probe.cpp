// Loads the album component at run time, leaves a drag running and unloads
// the component. Nothing of the drag may outlive the module: the drag window
// and its class point into it. Exit code 0 when all holds, else the number
// of the first check that failed.
#include <windows.h>

namespace {

using ArmDragFn = void (*)(HWND, WPARAM, LPARAM, int);
using TestDragStartFn = bool (*)(HWND, WPARAM, LPARAM);
using CancelDragFn = bool (*)();

template <class Fn>
Fn Export(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool DragClassRegistered() {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  return GetClassInfoExA(GetModuleHandleA(nullptr), "DDWDNCLASS", &windowClass) != 0;
}

// Starts a drag from source through the component's exports; 0 when it runs.
int StartDrag(HMODULE album, HWND source) {
  auto arm = Export<ArmDragFn>(album, "ArmDrag");
  auto start = Export<TestDragStartFn>(album, "TestDragStart");
  if (!arm || !start) return 2;
  arm(source, MK_LBUTTON, MAKELPARAM(5, 5), 1);
  if (!start(source, MK_LBUTTON, MAKELPARAM(45, 5))) return 3;
  if (!FindWindowA("DDWDNCLASS", "ddwnd")) return 4;
  if (!DragClassRegistered()) return 5;
  return 0;
}

int Run() {
  HWND source = CreateWindowExA(0, "STATIC", "drag source", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (!source) return 1;

  // Unloaded in the middle of a drag.
  HMODULE album = LoadLibraryA("album.dll");
  if (!album) return 1;
  if (int failed = StartDrag(album, source)) return failed;
  HWND dragWindow = FindWindowA("DDWDNCLASS", "ddwnd");
  FreeLibrary(album);
  if (GetModuleHandleA("album.dll")) return 6;
  if (IsWindow(dragWindow)) return 7;
  if (DragClassRegistered()) return 8;
  if (GetCapture()) return 9;

  // Loaded again: the class is registered afresh; a finished drag leaves
  // nothing behind at the next unload either.
  album = LoadLibraryA("album.dll");
  if (!album) return 10;
  if (int failed = StartDrag(album, source)) return 10 + failed;
  auto cancel = Export<CancelDragFn>(album, "CancelDrag");
  if (!cancel || !cancel()) return 16;
  if (FindWindowA("DDWDNCLASS", "ddwnd")) return 17;
  FreeLibrary(album);
  if (DragClassRegistered()) return 18;

  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  DestroyWindow(source);
  return 0;
}

}  // namespace

int main() { return Run(); }
