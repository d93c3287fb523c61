// The album component's C runtime and global memory allocations. They go
// through these so that a test can make any one of them fail (see
// AllocFaults.h); blocks are released with the usual free and GlobalFree.
// The C runtime ones need no Windows header, so that portable readers (the
// Exif reader) keep building natively for the fuzz targets.
#pragma once

#include <stddef.h>

void* AlbumMalloc(size_t bytes);
void* AlbumCalloc(size_t count, size_t bytes);
void* AlbumRealloc(void* block, size_t bytes);

#ifdef _WIN32
#include <windows.h>
HGLOBAL AlbumGlobalAlloc(UINT flags, SIZE_T bytes);
#endif
