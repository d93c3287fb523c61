// Keeps the Wine desktop of a test session alive between test programs.
//
// The Wine server closes a desktop one second after its last user process
// has gone, and its owner (explorer) then quits. A test program that starts
// in that moment finds no desktop and cannot create a single window; on a
// slow or busy machine explorer's next start also costs seconds per test.
// This program is a desktop user that does nothing: one message-only window
// (invisible to window enumeration, focus and z-order) and a message loop
// that waits until the session's wineserver ends it.
#include <windows.h>

namespace {

LRESULT CALLBACK KeeperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) return 0;  // only the end of the session ends it
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = KeeperProc;
  wc.hInstance = instance;
  wc.lpszClassName = "AlbumKitDesktopKeeper";
  if (!RegisterClassA(&wc)) return 1;
  if (!CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr)) return 1;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}
