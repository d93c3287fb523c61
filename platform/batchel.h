// Batch library ("Batchel.dll"): the batch dialog over the active album's
// selected pictures. The album component loads it when the user first asks
// for it, so a host without it still runs.
#pragma once

#include <windows.h>

#ifdef BATCHEL_BUILDING_DLL
#define BATCHEL_API extern "C" __declspec(dllexport)
#else
#define BATCHEL_API extern "C" __declspec(dllimport)
#endif

// Runs the batch dialog owned by host over the selected pictures of the
// calling thread's active album. The number of picture files changed on disk
// (0 when none was, or the dialog was cancelled before any); -1 when the
// dialog could not run.
BATCHEL_API int OpenBatchDialog(HWND host);
typedef int (*OpenBatchDialogProc)(HWND host);
