// The thumbnail list view ("CThumbListView2"): a child window holding a
// fixed grid of thumbnail cells that share one view configuration. It lays
// the cells out, keeps its size on whole cells while a frame edge is
// dragged, passes the cells' mouse reports to its parent and relays drag and
// drop notifications. It knows nothing of albums: the album view derives
// from it and attaches items to the cells.
#pragma once

#include <album.h>

#include "ThumbView.h"

// The module frame registers both view classes ("ThumbViewClass" and
// "CThumbListView2") with the resource module as their instance when the
// process attaches, and removes them when it detaches.
void RegisterViewClasses(HINSTANCE instance);
void UnregisterViewClasses(HINSTANCE instance);

// Chooses the caption font's face name and character set from the system's
// default language.
void SetLocaleFont(LOGFONTA* font);

