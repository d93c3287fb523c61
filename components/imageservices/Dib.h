// Packed device-independent bitmaps in memory handles: building one for a
// decoder and checking one handed in by a caller.
#pragma once

#include <cstdint>

#include "../../platform/qil.h"

namespace qil {

enum class PixelKind { Bgr24, Grey8 };

// Largest side a picture may have: album records keep 16-bit sizes.
constexpr uint32_t kMaxSide = 65535;
// Largest packed picture in bytes.
constexpr uint32_t kMaxDibBytes = 0x7FFFFFFF;

// Row stride of a bottom-up DIB, padded to 4 bytes; false on overflow.
bool DibStride(uint32_t width, uint32_t bitCount, uint32_t* stride);

// A bottom-up picture under construction in a movable, zero-filled memory
// handle (flags 0x42), kept locked until Release. A writer that is never
// released frees its handle.
class DibWriter {
 public:
  DibWriter() = default;
  ~DibWriter();
  DibWriter(const DibWriter&) = delete;
  DibWriter& operator=(const DibWriter&) = delete;

  // Allocates and fills header and palette; returns a QIL error code.
  int Create(uint32_t width, uint32_t height, PixelKind kind, int32_t xPelsPerMeter,
             int32_t yPelsPerMeter);
  // Row y counted from the top of the picture.
  uint8_t* Row(uint32_t y) const { return bits_ + size_t(height_ - 1 - y) * stride_; }
  uint32_t Width() const { return width_; }
  uint32_t Height() const { return height_; }
  uint32_t BytesPerPixel() const { return bytesPerPixel_; }
  // Unlocks the handle and gives it to the caller, who frees it with ToviMemFree.
  HTOVIMEM Release();

 private:
  HTOVIMEM mem_ = nullptr;  // owned until Release
  uint8_t* bits_ = nullptr;
  uint32_t width_ = 0, height_ = 0, stride_ = 0, bytesPerPixel_ = 0;
};

// Puts row y of a stored picture into an upright writer, turning and
// mirroring as the Exif orientation says. row holds the stored width in
// pixels of the writer's kind.
void PlaceStoredRow(DibWriter& dib, int orientation, uint32_t storedWidth, uint32_t storedHeight,
                    uint32_t y, const uint8_t* row);

// A caller's packed DIB, locked and checked: every size in its header lies
// within the handle. Unlocks on destruction.
class DibReader {
 public:
  explicit DibReader(HTOVIMEM dib);
  ~DibReader();
  DibReader(const DibReader&) = delete;
  DibReader& operator=(const DibReader&) = delete;

  bool ok() const { return ok_; }
  const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(base_); }
  const BITMAPINFOHEADER& Header() const { return Info()->bmiHeader; }
  const uint8_t* Bits() const { return base_ + headerAndColours_; }
  // Header plus colour table (or bit-field masks) in bytes.
  uint32_t HeaderAndColoursSize() const { return headerAndColours_; }
  // Header, colours and pixels: the packed size.
  uint32_t PackedSize() const { return headerAndColours_ + imageSize_; }

 private:
  HTOVIMEM mem_;  // not owned
  const uint8_t* base_ = nullptr;
  uint32_t headerAndColours_ = 0, imageSize_ = 0;
  bool ok_ = false;
};

}  // namespace qil
