#include "Dib.h"

#include <cstring>

#include "ExifOrientation.h"
#include "Internal.h"
#include "../../platform/DibLayout.h"

namespace qil {
namespace {

bool MulU32(uint32_t a, uint32_t b, uint32_t* out) {
  uint64_t product = uint64_t(a) * b;
  if (product > 0xFFFFFFFFu) return false;
  *out = static_cast<uint32_t>(product);
  return true;
}

bool AddU32(uint32_t a, uint32_t b, uint32_t* out) {
  if (a > 0xFFFFFFFFu - b) return false;
  *out = a + b;
  return true;
}

constexpr uint32_t kGreyPaletteBytes = 256 * sizeof(RGBQUAD);

}  // namespace

bool DibStride(uint32_t width, uint32_t bitCount, uint32_t* stride) {
  uint32_t bits = 0;
  if (!MulU32(width, bitCount, &bits) || !AddU32(bits, 31, &bits)) return false;
  *stride = bits / 32 * 4;
  return true;
}

DibWriter::~DibWriter() {
  if (!mem_) return;
  ToviMemUnlock(mem_);
  ToviMemFree(mem_);
}

int DibWriter::Create(uint32_t width, uint32_t height, PixelKind kind, int32_t xPelsPerMeter,
                      int32_t yPelsPerMeter) {
  if (mem_ || width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) {
    return QIL_ERR_BAD_PICTURE;
  }
  bool grey = kind == PixelKind::Grey8;
  uint32_t bitCount = grey ? 8 : 24;
  uint32_t paletteBytes = grey ? kGreyPaletteBytes : 0;
  uint32_t stride = 0, imageSize = 0, total = 0;
  if (!DibStride(width, bitCount, &stride) || !MulU32(stride, height, &imageSize) ||
      !AddU32(sizeof(BITMAPINFOHEADER) + paletteBytes, imageSize, &total) ||
      total > kMaxDibBytes) {
    return QIL_ERR_BAD_PICTURE;
  }
  mem_ = ToviMemAlloc(TOVI_FIXED_ZERO, total);
  if (!mem_) return QIL_ERR_NO_MEMORY;
  auto* base = static_cast<uint8_t*>(ToviMemLock(mem_));
  if (!base) {
    ToviMemFree(mem_);
    mem_ = nullptr;
    return QIL_ERR_NO_MEMORY;
  }
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(base);
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = static_cast<LONG>(width);
  header->biHeight = static_cast<LONG>(height);  // positive: rows run bottom-up
  header->biPlanes = 1;
  header->biBitCount = static_cast<WORD>(bitCount);
  header->biCompression = BI_RGB;
  header->biSizeImage = imageSize;
  header->biXPelsPerMeter = xPelsPerMeter;
  header->biYPelsPerMeter = yPelsPerMeter;
  header->biClrUsed = grey ? 256 : 0;
  if (grey) {
    auto* palette = reinterpret_cast<RGBQUAD*>(base + sizeof(BITMAPINFOHEADER));
    for (int i = 0; i < 256; ++i) {
      palette[i].rgbBlue = palette[i].rgbGreen = palette[i].rgbRed = static_cast<BYTE>(i);
    }
  }
  bits_ = base + sizeof(BITMAPINFOHEADER) + paletteBytes;
  width_ = width;
  height_ = height;
  stride_ = stride;
  bytesPerPixel_ = bitCount / 8;
  return QIL_OK;
}

HTOVIMEM DibWriter::Release() {
  HTOVIMEM mem = mem_;
  if (mem) ToviMemUnlock(mem);
  mem_ = nullptr;
  bits_ = nullptr;
  return mem;
}

void PlaceStoredRow(DibWriter& dib, int orientation, uint32_t storedWidth, uint32_t storedHeight,
                    uint32_t y, const uint8_t* row) {
  const uint32_t bpp = dib.BytesPerPixel();
  if (orientation <= 1 || orientation > 8) {
    std::memcpy(dib.Row(y), row, size_t(storedWidth) * bpp);
    return;
  }
  for (uint32_t x = 0; x < storedWidth; ++x) {
    int ux = 0, uy = 0;
    MapStoredToUpright(orientation, static_cast<int>(storedWidth), static_cast<int>(storedHeight),
                       static_cast<int>(x), static_cast<int>(y), &ux, &uy);
    std::memcpy(dib.Row(static_cast<uint32_t>(uy)) + size_t(ux) * bpp, row + size_t(x) * bpp, bpp);
  }
}

DibReader::DibReader(HTOVIMEM dib) : mem_(dib) {
  if (!mem_) return;
  uint32_t available = ToviMemSize(mem_);
  base_ = static_cast<const uint8_t*>(ToviMemLock(mem_));
  dib::Rules rules;
  rules.allowRle = true;
  dib::Layout layout;
  if (!base_ || dib::CheckLayout(base_, available, rules, &layout)) return;
  headerAndColours_ = layout.headerAndColours;
  imageSize_ = layout.imageBytes;
  ok_ = true;
}

DibReader::~DibReader() {
  if (base_) ToviMemUnlock(mem_);
}

}  // namespace qil
