// Image services ("QILDLL.dll"): memory handles, picture files, display,
// file dialogs and format lists. Plain C functions, caller removes the
// arguments (cdecl).
#pragma once

#include <windows.h>

#ifdef QIL_BUILDING_DLL
#define QIL_API extern "C" __declspec(dllexport)
#else
#define QIL_API extern "C" __declspec(dllimport)
#endif

// A memory handle: a Windows global memory handle. Flags keep the global
// memory meanings: 0 fixed, 0x40 fixed and zero-filled, 0x42 movable and
// zero-filled. A fixed handle is itself the address of its bytes.
typedef void* HTOVIMEM;

enum : UINT {
  TOVI_FIXED = 0x0000,
  TOVI_FIXED_ZERO = 0x0040,
  TOVI_MOVABLE_ZERO = 0x0042,
};

QIL_API HTOVIMEM ToviMemAlloc(UINT flags, DWORD size);
QIL_API void* ToviMemLock(HTOVIMEM mem);
QIL_API void ToviMemUnlock(HTOVIMEM mem);
QIL_API DWORD ToviMemSize(HTOVIMEM mem);
QIL_API void ToviMemFree(HTOVIMEM mem);
// Number of handles made by ToviMemAlloc and not yet freed (diagnostics).
QIL_API LONG ToviMemLiveCount(void);

// Last-error codes of the image services.
enum {
  QIL_OK = 0,
  QIL_ERR_NOT_FOUND = -1,    // the file does not exist
  QIL_ERR_NO_MEMORY = -2,    // an allocation failed
  QIL_ERR_IO = -3,           // the file could not be read or written
  QIL_ERR_BAD_PICTURE = -4,  // unreadable, damaged or unsupported picture
  QIL_ERR_BAD_ARGUMENT = -5, // a null or invalid argument
  QIL_ERR_STOPPED = -6,      // the user asked to stop
};

// The 52-byte open-options record. Its layout belongs to the image services;
// callers that open a file directly set only nMode = 1.
#pragma pack(push, 1)
struct QILOPENOPTIONS {
  DWORD dwReserved0;
  DWORD nMode;           // 1 = plain open of the whole picture
  DWORD nFormatIndex;    // format chosen in the file dialog (0 = by content)
  // In: when non-zero, the caller needs the longer side to keep at least
  // this many pixels, and a JPEG may come out reduced by 2, 4 or 8 (libjpeg
  // scales inside the inverse DCT: a fraction of a full decode's cost).
  DWORD nReducedSide;
  // Out: the size of the whole (upright) picture, reduced or not.
  DWORD nFullWidth;
  DWORD nFullHeight;
  DWORD dwReserved[7];
};
#pragma pack(pop)
static_assert(sizeof(QILOPENOPTIONS) == 52, "open-options record is 52 bytes");

// Format mask bits.
enum : DWORD {
  QIL_FMT_BMP = 0x01,
  QIL_FMT_JPEG = 0x02,
  QIL_FMT_PNG = 0x04,
  QIL_FMT_GIF = 0x08,
  QIL_FMT_PCX = 0x10,
  QIL_FMT_PSD = 0x20,
  QIL_FMT_TIFF = 0x40,
  QIL_FMT_ICO = 0x80,
};

// Size of the buffer GetSelectFormatString writes into, NUL included.
enum { QIL_FORMAT_STRING_MAX = 40 };

// Picture save formats.
enum { QIL_SAVE_BMP = 2 };

typedef int (*QILABORTFUNC)(void);

QIL_API void QilSetLastError(int code);
QIL_API int QilGetLastError(void);
QIL_API HTOVIMEM QilOpenFile(const char* path, int reserved, QILOPENOPTIONS* options);
QIL_API int QilSaveFile(HTOVIMEM dib, const char* path, int format, int options);
QIL_API int QilDibDisplay(HDC dc, const RECT* rect, HTOVIMEM dib, int reserved1, int reserved2,
                          int reserved3);
QIL_API int QilDefineFilter(int reserved, const char* description, const char* patterns);
QIL_API int QilGetFileName(HWND owner, int mode, int formatIndex, const char* defaultExt,
                           DWORD formatMask, char* nameBuffer, int bufferSize, DWORD ofnFlags,
                           QILOPENOPTIONS* options, const char* initialFolder);
QIL_API int LoadFormatList(HWND combo, DWORD formatMask, int reserved);
// Writes the selected entry's pattern into out, which holds
// QIL_FORMAT_STRING_MAX bytes; entry 0 (all formats) gives an empty string.
QIL_API int GetSelectFormatString(HWND combo, char* out);
QIL_API QILABORTFUNC SetAbortFunc(QILABORTFUNC test);
// The test installed with SetAbortFunc, or null.
QIL_API QILABORTFUNC QilGetAbortFunc(void);
