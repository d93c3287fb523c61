// The preparation of pictures stored in brush, stamp and shape albums:
// fitted, made grey, resampled, then inverted and brightness-scaled as the
// switches in "album.ini" ask.
#include <album.h>
#include <ResourceAlbums.h>

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include "platform/Memory.h"
#include "platform/pixamo.h"

namespace {

const int kBrushSide = 128;
const int kStampSide = 256;
const int kStampResolution = 72;
const int kSoftening = -192;

struct Switches {
  bool invert;
  bool scale;
};

// Read at every preparation, so that an edited "album.ini" counts from the
// next import on.
bool ReadSwitch(const char* section, const char* key, const char* fallback) {
  char value[255] = "";
  GetPrivateProfileStringA(section, key, fallback, value, sizeof(value), "album.ini");
  return _stricmp(value, "TRUE") == 0;
}

Switches ReadSwitches(const char* section) {
  return Switches{ReadSwitch(section, "Invert", "FALSE"), ReadSwitch(section, "Scale", "TRUE")};
}

// Fits width x height into limit x limit, keeping the aspect with rounding;
// a side that rounds to nothing keeps one pixel.
void FitInto(int limit, int* width, int* height) {
  long long w = *width, h = *height;
  if (w <= 0 || h <= 0 || (w <= limit && h <= limit)) return;
  if (w >= h) {
    h = (h * limit + w / 2) / w;
    w = limit;
  } else {
    w = (w * limit + h / 2) / h;
    h = limit;
  }
  *width = w < 1 ? 1 : static_cast<int>(w);
  *height = h < 1 ? 1 : static_cast<int>(h);
}

// Replaces *picture by made (both may be null), releasing the old one.
void Replace(HTOVIMEM* picture, HTOVIMEM made) {
  if (*picture) ToviMemFree(*picture);
  *picture = made;
}

HTOVIMEM Prepare(HTOVIMEM source, int width, int height, int limit, int resolution, const char* section) {
  if (width <= 0 || height <= 0) return nullptr;
  FitInto(limit, &width, &height);
  HTOVIMEM greyCopy = IsDibGray(source) ? nullptr : ProcessConvertToGrayScale(source);
  HTOVIMEM grey = IsDibGray(source) ? source : greyCopy;
  HTOVIMEM result = grey ? ProcessResample(grey, width, height, resolution) : nullptr;
  const Switches switches = ReadSwitches(section);
  if (switches.invert && result) Replace(&result, ProcessNegative(result));
  if (switches.scale && result) Replace(&result, ProcessBrightnessScale(result, kSoftening));
  if (greyCopy) ToviMemFree(greyCopy);
  return result;
}

}  // namespace

void* PrepareBrushPicture(void* source) {
  if (!source) return nullptr;
  int width = 0, height = 0, resolution = 0;
  {
    MemLock lock(source);
    if (!lock || ToviMemSize(source) < sizeof(BITMAPINFOHEADER)) return nullptr;
    const auto* header = static_cast<const BITMAPINFOHEADER*>(lock.bytes());
    width = header->biWidth;
    // Top-down pictures keep their size too.
    height = header->biHeight == LONG_MIN ? 0 : labs(header->biHeight);
    resolution = header->biXPelsPerMeter;
  }
  return Prepare(source, width, height, kBrushSide, resolution, "Brush Parameter");
}

void* PrepareStampPicture(void* source) {
  if (!source) return nullptr;
  int width = 0, height = 0;
  GetDibSize(source, &width, &height);
  return Prepare(source, width, height, kStampSide, kStampResolution, "Stamp Parameter");
}
