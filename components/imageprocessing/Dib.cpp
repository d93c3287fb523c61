#include "Dib.h"

#include <cstring>

#include "../../platform/DibLayout.h"

namespace pixamo {

namespace {

bool MulFits(uint64_t a, uint64_t b, uint64_t limit, uint64_t* out) {
  uint64_t product;
  if (__builtin_mul_overflow(a, b, &product) || product > limit) return false;
  *out = product;
  return true;
}

// A mask is usable when it is one run of set bits inside the pixel.
bool DescribeField(DWORD mask, int bitCount, ChannelField* field) {
  if (mask == 0) return false;
  if (bitCount == 16 && (mask & 0xFFFF0000u)) return false;
  int shift = __builtin_ctz(mask);
  uint64_t run = static_cast<uint64_t>(mask) >> shift;
  if ((run & (run + 1)) != 0) return false;
  field->shift = shift;
  field->bits = __builtin_popcount(mask);
  int kept = field->bits < 8 ? field->bits : 8;
  unsigned top = (1u << kept) - 1;
  for (unsigned v = 0; v <= top; ++v) field->expand[v] = static_cast<BYTE>((v * 255u + top / 2) / top);
  return true;
}

inline BYTE ReadField(const ChannelField& f, DWORD pixel) {
  DWORD v = (pixel >> f.shift) & static_cast<DWORD>((1ull << f.bits) - 1);
  if (f.bits > 8) v >>= (f.bits - 8);
  return f.expand[v];
}

inline void PutBgr(BYTE* out, const RGBQUAD& c) {
  out[0] = c.rgbBlue;
  out[1] = c.rgbGreen;
  out[2] = c.rgbRed;
}

}  // namespace

bool DibInfo::IsGrey() const {
  if (bitCount != 8) return false;
  for (DWORD i = 0; i < paletteCount; ++i) {
    if (palette[i].rgbRed != palette[i].rgbGreen || palette[i].rgbGreen != palette[i].rgbBlue)
      return false;
  }
  return true;
}

DWORD RowStride(int width, int bitCount) {
  if (width <= 0 || bitCount <= 0) return 0;
  uint64_t rowBits = static_cast<uint64_t>(width) * static_cast<uint64_t>(bitCount);
  uint64_t stride = (rowBits + 31) / 32 * 4;
  return stride > 0xFFFFFFFFull ? 0 : static_cast<DWORD>(stride);
}

bool ParseDib(const BYTE* data, size_t size, DibInfo* info) {
  if (!data || !info) return false;
  dib::Rules rules;
  rules.maxHeaderSize = dib::kInfoHeaderSize;
  rules.maxSide = kMaxSide;
  dib::Layout layout;
  if (dib::CheckLayout(data, size, rules, &layout)) return false;
  BITMAPINFOHEADER h;
  std::memcpy(&h, data, sizeof h);
  const int bpp = layout.bitCount;
  const int height = static_cast<int>(layout.height);
  const uint64_t offset = layout.headerAndColours;
  const uint64_t tableBytes = static_cast<uint64_t>(layout.colours) * sizeof(RGBQUAD);
  const uint64_t imageBytes = layout.imageBytes;
  const DWORD stride = static_cast<DWORD>(layout.stride);
  DWORD masks[3];
  if (layout.compression == dib::kBitFields) {
    std::memcpy(masks, data + sizeof(BITMAPINFOHEADER), sizeof masks);
  } else if (bpp == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  } else {
    masks[0] = 0x00FF0000;
    masks[1] = 0x0000FF00;
    masks[2] = 0x000000FF;
  }

  info->width = h.biWidth;
  info->height = height;
  info->topDown = h.biHeight < 0;
  info->bitCount = bpp;
  info->compression = h.biCompression;
  info->xPelsPerMeter = h.biXPelsPerMeter;
  info->yPelsPerMeter = h.biYPelsPerMeter;
  info->stride = stride;
  info->header = data;
  info->bitsOffset = static_cast<DWORD>(offset);
  info->imageBytes = static_cast<DWORD>(imageBytes);
  info->bits = data + offset;
  info->fieldMask = 0;
  std::memset(info->fullPalette, 0, sizeof info->fullPalette);
  if (bpp <= 8) {
    info->paletteCount = layout.colours;
    info->palette = reinterpret_cast<const RGBQUAD*>(data + offset - tableBytes);
    std::memcpy(info->fullPalette, info->palette, static_cast<size_t>(tableBytes));
    for (int i = 0; i < 256; ++i) {
      const RGBQUAD& c = info->fullPalette[i];
      info->greyPalette[i] = Luma(c.rgbRed, c.rgbGreen, c.rgbBlue);
    }
  } else {
    info->paletteCount = 0;
    info->palette = nullptr;
    if (bpp != 24) {
      for (int c = 0; c < 3; ++c) {
        if (!DescribeField(masks[c], bpp, &info->fields[c])) return false;
        if (info->fieldMask & masks[c]) return false;
        info->fieldMask |= masks[c];
      }
    }
  }
  return true;
}

void ReadRowBgr(const DibInfo& info, int y, BYTE* out) {
  const BYTE* row = info.Row(y);
  const int w = info.width;
  switch (info.bitCount) {
    case 1:
      for (int x = 0; x < w; ++x)
        PutBgr(out + 3 * x, info.fullPalette[(row[x >> 3] >> (7 - (x & 7))) & 1]);
      break;
    case 4:
      for (int x = 0; x < w; ++x)
        PutBgr(out + 3 * x, info.fullPalette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]);
      break;
    case 8:
      for (int x = 0; x < w; ++x) PutBgr(out + 3 * x, info.fullPalette[row[x]]);
      break;
    case 16:
      for (int x = 0; x < w; ++x) {
        DWORD p = row[2 * x] | (row[2 * x + 1] << 8);
        out[3 * x] = ReadField(info.fields[2], p);
        out[3 * x + 1] = ReadField(info.fields[1], p);
        out[3 * x + 2] = ReadField(info.fields[0], p);
      }
      break;
    case 24:
      std::memcpy(out, row, static_cast<size_t>(w) * 3);
      break;
    case 32:
      for (int x = 0; x < w; ++x) {
        DWORD p;
        std::memcpy(&p, row + 4 * x, 4);
        out[3 * x] = ReadField(info.fields[2], p);
        out[3 * x + 1] = ReadField(info.fields[1], p);
        out[3 * x + 2] = ReadField(info.fields[0], p);
      }
      break;
  }
}

