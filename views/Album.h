// The album view: a thumbnail list view that holds one album document and
// shows a run of its items, starting at the first visible item, in its grid
// of cells. It keeps the selection (single, Ctrl toggling, Shift ranges,
// keyboard ranges), the focused item and the scroll position, tells its
// parent about focus and scroll changes, and carries the editing operations:
// load and save, inserts, moves, removals, refresh, sorts, drag data, path
// lists and printing.
//
// Every pointer the view keeps into the table (first visible item, focus,
// Shift anchor, selection ring) is put right by each operation that changes
// the table, so none of them ever names a deleted item.
#pragma once

#include <album.h>
#include <commdlg.h>

#include "ThumbListView.h"

