// Screenshots of the demo host's windows.
#include "WindowShot.h"

#include "platform/Gdi.h"
#include "platform/qil.h"

bool SaveClientShot(HWND window, const std::string& path) {
  RECT client{};
  GetClientRect(window, &client);
  const int width = client.right;
  const int height = client.bottom;
  if (width <= 0 || height <= 0) return false;

  gdi::ScopedGetDC screen(window);
  if (!screen) return false;
  gdi::ScopedMemoryDC memory(screen.dc());
  gdi::ScopedBitmap bitmap(CreateCompatibleBitmap(screen.dc(), width, height));
  if (!memory || !bitmap) return false;
  {
    gdi::ScopedSelect selection(memory.dc(), bitmap.get());
    if (!BitBlt(memory.dc(), 0, 0, width, height, screen.dc(), 0, 0, SRCCOPY)) return false;
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
