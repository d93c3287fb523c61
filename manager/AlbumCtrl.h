// The album control: the child window a host (or the album manager's
// dialog) places to show one album. It owns an album view and its scroll
// bar, turns the view's reports into notifications for its own parent,
// moves and copies items between albums by drag and drop, scrolls while a
// drag hovers at its edges, and lays itself out for the manager's docked
// presentations.
//
// Three window classes share its window procedure; each class name selects
// a view configuration kept in a module-wide table of named configurations
// ("ManDlgAlbumCtrl", "OptionDlgAlbumCtrl", "WizDlgAlbumCtrl", and those a
// host adds with RegisterMiniAlbum).
#pragma once

#include <album.h>

// Process detach: removes the control, list and cell classes registered by
// Register for the instance.
void UnregisterAlbumCtrlClasses(HINSTANCE instance);
