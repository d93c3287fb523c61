// The album chooser: a small modal dialog that picks one album of a folder
// before a manager opens or before files are added to an album the caller
// did not name. ChooseAlbum (include/album.h) runs it.
#pragma once

#include <album.h>

// Procedure of the template IDD_CHOOSE_ALBUM. Its creation parameter is a
// MAX_PATH working text (not owned): the folder when the dialog opens, the
// chosen album's name when it closes with 1.
ALBUM_API INT_PTR CALLBACK AlbumChooserDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Where name goes in the combo box list so that the entries stay in
// ascending order ignoring letter case, an equal name after its equals; the
// untitled album's name always goes to the top.
ALBUM_API int FindSortedInsertPos(HWND list, const char* name);
