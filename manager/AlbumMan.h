// The album manager: a modeless dialog with a toolbar, the album list, a
// description line and an album control, one per open album folder.
#pragma once

#include <album.h>

class ALBUM_CLASS CAlbumMan {
public:
  CAlbumMan() = default;
  CAlbumMan(const CAlbumMan&) = delete;
  CAlbumMan& operator=(const CAlbumMan&) = delete;

  // The manager's dialog window; outside callers know a manager by it.
  HWND m_hWnd = nullptr;  // not owned: the dialog destroys itself
};
