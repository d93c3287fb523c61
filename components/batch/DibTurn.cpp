#include <windows.h>

#include <cstdint>
#include <cstring>

#include "../../platform/DibLayout.h"
#include "../../platform/Memory.h"
#include "BatchOps.h"

namespace batchel {

namespace {

uint32_t Stride(uint32_t width, uint32_t bytesPerPixel) { return (width * bytesPerPixel + 3) & ~3u; }

}  // namespace

HTOVIMEM TurnDib(HTOVIMEM dib, BatchOp op) {
  if (!dib || !IsTurn(op)) return nullptr;
  MemLock lock(dib);
  if (!lock) return nullptr;
  const DWORD total = ToviMemSize(dib);
  dib::Rules rules;
  rules.maxSide = 65535;
  dib::Layout layout;
  if (dib::CheckLayout(lock.as<uint8_t>(), total, rules, &layout)) return nullptr;
  // Turned and flipped here: plain bottom-up rows of 8 or 24 bits.
  if (layout.compression != dib::kRgb || layout.topDown || (layout.bitCount != 24 && layout.bitCount != 8))
    return nullptr;
  const auto* header = lock.as<BITMAPINFOHEADER>();
  const uint32_t w = layout.width, h = layout.height;
  const uint32_t bpp = layout.bitCount / 8;
  const uint64_t headerBytes = layout.headerAndColours;
  const uint32_t stride = Stride(w, bpp);

  const bool quarter = op == BatchOp::RotateClockwise || op == BatchOp::RotateAnticlockwise;
  const uint32_t nw = quarter ? h : w, nh = quarter ? w : h;
  const uint32_t newStride = Stride(nw, bpp);
  const uint64_t newTotal = headerBytes + uint64_t(newStride) * nh;
  if (newTotal > 0x7FFFFFFF) return nullptr;
  OwnedMem out(ToviMemAlloc(TOVI_MOVABLE_ZERO, static_cast<DWORD>(newTotal)));
  if (!out) return nullptr;
  MemLock outLock(out.get());
  if (!outLock) return nullptr;
  auto* base = outLock.as<uint8_t>();
  memcpy(base, lock.bytes(), static_cast<size_t>(headerBytes));
  auto* newHeader = reinterpret_cast<BITMAPINFOHEADER*>(base);
  newHeader->biWidth = static_cast<LONG>(nw);
  newHeader->biHeight = static_cast<LONG>(nh);
  newHeader->biSizeImage = newStride * nh;
  if (quarter) {
    newHeader->biXPelsPerMeter = header->biYPelsPerMeter;
    newHeader->biYPelsPerMeter = header->biXPelsPerMeter;
  }

  // Rows are stored bottom-up; x and y below count from the top left.
  const uint8_t* src = lock.as<uint8_t>() + headerBytes;
  uint8_t* dst = base + headerBytes;
  for (uint32_t y = 0; y < nh; ++y) {
    uint8_t* row = dst + size_t(nh - 1 - y) * newStride;
    for (uint32_t x = 0; x < nw; ++x) {
      uint32_t sx, sy;
      switch (op) {
        case BatchOp::RotateClockwise: sx = y; sy = h - 1 - x; break;
        case BatchOp::RotateAnticlockwise: sx = w - 1 - y; sy = x; break;
        case BatchOp::Rotate180: sx = w - 1 - x; sy = h - 1 - y; break;
        case BatchOp::FlipHorizontal: sx = w - 1 - x; sy = y; break;
        default: sx = x; sy = h - 1 - y; break;
      }
      const uint8_t* from = src + size_t(h - 1 - sy) * stride + size_t(sx) * bpp;
      memcpy(row + size_t(x) * bpp, from, bpp);
    }
  }
  return out.release();
}

bool ShrunkSize(int width, int height, int maxSide, int* newWidth, int* newHeight) {
  if (width <= 0 || height <= 0 || maxSide <= 0) return false;
  if (width <= maxSide && height <= maxSide) return false;
  if (width >= height) {
    *newWidth = maxSide;
    *newHeight = static_cast<int>((int64_t(height) * maxSide + width / 2) / width);
  } else {
    *newHeight = maxSide;
    *newWidth = static_cast<int>((int64_t(width) * maxSide + height / 2) / height);
  }
  if (*newWidth < 1) *newWidth = 1;
  if (*newHeight < 1) *newHeight = 1;
  return true;
}

}  // namespace batchel
