// Picture decoders of the image services. Each turns a whole file held in
// memory into a new picture handle (24-bit colour or 8-bit grey, upright,
// bottom-up) and returns a QIL error code; *picture is set only on success.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../../platform/qil.h"

namespace qil {

struct JpegDecodeRequest {
  // Decode at 1/scaleDenominator of the full size (1, 2, 4 or 8). libjpeg
  // scales inside the inverse DCT, so a reduced decode costs a fraction of a
  // full one: the road for thumbnails.
  unsigned scaleDenominator = 1;
  // When non-zero: pick the largest denominator that keeps the longer side
  // at least this long (overrides scaleDenominator).
  unsigned minimumLongSide = 0;
  // Out: the whole picture's upright size.
  unsigned fullWidth = 0;
  unsigned fullHeight = 0;
};

int DecodeJpeg(const uint8_t* data, size_t size, JpegDecodeRequest& request,
               HTOVIMEM* picture);

// Every format the platform's imaging component reads (PNG, TIFF, GIF, BMP,
// ICO and others), found by content.
int DecodeWithWic(const uint8_t* data, size_t size, HTOVIMEM* picture);

// True when the bytes begin like a JPEG stream (SOI then a marker).
inline bool LooksLikeJpeg(const uint8_t* data, size_t size) {
  return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

// Pixels per metre from a resolution in dots per inch; 0 when unknown.
int32_t PelsPerMeterFromDpi(double dpi);

}  // namespace qil
