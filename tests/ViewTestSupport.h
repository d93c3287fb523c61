// Helpers for the view window tests: items with coloured pictures, view
// configurations, pixels read back from the screen and counts of the
// process's GDI and USER objects.
#pragma once

#include <windows.h>

#include <album.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "ItemFactory.h"
#include "platform/Gdi.h"

namespace viewtest {

// An album item whose focus flag the test can set (the album view's job).
class TestItem : public CThumbnail2 {
 public:
  using CThumbnail2::CThumbnail2;
  void SetFocus(int focus) { SetFouse(focus); }
};

// A 24-bit bottom-up picture of one colour.
inline HTOVIMEM MakeColourDib(int width, int height, COLORREF colour) {
  DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  DWORD size = sizeof(BITMAPINFOHEADER) + stride * static_cast<DWORD>(height);
  HTOVIMEM dib = ToviMemAlloc(TOVI_MOVABLE_ZERO, size);
  if (!dib) return nullptr;
  auto* header = static_cast<BITMAPINFOHEADER*>(ToviMemLock(dib));
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biSizeImage = stride * static_cast<DWORD>(height);
  BYTE* rows = reinterpret_cast<BYTE*>(header + 1);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      BYTE* p = rows + y * stride + x * 3;
      p[0] = GetBValue(colour);
      p[1] = GetGValue(colour);
      p[2] = GetRValue(colour);
    }
  }
  ToviMemUnlock(dib);
  return dib;
}

// Repaints every pixel of a picture with one colour, in place.
inline void RepaintDib(HTOVIMEM dib, COLORREF colour) {
  auto* header = static_cast<BITMAPINFOHEADER*>(ToviMemLock(dib));
  DWORD stride = (static_cast<DWORD>(header->biWidth) * 3 + 3) & ~3u;
  BYTE* rows = reinterpret_cast<BYTE*>(header + 1);
  for (int y = 0; y < header->biHeight; ++y) {
    for (int x = 0; x < header->biWidth; ++x) {
      BYTE* p = rows + y * stride + x * 3;
      p[0] = GetBValue(colour);
      p[1] = GetGValue(colour);
      p[2] = GetRValue(colour);
    }
  }
  ToviMemUnlock(dib);
}

struct ItemOptions {
  std::string path = "C:\\pictures\\photo.jpg";
  int pictureWidth = 40;
  int pictureHeight = 30;
  COLORREF colour = RGB(40, 80, 120);
  int sourceWidth = 0;   // 0: the picture's own size
  int sourceHeight = 0;
  int id = 1;
  int exist = 1;
};

inline TestItem* MakeTestItem(const ItemOptions& options) {
  tagALBUMINFOHEADER info;
  memset(&info, 0, sizeof(info));
  Put(info.aiPath, options.path);
  info.aiWidth = static_cast<WORD>(options.sourceWidth ? options.sourceWidth : options.pictureWidth);
  info.aiHeight = static_cast<WORD>(options.sourceHeight ? options.sourceHeight : options.pictureHeight);
  info.aiThumbWidth = static_cast<WORD>(options.pictureWidth);
  info.aiThumbHeight = static_cast<WORD>(options.pictureHeight);
  info.aiBitCount = 24;
  HTOVIMEM dib = MakeColourDib(options.pictureWidth, options.pictureHeight, options.colour);
  info.aiThumbSize = ToviMemSize(dib);
  return new TestItem(&info, dib, options.id, options.exist);
}

// A configuration with an ordinary caption font and the given style and captions.
inline tagAlbumViewCreateInfo MakeConfig(int style, int caption, int select = 2) {
  tagAlbumViewCreateInfo aci;
  memset(&aci, 0, sizeof(aci));
  aci.avcRows = 1;
  aci.avcCols = 1;
  aci.avcScroll = 2;
  aci.avcSelect = select;
  aci.avcStyle = style;
  aci.avcCaption = caption;
  aci.avcFont.lfHeight = -12;
  aci.avcFont.lfWeight = FW_NORMAL;
  aci.avcFont.lfCharSet = ANSI_CHARSET;
  aci.avcFont.lfQuality = NONANTIALIASED_QUALITY;
  Put(aci.avcFont.lfFaceName, "Arial");
  return aci;
}

inline std::string Hex(COLORREF colour) {
  char text[16];
  snprintf(text, sizeof(text), "0x%06lX", static_cast<unsigned long>(colour));
  return text;
}

