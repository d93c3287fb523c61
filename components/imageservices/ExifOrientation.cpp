#include "ExifOrientation.h"

#include <cstring>

namespace qil {
namespace {

constexpr uint8_t kMarkerSos = 0xDA;
constexpr uint8_t kMarkerEoi = 0xD9;
constexpr uint8_t kMarkerApp1 = 0xE1;
constexpr uint16_t kTagOrientation = 0x0112;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr size_t kIfdEntrySize = 12;

class TiffReader {
 public:
  TiffReader(const uint8_t* data, size_t size, bool bigEndian)
      : data_(data), size_(size), bigEndian_(bigEndian) {}

  // Each read reports failure instead of touching bytes past the end.
  bool U16(size_t at, uint16_t* out) const {
    if (at > size_ || size_ - at < 2) return false;
    const uint8_t* p = data_ + at;
    *out = bigEndian_ ? static_cast<uint16_t>(p[0] << 8 | p[1])
                      : static_cast<uint16_t>(p[1] << 8 | p[0]);
    return true;
  }
  bool U32(size_t at, uint32_t* out) const {
    if (at > size_ || size_ - at < 4) return false;
    const uint8_t* p = data_ + at;
    *out = bigEndian_ ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                      : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
    return true;
  }
  size_t size() const { return size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  bool bigEndian_;
};

int ValidOrFallback(uint32_t value) {
  return value >= 1 && value <= 8 ? static_cast<int>(value) : kOrientationUpright;
}

}  // namespace

int ReadTiffOrientation(const uint8_t* tiff, size_t size) {
  if (!tiff || size < 8) return kOrientationUpright;
  bool bigEndian;
  if (tiff[0] == 'I' && tiff[1] == 'I') {
    bigEndian = false;
  } else if (tiff[0] == 'M' && tiff[1] == 'M') {
    bigEndian = true;
  } else {
    return kOrientationUpright;
  }
  TiffReader reader(tiff, size, bigEndian);
  uint16_t magic = 0;
  uint32_t ifdOffset = 0;
  if (!reader.U16(2, &magic) || magic != 42 || !reader.U32(4, &ifdOffset)) {
    return kOrientationUpright;
  }
  uint16_t entryCount = 0;
  if (!reader.U16(ifdOffset, &entryCount)) return kOrientationUpright;
  // Only IFD0 is read and its next-IFD link is never followed, so a chain of
  // IFDs that loops back on itself cannot keep this reader busy.
  size_t firstEntry = size_t(ifdOffset) + 2;
  size_t room = (size - firstEntry) / kIfdEntrySize;
  size_t entries = entryCount < room ? entryCount : room;
  for (size_t i = 0; i < entries; ++i) {
    size_t at = firstEntry + i * kIfdEntrySize;
    uint16_t tag = 0, type = 0;
    uint32_t count = 0;
    if (!reader.U16(at, &tag) || !reader.U16(at + 2, &type) || !reader.U32(at + 4, &count)) {
      break;
    }
    if (tag != kTagOrientation) continue;
    if (count != 1) return kOrientationUpright;
    if (type == kTypeShort) {
      uint16_t value = 0;
      return reader.U16(at + 8, &value) ? ValidOrFallback(value) : kOrientationUpright;
    }
    if (type == kTypeLong) {
      uint32_t value = 0;
      return reader.U32(at + 8, &value) ? ValidOrFallback(value) : kOrientationUpright;
    }
    return kOrientationUpright;
  }
  return kOrientationUpright;
}

int ReadJpegExifOrientation(const uint8_t* data, size_t size) {
  if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return kOrientationUpright;
  static const uint8_t kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
  size_t pos = 2;
  while (pos < size) {
    if (data[pos] != 0xFF) return kOrientationUpright;
    // Any number of fill bytes may precede a marker code.
    while (pos < size && data[pos] == 0xFF) ++pos;
    if (pos >= size) break;
    uint8_t marker = data[pos++];
    if (marker == kMarkerSos || marker == kMarkerEoi) break;
    bool standalone = marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
    if (standalone) continue;
    if (size - pos < 2) break;
    size_t length = size_t(data[pos]) << 8 | data[pos + 1];
    if (length < 2 || length > size - pos) break;
    const uint8_t* body = data + pos + 2;
    size_t bodySize = length - 2;
    if (marker == kMarkerApp1 && bodySize >= sizeof(kExifId) &&
        std::memcmp(body, kExifId, sizeof(kExifId)) == 0) {
      int orientation = ReadTiffOrientation(body + sizeof(kExifId), bodySize - sizeof(kExifId));
      if (orientation != kOrientationUpright) return orientation;
    }
    pos += length;
  }
  return kOrientationUpright;
}

void MapStoredToUpright(int orientation, int w, int h, int x, int y, int* ux, int* uy) {
  switch (orientation) {
    case 2: *ux = w - 1 - x; *uy = y; break;              // mirrored left-right
    case 3: *ux = w - 1 - x; *uy = h - 1 - y; break;      // turned half round
    case 4: *ux = x; *uy = h - 1 - y; break;              // mirrored top-bottom
    case 5: *ux = y; *uy = x; break;                      // transposed
    case 6: *ux = h - 1 - y; *uy = x; break;              // needs a quarter turn clockwise
    case 7: *ux = h - 1 - y; *uy = w - 1 - x; break;      // transversed
    case 8: *ux = y; *uy = w - 1 - x; break;              // needs a quarter turn anticlockwise
    default: *ux = x; *uy = y; break;
  }
}

}  // namespace qil
