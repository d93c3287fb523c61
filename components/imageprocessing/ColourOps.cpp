// Colour conversions and per-channel tone changes.
//
// ProcessNegative and ProcessBrightnessScale keep the picture's depth and
// layout and pass each colour channel through one 256-entry table. Grey
// pictures with the plain ramp palette (index = tone, as the grey conversion
// makes them) change their pixels and keep the ramp, so that a reader taking
// the indices as tones sees the change too; other palette pictures change
// their colour table.
#include <cstring>
#include <utility>
#include <vector>

#include "Dib.h"
#include "pixamo.h"

namespace pixamo {
namespace {

// Runs `work` on the validated picture inside a locked handle.
template <typename Work>
auto WithDib(HTOVIMEM dib, Work work) -> decltype(work(std::declval<const DibInfo&>())) {
  using Result = decltype(work(std::declval<const DibInfo&>()));
  if (!dib) return Result();
  try {
    MemLock lock(dib);
    if (!lock) return Result();
    DibInfo info;
    if (!ParseDib(lock.bytes(), ToviMemSize(dib), &info)) return Result();
    return work(info);
  } catch (...) {
    return Result();
  }
}

HTOVIMEM ConvertTo24(const DibInfo& info) {
  DibWriter out(info.width, info.height, 24, info.xPelsPerMeter, info.yPelsPerMeter);
  if (!out) return nullptr;
  for (int y = 0; y < info.height; ++y) ReadRowBgr(info, y, out.Row(y));
  return out.Release();
}

HTOVIMEM ConvertToGrey(const DibInfo& info) {
  DibWriter out(info.width, info.height, 8, info.xPelsPerMeter, info.yPelsPerMeter);
  if (!out) return nullptr;
  std::vector<BYTE> scratch(static_cast<size_t>(info.width) * 3);
  for (int y = 0; y < info.height; ++y) ReadRowGrey(info, y, out.Row(y), scratch.data());
  return out.Release();
}

inline DWORD EncodeField(const ChannelField& f, BYTE value) {
  uint64_t top = (1ull << f.bits) - 1;
  return static_cast<DWORD>(((value * top + 127) / 255) << f.shift);
}

inline BYTE DecodeField(const ChannelField& f, DWORD pixel) {
  DWORD v = static_cast<DWORD>((pixel >> f.shift) & ((1ull << f.bits) - 1));
  if (f.bits > 8) v >>= (f.bits - 8);
  return f.expand[v];
}

bool IsGreyRamp(const DibInfo& info) {
  if (info.bitCount != 8 || info.paletteCount != 256) return false;
  for (int i = 0; i < 256; ++i) {
    const RGBQUAD& c = info.palette[i];
    if (c.rgbRed != i || c.rgbGreen != i || c.rgbBlue != i) return false;
  }
  return true;
}

// A copy of the picture with every colour channel passed through `table`.
HTOVIMEM MapChannels(const DibInfo& info, const BYTE table[256]) {
  const DWORD total = info.bitsOffset + info.imageBytes;
  OwnedMem mem(ToviMemAlloc(TOVI_FIXED_ZERO, total));
  if (!mem.get()) return nullptr;
  MemLock lock(mem.get());
  if (!lock) return nullptr;
  BYTE* block = lock.bytes();
  std::memcpy(block, info.header, total);
  // The copy states its own size; whatever the source claimed is not kept.
  reinterpret_cast<BITMAPINFOHEADER*>(block)->biSizeImage = info.imageBytes;

  if (IsGreyRamp(info)) {
    BYTE* bits = block + info.bitsOffset;
    for (int y = 0; y < info.height; ++y) {
      BYTE* row = bits + static_cast<size_t>(info.stride) * y;
      for (int x = 0; x < info.width; ++x) row[x] = table[row[x]];
    }
    return mem.release();
  }
  if (info.IsPalette()) {
    RGBQUAD* palette = reinterpret_cast<RGBQUAD*>(block + (info.bitsOffset - info.paletteCount * sizeof(RGBQUAD)));
    for (DWORD i = 0; i < info.paletteCount; ++i) {
      palette[i].rgbRed = table[palette[i].rgbRed];
      palette[i].rgbGreen = table[palette[i].rgbGreen];
      palette[i].rgbBlue = table[palette[i].rgbBlue];
    }
    return mem.release();
  }

  BYTE* bits = block + info.bitsOffset;
  const size_t rowBytes = static_cast<size_t>(info.width) * (info.bitCount / 8);
  for (int y = 0; y < info.height; ++y) {
    BYTE* row = bits + static_cast<size_t>(info.stride) * y;
    if (info.bitCount == 24) {
      for (size_t i = 0; i < rowBytes; ++i) row[i] = table[row[i]];
      continue;
    }
    const int bytes = info.bitCount / 8;
    for (size_t i = 0; i < rowBytes; i += bytes) {
      DWORD p = 0;
      std::memcpy(&p, row + i, bytes);
      DWORD mapped = p & ~info.fieldMask;
      for (const ChannelField& f : info.fields) mapped |= EncodeField(f, table[DecodeField(f, p)]);
      std::memcpy(row + i, &mapped, bytes);
    }
  }
  return mem.release();
}

}  // namespace
}  // namespace pixamo

using pixamo::DibInfo;

PIXAMO_API HTOVIMEM ProcessConvertTo24BitColor(HTOVIMEM dib) {
  return pixamo::WithDib(dib, pixamo::ConvertTo24);
}

// 8 bits with a grey palette; colours become their luma.
PIXAMO_API HTOVIMEM ProcessConvertToGrayScale(HTOVIMEM dib) {
  return pixamo::WithDib(dib, pixamo::ConvertToGrey);
}

PIXAMO_API HTOVIMEM ProcessNegative(HTOVIMEM dib) {
  BYTE table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<BYTE>(255 - i);
  return pixamo::WithDib(dib, [&](const DibInfo& info) { return pixamo::MapChannels(info, table); });
}

// `amount` runs from -255 to 255 and scales every channel towards an end of
// the range: a negative amount multiplies by (255 + amount) / 255, so -255
// gives black and -192 leaves a quarter of the brightness (how brushes are
// softened); a positive amount moves each channel that fraction of its
// distance to white. 0 copies the picture. Amounts outside the range are
// refused. Scaling rather than adding keeps the relative tones of a brush,
// where adding would flatten every dark tone to black.
PIXAMO_API HTOVIMEM ProcessBrightnessScale(HTOVIMEM dib, int amount) {
  if (amount < -255 || amount > 255) return nullptr;
  BYTE table[256];
  for (int c = 0; c < 256; ++c) {
    int v = amount <= 0 ? (c * (255 + amount) + 127) / 255 : c + ((255 - c) * amount + 127) / 255;
    table[c] = static_cast<BYTE>(v);
  }
  return pixamo::WithDib(dib, [&](const DibInfo& info) { return pixamo::MapChannels(info, table); });
}

PIXAMO_API int IsDibGray(HTOVIMEM dib) {
  return pixamo::WithDib(dib, [](const DibInfo& info) { return info.IsGrey() ? 1 : 0; });
}

// Width and height in pixels (the height positive for top-down pictures
// too); both 0 when the handle holds no usable picture.
PIXAMO_API void GetDibSize(HTOVIMEM dib, int* width, int* height) {
  struct Size {
    int w = 0, h = 0;
  };
  Size size = pixamo::WithDib(dib, [](const DibInfo& info) { return Size{info.width, info.height}; });
  if (width) *width = size.w;
  if (height) *height = size.h;
}
