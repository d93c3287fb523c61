// Module-wide options and callbacks that the host sets through the exported
// host interface (HostInterface.cpp), read by the album managers.
#pragma once

#include <album.h>

struct HostOptions {
  int redeye = 0;        // stored only
  int newVersion = 0;    // new toolbar images and size
  int printAllowed = 0;  // the print button may print
  int noPsd = 0;         // leave these formats out of the add-files dialog
  int noPcx = 0;
  int noGif = 0;
  ALBUMDOCKCREATEPROC dockCreate = nullptr;
  ALBUMDOCKQUERYPROC dockQuery = nullptr;
  ALBUMDOCKRELEASEPROC dockRelease = nullptr;
  ALBUMACQUIREPROC acquire = nullptr;
  ALBUMHELPPROC help = nullptr;
};

const HostOptions& GetHostOptions();

// The manager dialog between its WM_INITDIALOG and its next close request
// (EnableAlbumToolbar acts on its toolbar), or null.
HWND GetShownManager();
void SetShownManager(HWND dialog);
// The manager dialog last activated (or whose item last took the focus), of
// any thread; read by the static image-list functions.
HWND GetLastActivatedManager();
void SetLastActivatedManager(HWND dialog);