const BYTE* RowBgr(const DibInfo& info, int y, BYTE* scratch) {
  if (info.bitCount == 24) return info.Row(y);
  ReadRowBgr(info, y, scratch);
  return scratch;
}

void ReadRowGrey(const DibInfo& info, int y, BYTE* out, BYTE* scratch) {
  const int w = info.width;
  if (info.bitCount == 8) {
    const BYTE* row = info.Row(y);
    for (int x = 0; x < w; ++x) out[x] = info.greyPalette[row[x]];
    return;
  }
  const BYTE* bgr = RowBgr(info, y, scratch);
  for (int x = 0; x < w; ++x) out[x] = Luma(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]);
}

DibWriter::DibWriter(int width, int height, int bitCount, LONG xPelsPerMeter,
                     LONG yPelsPerMeter) {
  if (width <= 0 || height <= 0 || (bitCount != 8 && bitCount != 24)) return;
  DWORD stride = RowStride(width, bitCount);
  uint64_t imageBytes;
  if (stride == 0 || !MulFits(stride, static_cast<uint64_t>(height), 0x7FFFFFFFull, &imageBytes))
    return;
  DWORD tableBytes = bitCount == 8 ? 256 * sizeof(RGBQUAD) : 0;
  uint64_t total = sizeof(BITMAPINFOHEADER) + tableBytes + imageBytes;
  if (total > 0x7FFFFFFFull) return;
  OwnedMem mem(ToviMemAlloc(TOVI_FIXED_ZERO, static_cast<DWORD>(total)));
  if (!mem.get()) return;
  BYTE* block = static_cast<BYTE*>(ToviMemLock(mem.get()));
  if (!block) return;

  BITMAPINFOHEADER h = {};
  h.biSize = sizeof h;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(bitCount);
  h.biCompression = BI_RGB;
  h.biSizeImage = static_cast<DWORD>(imageBytes);
  h.biXPelsPerMeter = xPelsPerMeter;
  h.biYPelsPerMeter = yPelsPerMeter;
  h.biClrUsed = bitCount == 8 ? 256 : 0;
  std::memcpy(block, &h, sizeof h);
  if (bitCount == 8) {
    RGBQUAD* table = reinterpret_cast<RGBQUAD*>(block + sizeof h);
    for (int i = 0; i < 256; ++i) {
      table[i].rgbBlue = table[i].rgbGreen = table[i].rgbRed = static_cast<BYTE>(i);
      table[i].rgbReserved = 0;
    }
  }
  block_ = block;
  bits_ = block + sizeof h + tableBytes;
  height_ = height;
  stride_ = stride;
  mem_.reset(mem.release());
}

DibWriter::~DibWriter() {
  if (block_) ToviMemUnlock(mem_.get());
}

HTOVIMEM DibWriter::Release() {
  if (!block_) return nullptr;
  ToviMemUnlock(mem_.get());
  block_ = nullptr;
  bits_ = nullptr;
  return mem_.release();
}

}  // namespace pixamo
