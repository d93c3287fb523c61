// Image processing ("Pixamo.dll"): resampling, colour conversions, brush and
// stamp marks in picture files, stop requests and modal bracketing. Every
// function that returns a picture makes a new handle and leaves its argument
// untouched and owned by the caller.
#pragma once

#include "qil.h"

#ifdef PIXAMO_BUILDING_DLL
#define PIXAMO_API extern "C" __declspec(dllexport)
#else
#define PIXAMO_API extern "C" __declspec(dllimport)
#endif

PIXAMO_API HTOVIMEM ProcessResample(HTOVIMEM dib, int width, int height, int xPelsPerMeter);
PIXAMO_API HTOVIMEM ProcessConvertTo24BitColor(HTOVIMEM dib);
PIXAMO_API HTOVIMEM ProcessConvertToGrayScale(HTOVIMEM dib);
PIXAMO_API HTOVIMEM ProcessNegative(HTOVIMEM dib);
PIXAMO_API HTOVIMEM ProcessBrightnessScale(HTOVIMEM dib, int amount);
PIXAMO_API int IsDibGray(HTOVIMEM dib);
PIXAMO_API void GetDibSize(HTOVIMEM dib, int* width, int* height);

PIXAMO_API int TagBrushFile(const char* path, BYTE first, BYTE second);
PIXAMO_API int IsTaggedBrushFile(const char* path, BYTE* first, BYTE* second);
PIXAMO_API int TagStampFile(const char* path);
PIXAMO_API int IsTaggedStampFile(const char* path);

PIXAMO_API int AbortPictureProcessing(void);
// The same answer for loops that ask once per item: the installed stop test
// is asked on every call, the keyboard and the thread's queue only when
// interval ms have passed since this thread last looked at them (0: every
// call). An Escape press waits in the queue until then.
PIXAMO_API int AbortPictureProcessingEvery(DWORD interval);
// Writes the long form of shortPath into out, which holds MAX_PATH bytes.
PIXAMO_API void ExpandLongPathName(const char* shortPath, char* out);

PIXAMO_API void* LockupForModal(void);
PIXAMO_API void UnlockForModal(void* token);
// Current nesting depth of LockupForModal (0 when no modal state is open).
PIXAMO_API int IsLockedForModal(void);
