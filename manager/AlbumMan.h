// The album manager: a modeless dialog with a toolbar, the album list, a
// description line and an album control, one per open album folder.
#pragma once

#include <album.h>

class CAlbumCtrl;

// Forms of CAlbumMan::GetCurrentAlbumName.
enum {
  ALBUM_NAME_FULL_PATH = 1,
  ALBUM_NAME_WITH_EXTENSION = 2,
  ALBUM_NAME_BARE = 3,
};

class ALBUM_CLASS CAlbumMan {
public:
  CAlbumMan() = default;
  CAlbumMan(const CAlbumMan&) = delete;
  CAlbumMan& operator=(const CAlbumMan&) = delete;

  CAlbumCtrl* GetAlbumCtrl();
  // The current album's name into buffer (MAX_PATH bytes): its full path,
  // its file name with or without extension; the untitled album's name
  // (string 4017) in every form. 0 only when there is no album view.
  int GetCurrentAlbumName(char* buffer, int form);

  // The manager's dialog window; outside callers know a manager by it.
  HWND m_hWnd = nullptr;            // not owned: the dialog destroys itself
  char m_szFolder[MAX_PATH] = "";   // folder of the album files
  int m_nAlbumCount = 0;            // entries of the album list, untitled included
  CAlbumCtrl* m_pAlbumCtrl = nullptr;  // not owned: the dialog's album control
  int m_nThumbWidth = 16;
  int m_nThumbHeight = 16;
  int m_bModified = 0;              // the current album has unsaved changes
  int m_bUntitled = 0;              // the current album has no file yet
};
