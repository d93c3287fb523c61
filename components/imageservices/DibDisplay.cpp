// Drawing a picture into a device context.
#include "Dib.h"
#include "Internal.h"

namespace qil {
namespace {

// Puts the DC's stretch mode and brush origin back when drawing is done.
class ScopedHalftone {
 public:
  explicit ScopedHalftone(HDC dc) : dc_(dc) {
    oldMode_ = SetStretchBltMode(dc_, HALFTONE);
    // After choosing HALFTONE, GDI requires the brush origin to be set again.
    hasOrigin_ = SetBrushOrgEx(dc_, 0, 0, &oldOrigin_) != 0;
  }
  ~ScopedHalftone() {
    if (hasOrigin_) SetBrushOrgEx(dc_, oldOrigin_.x, oldOrigin_.y, nullptr);
    if (oldMode_) SetStretchBltMode(dc_, oldMode_);
  }
  ScopedHalftone(const ScopedHalftone&) = delete;
  ScopedHalftone& operator=(const ScopedHalftone&) = delete;

 private:
  HDC dc_;  // not owned
  int oldMode_ = 0;
  POINT oldOrigin_{};
  bool hasOrigin_ = false;
};

}  // namespace
}  // namespace qil

QIL_API int QilDibDisplay(HDC dc, const RECT* rect, HTOVIMEM dib, int, int, int) {
  if (!dc || !rect || !dib) return 0;
  qil::DibReader picture(dib);
  if (!picture.ok()) return 0;
  const BITMAPINFOHEADER& h = picture.Header();
  const int width = h.biWidth;
  const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  qil::ScopedHalftone mode(dc);
  int lines = StretchDIBits(dc, rect->left, rect->top, rect->right - rect->left,
                            rect->bottom - rect->top, 0, 0, width, height, picture.Bits(),
                            picture.Info(), DIB_RGB_COLORS, SRCCOPY);
  return lines > 0 ? 1 : 0;
}
