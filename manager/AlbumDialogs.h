// The small modal dialogs shared by the manager, the search dialog and the
// file-adding export: the new-album name, the sort order and the choice
// between removing items and deleting their files. Their results are
// module-wide, so that the next dialog of the same kind opens on the last
// choice whichever window asked.
#pragma once

#include <album.h>

// The module-wide new-album-name buffer: after an accepted name it holds the
// album's file name, ".abm" included, ready to be put after the folder.
// Callers may set it before running the new-album dialog to propose a name
// (with or without ".abm"); the dialog accepts a proposal that passes the
// name check without showing itself.
ALBUM_API const char* GetNewAlbumName();
// False (buffer unchanged) when the name does not fit MAX_PATH bytes.
ALBUM_API bool SetNewAlbumName(const char* name);

// Last choice of the sort dialog: 0 name, 1 type, 2 size, 3 date,
// 4 description; and whether the order is descending (0 or 1).
ALBUM_API int GetSortKey();
ALBUM_API int GetSortDescending();
ALBUM_API void SetSortChoice(int key, int descending);

// 1 when the remove-choice dialog's last answer was to keep the files and
// only remove the items from the album, 0 when the files go too.
ALBUM_API int GetDeleteMode();

// Set by the search dialog while it exists: the new-album dialog then always
// waits for the user instead of accepting a proposed name on its own.
ALBUM_API void SetSearchOpen(int open);
ALBUM_API int GetSearchOpen();

// Dialog procedures of the templates IDD_NEW_ALBUM, IDD_SORT and
// IDD_REMOVE_CHOICE. The new-album dialog takes the album folder (a
// MAX_PATH text, not owned) as its creation parameter.
ALBUM_API INT_PTR CALLBACK NewAlbumDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
ALBUM_API INT_PTR CALLBACK SortDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
ALBUM_API INT_PTR CALLBACK RemoveChoiceDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Run the dialogs modally from the resource module. Each returns the end
// code: 1 accepted (the module-wide values updated), 0 cancelled, -1 when the
// dialog could not be shown.
ALBUM_API INT_PTR RunNewAlbumDialog(HWND owner, const char* folder);
ALBUM_API INT_PTR RunSortDialog(HWND owner);
ALBUM_API INT_PTR RunRemoveChoiceDialog(HWND owner);
