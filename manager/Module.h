// Module-wide state of the album component: the resource module, the album
// store library, the thread registry and the copy buffer.
#pragma once

#include <album.h>

// Every dialog, string, menu, bitmap and cursor comes from this module
// ("Morvex.dll", else "Morvane.dll", else the component itself).
ALBUM_API HMODULE GetResourceModule();

// The loaded album store library, or null when it could not be loaded.
HMODULE GetAlbumStoreModule();

// The component's own module handle.
HMODULE GetOwnModule();

// The items of the last Copy or Cut; null when nothing was copied. Owned by
// the module: replacing it deletes the previous buffer.
ALBUM_API CAlbumDoc2* GetCopyBuffer();
ALBUM_API void SetCopyBuffer(CAlbumDoc2* buffer);

// Runs a modal dialog from the resource module between LockupForModal and
// UnlockForModal; returns the dialog's end code (-1 when it cannot run).
ALBUM_API INT_PTR RunModalDialog(HMODULE resources, int dialogId, HWND owner, DLGPROC procedure, LPARAM param);

// Shows a message box whose text (at most 299 characters) and caption (at
// most 39) are strings of the resource module; returns the box's result.
ALBUM_API int ShowResourceMessage(HWND owner, UINT textId, UINT captionId, UINT style);

// The user folder set by the host (InitCurUserPath); it holds "album.ini".
// Empty until the host sets it.
const char* GetUserFolder();
// Sets the user folder; false (and nothing changed) when the text does not
// fit a path buffer.
bool SetUserFolder(const char* folder);
// The path of fileName inside the user folder, a backslash put between when
// the folder does not end with one. False when the result does not fit.
bool MakeUserFilePath(const char* fileName, char* out, size_t capacity);

// A string of the resource module into buffer; empty when it is missing.
void LoadResourceText(UINT id, char* buffer, int capacity);
// True when name is the untitled album's name, in any letter case.
bool IsUntitledName(const char* name);