// The client area of a shown window as it is on the screen, read back after
// the window has painted.
class Snapshot {
 public:
  explicit Snapshot(HWND window) {
    UpdateWindow(window);
    RECT client{};
    GetClientRect(window, &client);
    width_ = client.right;
    height_ = client.bottom;
    pixels_.assign(static_cast<size_t>(width_) * height_, 0);
    gdi::ScopedGetDC screen(window);
    gdi::ScopedMemoryDC memory(screen.dc());
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    gdi::ScopedBitmap bitmap(CreateDIBSection(memory.dc(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!screen || !memory || !bitmap || !bits) return;
    {
      gdi::ScopedSelect selection(memory.dc(), bitmap.get());
      BitBlt(memory.dc(), 0, 0, width_, height_, screen.dc(), 0, 0, SRCCOPY);
      GdiFlush();
    }
    const DWORD* source = static_cast<const DWORD*>(bits);
    for (size_t i = 0; i < pixels_.size(); ++i) {
      DWORD bgr = source[i];
      pixels_[i] = RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
    }
    ok_ = true;
  }

  bool ok() const { return ok_; }
  int width() const { return width_; }
  int height() const { return height_; }
  COLORREF At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    return pixels_[static_cast<size_t>(y) * width_ + x];
  }
  // The smallest rectangle holding every pixel of the colour; empty when none.
  RECT BoundsOf(COLORREF colour) const { return BoundsWhere([colour](COLORREF c) { return c == colour; }); }
  RECT BoundsWhere(const std::function<bool(COLORREF)>& test) const {
    RECT bounds{width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        if (!test(At(x, y))) continue;
        if (x < bounds.left) bounds.left = x;
        if (y < bounds.top) bounds.top = y;
        if (x + 1 > bounds.right) bounds.right = x + 1;
        if (y + 1 > bounds.bottom) bounds.bottom = y + 1;
      }
    }
    if (bounds.right == 0) return RECT{0, 0, 0, 0};
    return bounds;
  }
  int Count(COLORREF colour, const RECT& area) const {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) count += At(x, y) == colour;
    }
    return count;
  }
  // True when the two snapshots agree everywhere inside area.
  bool SameIn(const Snapshot& other, const RECT& area) const {
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        if (At(x, y) != other.At(x, y)) return false;
      }
    }
    return true;
  }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<COLORREF> pixels_;
  bool ok_ = false;
};

// What a cell in the classic style (no frame, no captions, multiple
// selection) shows of an item, read back from the screen: red pixels of the
// missing-file cross in the top left corner, red pixels of the focus outline
// everywhere else, and whether the cell reports the item selected.
struct ItemMarks {
  bool shown = false;
  int missing = 0;
  int focus = 0;
  int selected = 0;
};

inline ItemMarks ReadItemMarks(CThumbnail2* item) {
  class MarkCell : public CThumbView2 {
   public:
    MarkCell(HWND parent, RECT place, tagAlbumViewCreateInfo& aci) : CThumbView2(parent, place, aci) {}
    HWND Window() const { return m_hWnd; }
  };
  ItemMarks marks;
  HWND top = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                             40, 40, 220, 160, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!top) return marks;
  {
    tagAlbumViewCreateInfo aci = MakeConfig(0, 3);
    MarkCell cell(top, RECT{10, 10, 100, 80}, aci);
    cell.Attach(item);
    Snapshot shot(cell.Window());
    const COLORREF red = RGB(255, 0, 0);
    marks.shown = shot.ok();
    marks.missing = shot.Count(red, RECT{0, 0, 16, 16});
    marks.focus = shot.Count(red, RECT{16, 16, shot.width(), shot.height()});
    marks.selected = cell.IsSelect();
    cell.Attach(nullptr);
  }
  DestroyWindow(top);
  return marks;
}

inline std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
         std::to_string(r.bottom) + ")";
}

inline bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// GDI objects of the process. Wine does not implement GetGuiResources
// (it answers 0); its handle table accepts a handle given by its index
// alone, so the live objects are counted by asking for the type of every index.
inline int CountGdiObjects() {
  DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted) return static_cast<int>(counted);
  int count = 0;
  for (ULONG_PTR index = 1; index < 0x10000; ++index) {
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(index))) ++count;
  }
  return count;
}

inline BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  EnumChildWindows(window, CountWindow, count);
  return TRUE;
}

// USER objects of the process; where GetGuiResources is missing, the
// windows of this thread (top-level, owned popups and all their children),
// which is what a view can leak.
inline int CountUserObjects() {
  DWORD counted = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  if (counted) return static_cast<int>(counted);
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

struct ChildSearch {
  HWND parent;
  const char* className;
  std::vector<HWND> found;
};

inline BOOL CALLBACK CollectChild(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<ChildSearch*>(data);
  char name[64] = "";
  GetClassNameA(window, name, sizeof(name));
  if (GetParent(window) == search->parent && lstrcmpiA(name, search->className) == 0) {
    search->found.push_back(window);
  }
  return TRUE;
}

// The child windows of a parent that belong to a window class, in z-order.
inline std::vector<HWND> ChildrenOfClass(HWND parent, const char* className) {
  ChildSearch search{parent, className, {}};
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The window's rectangle in its parent's client coordinates.
inline RECT PlaceInParent(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

}  // namespace viewtest
