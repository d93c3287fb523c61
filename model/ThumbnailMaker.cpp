// Making an item's thumbnail from a picture file or a picture in memory.
#include <album.h>

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <new>

#include "platform/Text.h"
#include "platform/pixamo.h"

namespace {

struct PictureHeader {
  LONG width;
  LONG height;
  WORD bitCount;
  LONG xPelsPerMeter;
};

bool ReadPictureHeader(void* dib, PictureHeader* header) {
  if (!dib || ToviMemSize(dib) < sizeof(BITMAPINFOHEADER)) return false;
  const auto* info = static_cast<const BITMAPINFOHEADER*>(ToviMemLock(dib));
  if (!info) return false;
  header->width = info->biWidth;
  // The height is negative for top-down pictures; the size is what counts.
  header->height = info->biHeight < 0 ? -info->biHeight : info->biHeight;
  header->bitCount = info->biBitCount;
  header->xPelsPerMeter = info->biXPelsPerMeter;
  ToviMemUnlock(dib);
  return true;
}

}  // namespace

namespace {

// The thumbnail of a picture: sized from the whole source picture's width
// and height (the picture given may be a reduced decode of it), resampled,
// and converted to 24 bits when the picture has another depth.
void* MakeThumbnailOfSize(void* dib, LONG sourceWidth, LONG sourceHeight, WORD maxWidth, WORD maxHeight) {
  PictureHeader picture;
  if (!ReadPictureHeader(dib, &picture)) return nullptr;
  if (picture.width <= 0 || picture.height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return nullptr;

  // The thumbnail fits a square of the smaller limit; pictures are never enlarged.
  LONG side = maxWidth < maxHeight ? maxWidth : maxHeight;
  if (side <= 0) return nullptr;
  LONG width = sourceWidth;
  LONG height = sourceHeight;
  LONG larger = width > height ? width : height;
  if (larger > side) {
    // 64-bit products: a 65535-pixel side times the box side still fits.
    if (width >= height) {
      height = static_cast<LONG>((static_cast<long long>(side) * sourceHeight + sourceWidth / 2) / sourceWidth);
      width = side;
    } else {
      width = static_cast<LONG>((static_cast<long long>(side) * sourceWidth + sourceHeight / 2) / sourceHeight);
      height = side;
    }
    if (width < 1) width = 1;
    if (height < 1) height = 1;
  }

  void* resampled = ProcessResample(dib, width, height, picture.xPelsPerMeter);
  if (!resampled) return nullptr;
  if (picture.bitCount == 24) return resampled;
  void* converted = ProcessConvertTo24BitColor(resampled);
  ToviMemFree(resampled);
  return converted;
}

}  // namespace

ALBUM_API void* MakeThumbnailPicture(void* dib, WORD maxWidth, WORD maxHeight) {
  PictureHeader source;
  if (!ReadPictureHeader(dib, &source)) return nullptr;
  return MakeThumbnailOfSize(dib, source.width, source.height, maxWidth, maxHeight);
}

namespace {

// The item for a picture of a file; source holds the size and depth of the
// whole source picture (the picture given may be a reduced decode of it).
CThumbnail2* MakeItem(void* dib, const PictureHeader& source, const char* path, WORD maxWidth, WORD maxHeight,
                      const char* description) {
  tagALBUMINFOHEADER info;
  memset(&info, 0, sizeof(info));
  // An over-long path is refused: cut short, it would name another file.
  if (!CopyTextWhole(info.aiPath, path)) return nullptr;
  CopyText(info.aiDescription, description ? description : "");

  void* thumbnail = MakeThumbnailOfSize(dib, source.width, source.height, maxWidth, maxHeight);
  if (!thumbnail) return nullptr;

  struct _stat64 status;
  PictureHeader made;
  if (_stat64(path, &status) != 0 || !ReadPictureHeader(thumbnail, &made)) {
    ToviMemFree(thumbnail);
    return nullptr;
  }

  info.aiFileSize = static_cast<DWORD>(status.st_size);
  // On Windows st_ctime is the creation time; a copied file can be created
  // after its last change, and either one moving means the file changed.
  info.aiFileTime = static_cast<DWORD>(status.st_mtime > status.st_ctime ? status.st_mtime : status.st_ctime);
  info.aiWidth = static_cast<WORD>(source.width);
  info.aiHeight = static_cast<WORD>(source.height);
  info.aiBitCount = source.bitCount;
  info.aiThumbWidth = static_cast<WORD>(made.width);
  info.aiThumbHeight = static_cast<WORD>(made.height);
  info.aiThumbSize = ToviMemSize(thumbnail);

  CThumbnail2* item = new (std::nothrow) CThumbnail2(&info, thumbnail, 0, 1);
  if (!item) ToviMemFree(thumbnail);
  return item;
}

}  // namespace

ALBUM_API CThumbnail2* CreateThumbnailFromPicture(void* dib, const char* path, WORD maxWidth,
                                                  WORD maxHeight, const char* description) {
  if (!dib || !path) return nullptr;
  PictureHeader source;
  if (!ReadPictureHeader(dib, &source)) return nullptr;
  return MakeItem(dib, source, path, maxWidth, maxHeight, description);
}

ALBUM_API CThumbnail2* CreateThumbnailFromFile(const char* path, WORD maxWidth, WORD maxHeight,
                                               const char* description) {
  if (!path) return nullptr;
  QILOPENOPTIONS options;
  memset(&options, 0, sizeof(options));
  options.nMode = 1;
  // A JPEG may be decoded reduced, as long as its longer side keeps four
  // times the thumbnail's: the resampler then still averages every
  // thumbnail pixel over a 4 x 4 area, and the decode costs a fraction.
  WORD side = maxWidth < maxHeight ? maxWidth : maxHeight;
  options.nReducedSide = 4u * side;
  void* picture = QilOpenFile(path, 0, &options);
  if (!picture) return nullptr;
  PictureHeader source;
  CThumbnail2* item = nullptr;
  if (ReadPictureHeader(picture, &source)) {
    // The record describes the whole source picture, not the reduced decode.
    if (options.nFullWidth && options.nFullHeight) {
      source.width = static_cast<LONG>(options.nFullWidth);
      source.height = static_cast<LONG>(options.nFullHeight);
    }
    item = MakeItem(picture, source, path, maxWidth, maxHeight, description);
  }
  ToviMemFree(picture);
  return item;
}
