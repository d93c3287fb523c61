// The operations of the batch dialog and what became of each file.
#pragma once

#include "../../platform/qil.h"

namespace batchel {

enum class BatchOp { RotateClockwise, Rotate180, RotateAnticlockwise, FlipHorizontal, FlipVertical, Grey, Shrink };

enum class FileOutcome {
  Changed,     // the file holds the processed picture
  NothingToDo, // already as asked (a shrink of a picture that is small enough)
  Skipped,     // read-only, in use, or the new file could not be written: untouched
  Unchanged,   // unreadable, a format that cannot be written back, or no lossless turn
};

inline bool IsTurn(BatchOp op) { return op != BatchOp::Grey && op != BatchOp::Shrink; }

// A new picture turned or flipped as op says, from a bottom-up BI_RGB
// picture of 24 bits or 8 bits (palette kept); null for other pictures or
// when memory is short. The argument stays the caller's.
HTOVIMEM TurnDib(HTOVIMEM dib, BatchOp op);

// Width and height of the longest side limited to maxSide, keeping the
// aspect ratio; false when the picture already fits.
bool ShrunkSize(int width, int height, int maxSide, int* newWidth, int* newHeight);

// Processes one picture file in place.
FileOutcome ProcessPictureFile(const char* path, BatchOp op, int maxSide);

}  // namespace batchel
