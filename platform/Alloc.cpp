// Every allocation of the album component: operator new and delete replaced
// for the whole module (libstdc++ is linked statically into each module, so
// these replace the library's own for the album component's code and for
// the standard containers it instantiates), and the C runtime and global
// memory functions it calls. Each asks the image services' fault counter
// first, which costs one load and one compare unless a test armed it.
#include "platform/Alloc.h"

#include <stdlib.h>

#include <new>

#include <album.h>

#include "platform/AllocFaults.h"

namespace {

// Blocks made by operator new and not yet deleted.
volatile LONG g_liveBlocks = 0;

void* NewBlock(size_t bytes) {
  if (AllocationMustFail()) return nullptr;
  void* block = malloc(bytes ? bytes : 1);
  if (block) InterlockedIncrement(&g_liveBlocks);
  return block;
}

void DeleteBlock(void* block) {
  if (!block) return;
  InterlockedDecrement(&g_liveBlocks);
  free(block);
}

}  // namespace

ALBUM_API LONG AlbumLiveAllocationCount(void) { return g_liveBlocks; }

void* AlbumMalloc(size_t bytes) { return AllocationMustFail() ? nullptr : malloc(bytes); }

void* AlbumCalloc(size_t count, size_t bytes) { return AllocationMustFail() ? nullptr : calloc(count, bytes); }

// A failed growth leaves the block as it was, as realloc does.
void* AlbumRealloc(void* block, size_t bytes) { return AllocationMustFail() ? nullptr : realloc(block, bytes); }

HGLOBAL AlbumGlobalAlloc(UINT flags, SIZE_T bytes) {
  return AllocationMustFail() ? nullptr : GlobalAlloc(flags, bytes);
}

void* operator new(size_t bytes) {
  void* block = NewBlock(bytes);
  if (!block) throw std::bad_alloc();
  return block;
}

void* operator new[](size_t bytes) {
  void* block = NewBlock(bytes);
  if (!block) throw std::bad_alloc();
  return block;
}

void* operator new(size_t bytes, const std::nothrow_t&) noexcept { return NewBlock(bytes); }

void* operator new[](size_t bytes, const std::nothrow_t&) noexcept { return NewBlock(bytes); }

void operator delete(void* block) noexcept { DeleteBlock(block); }

void operator delete[](void* block) noexcept { DeleteBlock(block); }

void operator delete(void* block, size_t) noexcept { DeleteBlock(block); }

void operator delete[](void* block, size_t) noexcept { DeleteBlock(block); }

void operator delete(void* block, const std::nothrow_t&) noexcept { DeleteBlock(block); }

void operator delete[](void* block, const std::nothrow_t&) noexcept { DeleteBlock(block); }
