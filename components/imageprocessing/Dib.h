// Packed device-independent bitmaps inside memory handles: validation of the
// header against the block, row access in top-down order, and the writers
// that make new pictures. Everything else in the library reads pixels
// through here, so a header that lies about its sizes is refused once, in
// ParseDib, and never reaches a pixel loop.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qil.h"

namespace pixamo {

// Keeps a memory handle locked for the lifetime of the scope.
class MemLock {
 public:
  explicit MemLock(HTOVIMEM mem) : mem_(mem), bytes_(static_cast<BYTE*>(ToviMemLock(mem))) {}
  ~MemLock() {
    if (bytes_) ToviMemUnlock(mem_);
  }
  MemLock(const MemLock&) = delete;
  MemLock& operator=(const MemLock&) = delete;

  explicit operator bool() const { return bytes_ != nullptr; }
  BYTE* bytes() const { return bytes_; }

 private:
  HTOVIMEM mem_;  // not owned
  BYTE* bytes_;
};

// Owns a memory handle until it is released to the caller.
class OwnedMem {
 public:
  OwnedMem() = default;
  explicit OwnedMem(HTOVIMEM mem) : mem_(mem) {}
  ~OwnedMem() {
    if (mem_) ToviMemFree(mem_);
  }
  OwnedMem(const OwnedMem&) = delete;
  OwnedMem& operator=(const OwnedMem&) = delete;

  HTOVIMEM get() const { return mem_; }
  void reset(HTOVIMEM mem) {
    if (mem_) ToviMemFree(mem_);
    mem_ = mem;
  }
  HTOVIMEM release() {
    HTOVIMEM mem = mem_;
    mem_ = nullptr;
    return mem;
  }

 private:
  HTOVIMEM mem_ = nullptr;  // owned
};

// One colour field of a 16- or 32-bit pixel.
struct ChannelField {
  int shift = 0;      // position of the field's lowest bit
  int bits = 0;       // width of the field
  BYTE expand[256];   // the field's top min(bits, 8) bits -> 0..255
};

// A validated picture. Pointers refer into the locked block they came from.
struct DibInfo {
  int width = 0;
  int height = 0;  // always positive; topDown keeps the orientation
  bool topDown = false;
  int bitCount = 0;
  DWORD compression = BI_RGB;
  LONG xPelsPerMeter = 0;
  LONG yPelsPerMeter = 0;
  DWORD stride = 0;                // bytes per row, padded to 4
  DWORD paletteCount = 0;          // entries actually stored
  const RGBQUAD* palette = nullptr;  // paletteCount entries, or null
  RGBQUAD fullPalette[256];        // stored entries, zero beyond them (<= 8 bits)
  BYTE greyPalette[256];           // luma of each fullPalette entry
  ChannelField fields[3];          // red, green, blue (16 and 32 bits)
  DWORD fieldMask = 0;             // union of the three field masks
  const BYTE* header = nullptr;    // start of the block
  DWORD bitsOffset = 0;            // from the start of the block to the rows
  DWORD imageBytes = 0;            // stride * height
  const BYTE* bits = nullptr;

  // Row y counted from the top of the picture, whatever the storage order.
  const BYTE* Row(int y) const {
    int stored = topDown ? y : height - 1 - y;
    return bits + static_cast<size_t>(stride) * static_cast<size_t>(stored);
  }
  bool IsPalette() const { return bitCount <= 8; }
  // An 8-bit picture whose every stored colour is a grey.
  bool IsGrey() const;
};

// Sides beyond this are refused: far past what the image services make
// (65535), and small enough that resampling weights keep their precision.
constexpr int kMaxSide = 1 << 20;

// Validates the block; false for anything malformed or unsupported.
bool ParseDib(const BYTE* data, size_t size, DibInfo* info);

// Row readers: `out` receives width pixels.
void ReadRowBgr(const DibInfo& info, int y, BYTE* out);    // 3 bytes a pixel
// Grey values (luma of the colour); scratch holds 3 * width bytes and is not
// used for 8-bit pictures.
void ReadRowGrey(const DibInfo& info, int y, BYTE* out, BYTE* scratch);
// 24-bit rows are handed out in place; other depths are decoded into scratch.
const BYTE* RowBgr(const DibInfo& info, int y, BYTE* scratch);

// Luma with the broadcast weights 0.299, 0.587, 0.114, rounded.
inline BYTE Luma(BYTE r, BYTE g, BYTE b) {
  return static_cast<BYTE>((299u * r + 587u * g + 114u * b + 500u) / 1000u);
}

// Bytes per row of `width` pixels at `bitCount`, padded to 4; 0 on overflow.
DWORD RowStride(int width, int bitCount);

// A new bottom-up picture of 24 bits, or 8 bits with a grey palette, whose
// header and palette are filled and whose rows are zero. The writer keeps the
// handle locked; Release() unlocks it and hands it to the caller.
class DibWriter {
 public:
  DibWriter(int width, int height, int bitCount, LONG xPelsPerMeter, LONG yPelsPerMeter);
  DibWriter(const DibWriter&) = delete;
  DibWriter& operator=(const DibWriter&) = delete;
  ~DibWriter();

  explicit operator bool() const { return bits_ != nullptr; }
  // Row y counted from the top.
  BYTE* Row(int y) const {
    return bits_ + static_cast<size_t>(stride_) * static_cast<size_t>(height_ - 1 - y);
  }
  HTOVIMEM Release();

 private:
  OwnedMem mem_;
  BYTE* block_ = nullptr;
  BYTE* bits_ = nullptr;
  int height_ = 0;
  DWORD stride_ = 0;
};

}  // namespace pixamo
