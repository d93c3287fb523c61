// Scope objects for GDI: every device context, selection, pen, brush, font
// and DC attribute taken in a paint is given back when the scope ends, on
// every path. None of them can be copied or moved, so a handle is never
// released twice.
#pragma once

#include <windows.h>

namespace gdi {

// BeginPaint ... EndPaint.
class ScopedPaint {
 public:
  explicit ScopedPaint(HWND window) : window_(window) { dc_ = BeginPaint(window_, &ps_); }
  ~ScopedPaint() {
    if (dc_) EndPaint(window_, &ps_);
  }
  ScopedPaint(const ScopedPaint&) = delete;
  ScopedPaint& operator=(const ScopedPaint&) = delete;

  HDC dc() const { return dc_; }
  const PAINTSTRUCT& paint() const { return ps_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;  // not owned
  PAINTSTRUCT ps_{};
  HDC dc_ = nullptr;  // owned by the paint
};

// GetDC ... ReleaseDC.
class ScopedGetDC {
 public:
  explicit ScopedGetDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~ScopedGetDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  ScopedGetDC(const ScopedGetDC&) = delete;
  ScopedGetDC& operator=(const ScopedGetDC&) = delete;

  HDC dc() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;  // not owned
  HDC dc_;       // owned
};

// CreateCompatibleDC ... DeleteDC.
class ScopedMemoryDC {
 public:
  explicit ScopedMemoryDC(HDC like) : dc_(CreateCompatibleDC(like)) {}
  ~ScopedMemoryDC() {
    if (dc_) DeleteDC(dc_);
  }
  ScopedMemoryDC(const ScopedMemoryDC&) = delete;
  ScopedMemoryDC& operator=(const ScopedMemoryDC&) = delete;

  HDC dc() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HDC dc_;  // owned
};

// An owned pen, brush, font or bitmap, deleted when the scope ends. Declare
// it before the ScopedSelect that selects it, so that the selection is undone
// first: GDI does not delete an object that is still selected.
template <typename Handle>
class ScopedObject {
 public:
  explicit ScopedObject(Handle handle) : handle_(handle) {}
  ~ScopedObject() {
    if (handle_) DeleteObject(handle_);
  }
  ScopedObject(const ScopedObject&) = delete;
  ScopedObject& operator=(const ScopedObject&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  Handle handle_;  // owned
};

using ScopedPen = ScopedObject<HPEN>;
using ScopedBrush = ScopedObject<HBRUSH>;
using ScopedFont = ScopedObject<HFONT>;
using ScopedBitmap = ScopedObject<HBITMAP>;

// SelectObject ... SelectObject(previous). Selecting null selects nothing
// and restores nothing.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc) {
    if (dc_ && object) previous_ = SelectObject(dc_, object);
  }
  ~ScopedSelect() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

  // False when nothing was selected (null object or a failed selection).
  explicit operator bool() const { return previous_ && previous_ != HGDI_ERROR; }

 private:
  HDC dc_;                       // not owned
  HGDIOBJ previous_ = nullptr;   // not owned: it belonged to the DC
};

// SetBkMode ... SetBkMode(previous).
class ScopedBkMode {
 public:
  ScopedBkMode(HDC dc, int mode) : dc_(dc), previous_(SetBkMode(dc, mode)) {}
  ~ScopedBkMode() {
    if (previous_) SetBkMode(dc_, previous_);
  }
  ScopedBkMode(const ScopedBkMode&) = delete;
  ScopedBkMode& operator=(const ScopedBkMode&) = delete;

 private:
  HDC dc_;  // not owned
  int previous_;
};

// SetTextColor ... SetTextColor(previous).
class ScopedTextColor {
 public:
  ScopedTextColor(HDC dc, COLORREF colour) : dc_(dc), previous_(SetTextColor(dc, colour)) {}
  ~ScopedTextColor() {
    if (previous_ != CLR_INVALID) SetTextColor(dc_, previous_);
  }
  ScopedTextColor(const ScopedTextColor&) = delete;
  ScopedTextColor& operator=(const ScopedTextColor&) = delete;

 private:
  HDC dc_;  // not owned
  COLORREF previous_;
};

}  // namespace gdi
