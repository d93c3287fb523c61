// The album component's C runtime and global memory allocations. They go
// through these so that a test can make any one of them fail (see
// AllocFaults.h); blocks are released with the usual free and GlobalFree.
#pragma once

#include <windows.h>

#include <stddef.h>

void* AlbumMalloc(size_t bytes);
void* AlbumCalloc(size_t count, size_t bytes);
void* AlbumRealloc(void* block, size_t bytes);
HGLOBAL AlbumGlobalAlloc(UINT flags, SIZE_T bytes);
