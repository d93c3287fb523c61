// The host's picture window.
#include "PictureWindow.h"

#include <stdio.h>
#include <string.h>

#include "WindowShot.h"
#include "platform/Gdi.h"
#include "platform/Memory.h"

namespace {

const char kPictureClass[] = "AlbumHostPicture";
const int kMargin = 8;

}  // namespace

PictureWindow::~PictureWindow() {
  if (picture_) ToviMemFree(picture_);
}

HWND PictureWindow::Open(HWND owner, const char* path) {
  static const bool registered = RegisterDemoWindowClass(kPictureClass, &PictureWindow::Procedure);
  if (!registered || !path) return nullptr;
  QILOPENOPTIONS options{};
  options.nMode = 1;
  HTOVIMEM picture = QilOpenFile(path, 0, &options);
  if (!picture) return nullptr;
  auto* self = new PictureWindow(picture);
  {
    MemLock lock(picture);
    if (!lock) {
      delete self;
      return nullptr;
    }
    const auto* header = lock.as<BITMAPINFOHEADER>();
    self->size_.cx = header->biWidth;
    self->size_.cy = header->biHeight < 0 ? -header->biHeight : header->biHeight;
  }

  // At most 640 pixels on the longer side at first; the window can be sized.
  int width = self->size_.cx, height = self->size_.cy;
  const int longer = width > height ? width : height;
  if (longer > 640) {
    width = MulDiv(width, 640, longer);
    height = MulDiv(height, 640, longer);
  }
  RECT outer{0, 0, (width < 160 ? 160 : width) + 2 * kMargin, (height < 120 ? 120 : height) + 2 * kMargin};
  const DWORD style = WS_OVERLAPPEDWINDOW;
  AdjustWindowRectEx(&outer, style, FALSE, 0);
  const char* name = strrchr(path, '\\');
  char title[MAX_PATH + 16];
  snprintf(title, sizeof(title), "%s (%ldx%ld)", name ? name + 1 : path, static_cast<long>(self->size_.cx),
           static_cast<long>(self->size_.cy));
  HWND window = CreateWindowExA(0, kPictureClass, title, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                outer.right - outer.left, outer.bottom - outer.top, owner, nullptr,
                                GetModuleHandleA(nullptr), self);
  if (!window) {
    delete self;
    return nullptr;
  }
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  return window;
}

SIZE PictureWindow::PictureSize(HWND window) {
  char name[40] = "";
  if (!window || !GetClassNameA(window, name, sizeof(name)) || lstrcmpiA(name, kPictureClass) != 0) return SIZE{};
  auto* self = reinterpret_cast<PictureWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  return self ? self->size_ : SIZE{};
}

void PictureWindow::OnPaint(HWND window) {
  gdi::ScopedPaint paint(window);
  if (!paint) return;
  RECT client{};
  GetClientRect(window, &client);
  FillRect(paint.dc(), &client, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
  const int roomX = client.right - 2 * kMargin, roomY = client.bottom - 2 * kMargin;
  if (roomX <= 0 || roomY <= 0 || size_.cx <= 0 || size_.cy <= 0) return;
  // Fit the longer side relative to the room; the other follows.
  int width = roomX, height = MulDiv(size_.cy, roomX, size_.cx);
  if (height > roomY) {
    height = roomY;
    width = MulDiv(size_.cx, roomY, size_.cy);
  }
  const int x = (client.right - width) / 2, y = (client.bottom - height) / 2;
  RECT target{x, y, x + width, y + height};
  QilDibDisplay(paint.dc(), &target, picture_, 0, 0, 0);
}

LRESULT CALLBACK PictureWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrA(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
  }
  auto* self = reinterpret_cast<PictureWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_PAINT:
      if (self) {
        self->OnPaint(window);
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      delete self;
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
