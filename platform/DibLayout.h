// The layout of a packed device-independent bitmap (header, bit-field masks,
// colour table, rows), checked against the bytes that hold it. Pictures come
// from album files, picture files and hosts, and GDI and the resampler read
// as far as the header claims: every component checks a picture here before
// handing it on. Plain C++17 without any Windows header, so that the check
// can be fuzzed natively (fuzz/).
#pragma once

#include <stdint.h>

namespace dib {

constexpr uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr uint32_t kV5HeaderSize = 124;   // BITMAPV5HEADER, the largest header GDI knows
constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;

// What a caller accepts beyond the layout being sound.
struct Rules {
  uint32_t maxHeaderSize = kV5HeaderSize;  // 40: BITMAPINFOHEADER only
  bool allowRle = false;                   // run-length coded rows (BI_RLE8, BI_RLE4)
  uint32_t maxSide = 0x7FFFFFFFu;          // largest width and height
};

struct Layout {
  uint32_t headerSize = 0;
  uint32_t width = 0;
  uint32_t height = 0;          // rows, whatever the direction
  bool topDown = false;
  uint16_t bitCount = 0;
  uint32_t compression = kRgb;
  uint32_t maskBytes = 0;       // 12 when bit-field masks follow a 40-byte header
  uint32_t colours = 0;         // entries of the colour table
  uint32_t headerAndColours = 0;  // offset of the rows
  uint64_t stride = 0;          // bytes per row, uncompressed
  uint32_t imageBytes = 0;      // rows, or the coded size of run-length rows
  bool compressed = false;
};

namespace detail {
inline uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
}  // namespace detail

// Why the picture in bytes[0, available) is unacceptable, or nullptr when
// its header, masks, colour table and rows all lie within those bytes (then
// *layout, when given, describes them). Any byte pattern is safe to pass.
inline const char* CheckLayout(const uint8_t* bytes, uint64_t available, const Rules& rules,
                               Layout* layout = nullptr) {
  using detail::U16;
  using detail::U32;
  if (!bytes || available < kInfoHeaderSize) return "picture shorter than its header";
  Layout l;
  l.headerSize = U32(bytes);
  if (l.headerSize < kInfoHeaderSize) return "picture header too small";
  if (l.headerSize > rules.maxHeaderSize) return "picture header size unsupported";
  if (l.headerSize > available) return "picture header runs past the block";
  const int32_t width = static_cast<int32_t>(U32(bytes + 4));
  const int32_t height = static_cast<int32_t>(U32(bytes + 8));
  if (width <= 0) return "picture width not positive";
  if (height == 0 || height == INT32_MIN) return "picture height invalid";
  l.width = static_cast<uint32_t>(width);
  l.topDown = height < 0;
  l.height = l.topDown ? 0u - static_cast<uint32_t>(height) : static_cast<uint32_t>(height);
  if (l.width > rules.maxSide || l.height > rules.maxSide) return "picture side too large";
  if (U16(bytes + 12) != 1) return "picture plane count is not 1";
  l.bitCount = U16(bytes + 14);
  l.compression = U32(bytes + 16);
  const uint32_t sizeImage = U32(bytes + 20);
  const uint32_t coloursUsed = U32(bytes + 32);

  uint64_t colours = coloursUsed;
  switch (l.bitCount) {
    case 1: case 4: case 8:
      if (colours == 0) colours = 1u << l.bitCount;
      if (colours > (1u << l.bitCount)) return "colour table larger than the bit count allows";
      break;
    case 16: case 24: case 32:
      if (colours > 256) return "colour table too large";
      break;
    default:
      return "picture bit count unsupported";
  }
  switch (l.compression) {
    case kRgb:
      break;
    case kBitFields:
      if (l.bitCount != 16 && l.bitCount != 32) return "bit-field masks need 16 or 32 bits";
      // Larger headers carry the masks inside.
      if (l.headerSize == kInfoHeaderSize) l.maskBytes = 12;
      break;
    case kRle8:
    case kRle4:
      if (!rules.allowRle) return "picture is compressed";
      if (l.bitCount != (l.compression == kRle8 ? 8 : 4)) return "run-length coding for another bit count";
      if (l.topDown) return "run-length coded rows cannot run top-down";
      if (sizeImage == 0) return "run-length coded picture without its size";
      l.compressed = true;
      break;
    default:
      return "picture compression unsupported";
  }
  l.colours = static_cast<uint32_t>(colours);
  // Every term below is under 2^37: no 64-bit overflow.
  const uint64_t headerAndColours = static_cast<uint64_t>(l.headerSize) + l.maskBytes + colours * 4;
  if (headerAndColours > available) return "colour table runs past the block";
  l.headerAndColours = static_cast<uint32_t>(headerAndColours);
  l.stride = (static_cast<uint64_t>(l.width) * l.bitCount + 31) / 32 * 4;
  uint64_t image = sizeImage;
  if (!l.compressed) {
    if (l.stride > available || l.height > available) return "picture rows exceed its size";
    image = l.stride * l.height;
  }
  if (image > available - headerAndColours) return "picture rows exceed its size";
  l.imageBytes = static_cast<uint32_t>(image);
  if (layout) *layout = l;
  return nullptr;
}

}  // namespace dib
