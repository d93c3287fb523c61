// The demo host's painting-host window: a brush, a stamp, a texture and a
// shape album side by side, as a painting program places its resource
// albums, with a status line that shows the resource picked last.
#pragma once

#include <string>

struct PaintingHostResult {
  bool shown = false;       // the four albums showed their sample resources
  int brushesBefore = 0;    // items of the brush album before and after the
  int brushesAfter = 0;     //   scripted import of two pictures
  std::string picked;       // the path the status line showed for the clicked brush
  bool shotSaved = false;
};

// Makes sample resource pictures in folder\resources, the four sample
// albums (folder\resources\*.abm, stored pictures in the host folder's
// "brush", "stamps" and "Shapes" folders), opens the window over them,
// imports two pictures into the brush album through the add dialog, picks
// the first of them, saves a screenshot at shotPath and closes the window,
// or, when interactive, leaves it open until the user closes it.
PaintingHostResult RunPaintingHost(const std::string& folder, const std::string& shotPath, bool interactive);
