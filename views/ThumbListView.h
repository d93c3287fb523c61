// The thumbnail list view ("CThumbListView2"): a child window holding a
// fixed grid of thumbnail cells that share one view configuration. It lays
// the cells out, keeps its size on whole cells while a frame edge is
// dragged, passes the cells' mouse reports to its parent and relays drag and
// drop notifications. It knows nothing of albums: the album view derives
// from it and attaches items to the cells.
#pragma once

#include <album.h>

#include "ThumbView.h"

// Registers "CThumbListView2" for the given instance; 1 on success, 0 on failure.
ALBUM_API int CThumbListViewRegister(HINSTANCE instance);

// The module frame registers both view classes ("ThumbViewClass" and
// "CThumbListView2") with the resource module as their instance when the
// process attaches, and removes them when it detaches.
void RegisterViewClasses(HINSTANCE instance);
void UnregisterViewClasses(HINSTANCE instance);

// Chooses the caption font's face name and character set from the system's
// default language.
void SetLocaleFont(LOGFONTA* font);

class ALBUM_CLASS CThumbListView2 {
public:
  // place: left and top are the position in the parent, right and bottom
  // the width and height. Makes and shows the window; its WM_CREATE makes
  // the cells and the first WM_SIZE places them. The creator deletes the
  // object and destroys the window.
  CThumbListView2(HWND parent, RECT place, tagAlbumViewCreateInfo& aci);
  // For a window that already exists (made from a dialog template): makes
  // no window, and the object lives exactly as long as that window.
  CThumbListView2(HWND existing, tagAlbumViewCreateInfo& aci);
  // Shallow: the copy shares the window and the cell array.
  CThumbListView2(const CThumbListView2& other) = default;
  CThumbListView2& operator=(const CThumbListView2& other) = default;

  virtual void OnCreate(unsigned msg, unsigned wParam, long lParam);
  // Passes the cells' mouse reports on to the parent unchanged.
  virtual void OnMouse(unsigned msg, unsigned wParam, long lParam);
  // Snaps a frame drag to whole cells (fit-to-window layout) or keeps a minimum size.
  virtual void OnSizing(unsigned msg, unsigned wParam, long lParam);
  virtual void OnSize(unsigned msg, unsigned wParam, long lParam);
  virtual void OnScroll(unsigned msg, unsigned wParam, long lParam);
  // Deletes every cell (closing its window).
  virtual void OnDestroy(unsigned msg, unsigned wParam, long lParam);
  virtual void OnKeyDown(unsigned msg, unsigned wParam, long lParam);
  virtual void OnKeyUp(unsigned msg, unsigned wParam, long lParam);
  // Deletes the cells and unbinds the window; it does not destroy the window.
  virtual ~CThumbListView2();

  tagAlbumViewCreateInfo* GetACI();
  void SetThumbViewBkColor(int index);
  void SetDragDrop(int dragDrop);
  // Applies a configuration and rebuilds the grid with empty cells; returns
  // the new cell count. Cell pointers held elsewhere become invalid.
  int ResetLayout(tagAlbumViewCreateInfo aci);
  // Snaps a proposed window size to the grid as a frame drag would; returns 1.
  int AdjustWindowSize(int& width, int& height);

  // The class's window procedure: binds the object at WM_CREATE and hands
  // every message to it.
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  long ThumbListWndProc(HWND hwnd, unsigned msg, unsigned wParam, long lParam);

protected:
  HWND m_hWnd;                  // the list window; owned by the creator unless self-owned
  int m_bSelfOwned;             // 1: destroying the window deletes this object
  int m_nViewCount;             // cells: rows x columns
  CThumbView2** m_ppViews;      // owned, with every cell in it; row by row; entries may be null
  tagAlbumViewCreateInfo m_aci;
  int m_bDragDrop;
  int m_nBkColor;               // stock brush index for new cells, -1 none

private:
  void MakeCells(int count, int width, int height);
  // The first cell's window size; false without one.
  bool GetFirstCellSize(int* width, int* height);
};
