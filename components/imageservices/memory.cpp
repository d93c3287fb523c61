// Memory handles of the image services: Windows global memory with the same
// flag meanings, plus a count of live handles for leak checks.
#include "../../platform/qil.h"

namespace {
volatile LONG g_liveHandles = 0;
}

QIL_API HTOVIMEM ToviMemAlloc(UINT flags, DWORD size) {
  HGLOBAL mem = GlobalAlloc(flags, size);
  if (mem) InterlockedIncrement(&g_liveHandles);
  return mem;
}

QIL_API void* ToviMemLock(HTOVIMEM mem) {
  return mem ? GlobalLock(static_cast<HGLOBAL>(mem)) : nullptr;
}

QIL_API void ToviMemUnlock(HTOVIMEM mem) {
  if (mem) GlobalUnlock(static_cast<HGLOBAL>(mem));
}

QIL_API DWORD ToviMemSize(HTOVIMEM mem) {
  return mem ? static_cast<DWORD>(GlobalSize(static_cast<HGLOBAL>(mem))) : 0;
}

QIL_API void ToviMemFree(HTOVIMEM mem) {
  if (!mem) return;
  if (GlobalFree(static_cast<HGLOBAL>(mem)) == nullptr) InterlockedDecrement(&g_liveHandles);
}

QIL_API LONG ToviMemLiveCount(void) {
  return g_liveHandles;
}
