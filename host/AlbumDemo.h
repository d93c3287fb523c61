// The demo host's main window: two album controls side by side, each
// showing one album file, between which pictures are dragged.
#pragma once

#include <string>

struct AlbumDemoResult {
  bool shown = false;      // both controls showed their albums
  bool dragged = false;    // the scripted drag moved both pictures
  bool shotSaved = false;  // the screenshot was written
  std::string leftItems;   // the albums' file names after the drag, in order
  std::string rightItems;
};

// Opens the window over the two album files, drags two pictures from the
// left album to the right one with real mouse input (as a user would: two
// clicks to select, a press, a move and a release), saves a screenshot of
// the window as a BMP file at shotPath and closes the window, or, when
// interactive, leaves it open until the user closes it.
AlbumDemoResult RunAlbumDemo(const std::string& leftAlbum, const std::string& rightAlbum,
                             const std::string& shotPath, bool interactive);
