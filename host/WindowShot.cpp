// Screenshots of the demo host's windows.
#include "WindowShot.h"

#include "platform/Gdi.h"
#include "platform/qil.h"

namespace {

// Copies width x height pixels of the source DC into a 24-bit picture and
// saves it as a BMP file.
bool SaveArea(HDC source, int width, int height, const std::string& path) {
  if (!source || width <= 0 || height <= 0) return false;
  gdi::ScopedMemoryDC memory(source);
  gdi::ScopedBitmap bitmap(CreateCompatibleBitmap(source, width, height));
  if (!memory || !bitmap) return false;
  {
    gdi::ScopedSelect selection(memory.dc(), bitmap.get());
    if (!BitBlt(memory.dc(), 0, 0, width, height, source, 0, 0, SRCCOPY)) return false;
  }

  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD size = sizeof(BITMAPINFOHEADER) + stride * static_cast<DWORD>(height);
  HTOVIMEM picture = ToviMemAlloc(TOVI_MOVABLE_ZERO, size);
  if (!picture) return false;
  auto* header = static_cast<BITMAPINFOHEADER*>(ToviMemLock(picture));
  if (!header) {
    ToviMemFree(picture);
    return false;
  }
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;  // bottom-up rows, as packed pictures keep them
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biCompression = BI_RGB;
  header->biSizeImage = stride * static_cast<DWORD>(height);
  const int lines = GetDIBits(memory.dc(), bitmap.get(), 0, height, header + 1,
                              reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS);
  ToviMemUnlock(picture);
  const bool saved = lines == height && QilSaveFile(picture, path.c_str(), QIL_SAVE_BMP, 0) == QIL_OK;
  ToviMemFree(picture);
  return saved;
}

}  // namespace

bool SaveClientShot(HWND window, const std::string& path) {
  RECT client{};
  GetClientRect(window, &client);
  gdi::ScopedGetDC screen(window);
  return screen && SaveArea(screen.dc(), client.right, client.bottom, path);
}

bool SaveWindowShot(HWND window, const std::string& path) {
  RECT outer{};
  GetWindowRect(window, &outer);
  HDC dc = GetWindowDC(window);
  if (!dc) return false;
  const bool saved = SaveArea(dc, outer.right - outer.left, outer.bottom - outer.top, path);
  ReleaseDC(window, dc);
  return saved;
}

bool RegisterDemoWindowClass(const char* name, WNDPROC procedure) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  return RegisterClassExA(&wc) != 0;
}

void PumpPendingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}
