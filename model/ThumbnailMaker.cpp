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

ALBUM_API void* MakeThumbnailPicture(void* dib, WORD maxWidth, WORD maxHeight) {
  PictureHeader source;
  if (!ReadPictureHeader(dib, &source)) return nullptr;
  if (source.width <= 0 || source.height <= 0) return nullptr;

  // The thumbnail fits a square of the smaller limit; pictures are never enlarged.
  LONG side = maxWidth < maxHeight ? maxWidth : maxHeight;
  if (side <= 0) return nullptr;
  LONG width = source.width;
  LONG height = source.height;
  LONG larger = width > height ? width : height;
  if (larger > side) {
    // 64-bit products: a 65535-pixel side times the box side still fits.
    if (width >= height) {
      height = static_cast<LONG>((static_cast<long long>(side) * source.height + source.width / 2) / source.width);
      width = side;
    } else {
      width = static_cast<LONG>((static_cast<long long>(side) * source.width + source.height / 2) / source.height);
      height = side;
    }
    if (width < 1) width = 1;
    if (height < 1) height = 1;
  }

  void* resampled = ProcessResample(dib, width, height, source.xPelsPerMeter);
  if (!resampled) return nullptr;
  if (source.bitCount == 24) return resampled;
  void* converted = ProcessConvertTo24BitColor(resampled);
  ToviMemFree(resampled);
  return converted;
}

ALBUM_API CThumbnail2* CreateThumbnailFromPicture(void* dib, const char* path, WORD maxWidth,
                                                  WORD maxHeight, const char* description) {
  if (!dib || !path) return nullptr;
  tagALBUMINFOHEADER info;
  memset(&info, 0, sizeof(info));
  // An over-long path is refused: cut short, it would name another file.
  if (!CopyTextWhole(info.aiPath, path)) return nullptr;
  CopyText(info.aiDescription, description ? description : "");

  PictureHeader source;
  if (!ReadPictureHeader(dib, &source)) return nullptr;

  void* thumbnail = MakeThumbnailPicture(dib, maxWidth, maxHeight);
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

ALBUM_API CThumbnail2* CreateThumbnailFromFile(const char* path, WORD maxWidth, WORD maxHeight,
                                               const char* description) {
  if (!path) return nullptr;
  QILOPENOPTIONS options;
  memset(&options, 0, sizeof(options));
  options.nMode = 1;
  void* picture = QilOpenFile(path, 0, &options);
  if (!picture) return nullptr;
  CThumbnail2* item = CreateThumbnailFromPicture(picture, path, maxWidth, maxHeight, description);
  ToviMemFree(picture);
  return item;
}
