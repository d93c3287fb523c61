// The demo host's album-manager window: a main window with a menu that
// opens album managers over a folder of albums, holds each in a dock frame
// that docks on any side of its client area or floats, gives the managers
// the host's acquire and help callbacks, and opens the items they send it
// in picture windows.
#pragma once

#include <string>

struct ManagerHostPaths {
  std::string albums;    // folder of the album files the managers show
  std::string user;      // user folder of "album.ini", ending with a backslash
  std::string acquired;  // where acquired pictures are written
  std::string output;    // where the screenshots go
  std::string pictures;  // a folder of pictures the scripted search also looks in
};

// Opens the main window. Unless interactive, runs the scripted tour: opens
// a manager (answering the album chooser and, at the end, the save question
// itself), saves it floating (album-manager.bmp), opens an item in a picture
// window, docks the manager on the left (album-manager-docked.bmp), acquires
// a picture, searches the albums and the picture folder by name
// (search-dialog.bmp), closes everything; one line per step on stdout. Interactive,
// the window stays open with its menu until the user closes it. True when
// every step of the tour succeeded (interactive: when the window opened).
bool RunManagerHost(const ManagerHostPaths& paths, bool interactive);
