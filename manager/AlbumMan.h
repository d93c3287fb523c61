// The album manager: a modeless dialog over one folder of album files, with
// a toolbar, the album list (the folder's ".abm" files plus one entry for a
// new, untitled album), a description line, a status line and an album
// control showing the current album.
//
// One CAlbumMan belongs to one dialog: the dialog procedure (AlbumManDlg.cpp)
// binds it at WM_INITDIALOG and deletes it at WM_DESTROY. An album is never
// lost on the way: a switch or a close goes on only when the album being
// left was saved, deliberately discarded, or could not be changed anyway.
#pragma once

#include <album.h>


// The dialog procedure of every album manager dialog.
INT_PTR CALLBACK AlbumManDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The manager of a manager dialog; null for any other window, so that a
// window handle from outside is never taken for a manager.
CAlbumMan* FindAlbumManager(HWND window);

// Process detach: frees the batch library when a manager loaded it.
void ReleaseBatchLibrary();
