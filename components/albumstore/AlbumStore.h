// The album store "Vandor.DLL": reads and writes ".abm" album files for the
// album component through the exchange record tagALBUMFILEDATA (album.h).
// Callers load the library and look the functions up by name.
//
// ABM_OpenFile(4, path, record): fills the record (zeroed first) with the
//   album's description, item count and a global array of item blocks, all
//   allocated with GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT); the caller frees
//   them. Never writes anything. On failure the record is left zeroed.
// ABM_SaveFile(4, path, record): only reads the record. Writes a temporary
//   file beside the album and renames it over the album, so the album on disk
//   is always either the old one or the new one. The previous album, when it
//   passes its checks, becomes "<album>.bak". Refuses (and keeps the files as
//   they are) when any item slot is null or malformed, and when the file at
//   the path is not a sound album (an empty file holds nothing and may be
//   replaced).
// Both return non-zero on success and 0 on failure; the reason of the calling
// thread's last failure is then ABM_GetLastError().
#pragma once

#include "../../include/album.h"

enum {
  ABM_ERROR_NONE = 0,
  ABM_ERROR_NO_FILE = 1,    // the album, or the folder to save it in, does not exist
  ABM_ERROR_DAMAGED = 2,    // the file is not an album or fails its checks
  ABM_ERROR_VERSION = 3,    // the call's version is not 4, or the album is of a newer format
  ABM_ERROR_ACCESS = 4,     // access denied: read-only file or folder, file in use elsewhere
  ABM_ERROR_IO = 5,         // reading or writing failed: disk full, device error
  ABM_ERROR_MEMORY = 6,     // out of memory
  ABM_ERROR_BAD_DATA = 7,   // the call's record or path is unusable (null, missing or malformed item, path too long)
};

typedef int (*ABMERRORPROC)(void);

extern "C" {
int ABM_OpenFile(int version, const char* path, tagALBUMFILEDATA* data);
int ABM_SaveFile(int version, const char* path, tagALBUMFILEDATA* data);
int ABM_GetLastError(void);
}
