// The Exif orientation of a JPEG file held in memory. Plain C++ over a byte
// span, without Windows headers: the bytes come from disk and may be hostile,
// and the fuzzers build this file natively.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qil {

// Exif orientation values 1..8; 1 means the stored picture is upright.
enum : int { kOrientationUpright = 1 };

// Walks the JPEG markers before the first scan and returns the orientation
// tag (0x0112) of IFD0 of the first "Exif\0\0" APP1 segment that has one.
// Anything missing, out of bounds or out of range gives 1.
int ReadJpegExifOrientation(const uint8_t* data, size_t size);

// The same for a bare TIFF structure (the bytes that follow "Exif\0\0").
int ReadTiffOrientation(const uint8_t* tiff, size_t size);

// True for orientations 5..8, whose upright picture swaps width and height.
inline bool OrientationSwapsAxes(int orientation) {
  return orientation >= 5 && orientation <= 8;
}

// Where the stored pixel (x, y) of a storedWidth x storedHeight picture lands
// in the upright picture (both top-down).
void MapStoredToUpright(int orientation, int storedWidth, int storedHeight, int x, int y,
                        int* uprightX, int* uprightY);

}  // namespace qil
