// JPEG work through libjpeg: lossless turns of the compressed blocks, and a
// decode and re-encode that keeps the file's Exif and other markers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "BatchOps.h"

namespace batchel {

enum class JpegTurnResult { Done, NotWholeBlocks, Failed };

// Turns or flips the JPEG in data without decoding it, copying every marker.
// Sizes that are not whole blocks (MCUs) on the edge that would move are
// refused with NotWholeBlocks rather than trimmed: trimming would drop up to
// 15 rows or columns of the user's picture, and again at every turn.
JpegTurnResult TurnJpegLossless(const uint8_t* data, size_t size, BatchOp op, std::vector<uint8_t>* out);

// The markers and resolution of a decoded JPEG, kept for its re-encoding.
struct JpegExtras {
  struct Marker {
    int code;
    std::vector<uint8_t> data;
  };
  std::vector<Marker> markers;  // APP1-APP13, APP15 and COM, in file order
  bool hasExif = false;
  bool hasDensity = false;
  uint8_t densityUnit = 0;
  uint16_t xDensity = 1, yDensity = 1;
};

// Decodes the stored pixels (no Exif orientation applied: the kept Exif
// block goes on saying how to show them) into a bottom-up picture: 24 bits,
// or 8 bits with a grey palette for a grey JPEG. Null when the file cannot
// be decoded or is CMYK.
HTOVIMEM DecodeJpeg(const uint8_t* data, size_t size, JpegExtras* extras);

// Encodes a bottom-up 24-bit or 8-bit picture at quality 90 with the kept
// markers. False on failure.
bool EncodeJpeg(HTOVIMEM dib, const JpegExtras& extras, std::vector<uint8_t>* out);

}  // namespace batchel
