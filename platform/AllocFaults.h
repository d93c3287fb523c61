// Test-only: making one allocation fail on purpose. Programs that check how
// the album component survives running out of memory arm a fault at the k-th
// allocation from now; the image services' memory functions and the album
// component's own allocations (operator new, its C runtime and global memory
// blocks) all count against the one counter kept in the image services.
// Nothing a host needs is declared here.
#pragma once

#include <windows.h>

#ifdef QIL_BUILDING_DLL
#define QIL_FAULT_API extern "C" __declspec(dllexport)
#else
#define QIL_FAULT_API extern "C" __declspec(dllimport)
#endif

// Non-zero while a fault is armed: every allocation reads it first, so an
// unarmed hook costs one load and one compare.
QIL_FAULT_API volatile LONG QilAllocFaultArmed;

// Starts counting allocations from zero; the k-th one counted fails. k = 0
// counts without failing anything.
QIL_FAULT_API void QilArmAllocFault(LONG k);
// Stops counting; returns how many allocations were counted since arming.
QIL_FAULT_API LONG QilDisarmAllocFault(void);
// 1 when the armed fault has fired since arming.
QIL_FAULT_API int QilAllocFaultFired(void);
// Counts one allocation; 1 when it is the one that must fail.
QIL_FAULT_API int QilCountAllocation(void);

inline bool AllocationMustFail() { return QilAllocFaultArmed && QilCountAllocation(); }

#ifndef ALBUM_BUILDING_DLL
// Blocks made by album.dll's operator new and not yet deleted (leak checks).
extern "C" __declspec(dllimport) LONG AlbumLiveAllocationCount(void);
#endif
