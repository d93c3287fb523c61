// Reads a picture handle of the image services in tests: header fields and
// pixels by top-down coordinates. Owns the handle and frees it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "../platform/qil.h"

struct Bgr {
  int b, g, r;
};

inline std::string Describe(const Bgr& c) {
  return "(r " + std::to_string(c.r) + ", g " + std::to_string(c.g) + ", b " +
         std::to_string(c.b) + ")";
}

// True when every channel is within tolerance.
inline bool Near(const Bgr& a, const Bgr& b, int tolerance) {
  return std::abs(a.b - b.b) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.r - b.r) <= tolerance;
}

class PictureView {
 public:
  explicit PictureView(HTOVIMEM picture) : mem_(picture) {
    if (mem_) base_ = static_cast<const uint8_t*>(ToviMemLock(mem_));
  }
  ~PictureView() {
    if (base_) ToviMemUnlock(mem_);
    if (mem_) ToviMemFree(mem_);
  }
  PictureView(const PictureView&) = delete;
  PictureView& operator=(const PictureView&) = delete;

  bool ok() const { return base_ != nullptr; }
  HTOVIMEM handle() const { return mem_; }
  const BITMAPINFOHEADER& header() const {
    return *reinterpret_cast<const BITMAPINFOHEADER*>(base_);
  }
  int width() const { return header().biWidth; }
  int height() const { return header().biHeight; }
  int bits() const { return header().biBitCount; }
  uint32_t stride() const { return (uint32_t(width()) * bits() / 8 + 3) & ~3u; }
  const RGBQUAD* palette() const {
    return reinterpret_cast<const RGBQUAD*>(base_ + header().biSize);
  }
  const uint8_t* pixelBase() const {
    uint32_t colours = bits() <= 8 ? (header().biClrUsed ? header().biClrUsed : 1u << bits()) : 0;
    return base_ + header().biSize + colours * sizeof(RGBQUAD);
  }
  // Rows are stored bottom-up; (x, y) counts from the top-left corner.
  const uint8_t* row(int y) const { return pixelBase() + size_t(height() - 1 - y) * stride(); }
  Bgr At(int x, int y) const {
    const uint8_t* r = row(y);
    if (bits() == 8) {
      const RGBQUAD& q = palette()[r[x]];
      return {q.rgbBlue, q.rgbGreen, q.rgbRed};
    }
    const uint8_t* p = r + size_t(x) * 3;
    return {p[0], p[1], p[2]};
  }

 private:
  HTOVIMEM mem_;  // owned
  const uint8_t* base_ = nullptr;
};
