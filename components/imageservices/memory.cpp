// Memory handles of the image services: Windows global memory with the same
// flag meanings, plus a count of live handles for leak checks.
#include "../../platform/AllocFaults.h"
#include "../../platform/qil.h"

namespace {
volatile LONG g_liveHandles = 0;
// The armed fault: allocations counted since arming, the one that fails
// (0: none) and whether it did.
volatile LONG g_counted = 0;
LONG g_failAt = 0;
volatile LONG g_fired = 0;
}  // namespace

volatile LONG QilAllocFaultArmed = 0;

QIL_FAULT_API void QilArmAllocFault(LONG k) {
  g_counted = 0;
  g_fired = 0;
  g_failAt = k;
  QilAllocFaultArmed = 1;
}

QIL_FAULT_API LONG QilDisarmAllocFault(void) {
  QilAllocFaultArmed = 0;
  return g_counted;
}

QIL_FAULT_API int QilAllocFaultFired(void) { return g_fired ? 1 : 0; }

QIL_FAULT_API int QilCountAllocation(void) {
  if (!QilAllocFaultArmed) return 0;
  if (InterlockedIncrement(&g_counted) != g_failAt) return 0;
  g_fired = 1;
  return 1;
}

QIL_API HTOVIMEM ToviMemAlloc(UINT flags, DWORD size) {
  if (AllocationMustFail()) return nullptr;
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
