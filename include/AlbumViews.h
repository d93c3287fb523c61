// The exported window classes of the album views: the thumbnail cell, the
// thumbnail list view and the album view built on it. Included by album.h.
#pragma once

#include <commdlg.h>

// Registers "ThumbViewClass" for the given instance; 1 on success, 0 on failure.
ALBUM_API int CThumbviewRegister(HINSTANCE instance);

class ALBUM_CLASS CThumbView2 {
public:
  // place: left and top are the position in the parent, right and bottom
  // the width and height (each raised to at least 16). The configuration is
  // copied; the window is made at once and shown.
  CThumbView2(HWND parent, RECT place, tagAlbumViewCreateInfo& aci);
  // Shallow: the copy refers to the same window and tooltip, which stay the
  // original's (the copy never destroys them). It does not share the display
  // copy of the framed style; it makes its own when it paints.
  CThumbView2(const CThumbView2& other);
  CThumbView2& operator=(const CThumbView2& other);

  // Reports a mouse message to the parent (AVM_ITEM*, lParam = this cell).
  virtual void OnMouse(unsigned msg, unsigned wParam, long lParam);
  // Destroys the tooltip, then closes the cell window.
  virtual ~CThumbView2();

  // Shows another item (null = empty cell); returns UpdateWindow's result.
  int Attach(CThumbnail2* item);
  CThumbnail2* GetThumbnail();
  void SetDragDrop(int dragDrop);
  // index: a stock brush (GetStockObject) that fills the cell before
  // painting, -1 for none. Returns the previous index.
  int SetThumbViewBkColor(int index);
  void SetSelect(int select);
  int IsSelect();

  // The class's window procedure: binds the object at WM_CREATE and hands
  // every message to it.
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  long CThumbnailWndProc(HWND hwnd, unsigned msg, unsigned wParam, long lParam);

protected:
  // Repaints everything but the picture's interior: marks and caption.
  void InvalidateView();

  HWND m_hWnd;                  // owned: closed by the destructor
  CThumbnail2* m_pThumbnail;    // not owned
  tagAlbumViewCreateInfo m_aci;
  RECT m_rcPicture;             // where the last paint put the picture (client coordinates)
  int m_bDragDrop;
  int m_nBkColor;
  HWND m_hTipWnd;               // owned
  int m_bCapture;               // 1 while the cell holds a capture it took itself

private:
  friend class CThumbListView2;
  friend class CAlbum;


  void OnPaint();
  void OnPaint_Net();
  void CThumbTextOut(HDC dc, RECT& client);
  void CThumbTextOut_Net(HDC dc, RECT& box, COLORREF colour);
  void SetTip(unsigned msg, unsigned wParam, long lParam);
  HWND DoCreateTipWnd();
  void OnDragNotify(unsigned wParam, long lParam);
  void DrawHoverMark();
  // Destroys the tooltip and closes the window unless they are shared.
  void ReleaseWindows();
  // The framed style's display copy of the picture for a fitting box of
  // width x height, made on the first paint that needs it and kept until
  // the item, its picture or the box changes.
  void* GetDisplayCopy(void* picture, int width, int height, int fitWidth, int fitHeight);
  void DropDisplayCopy();

  void* m_hDisplayDib;            // owned: the framed style's rescaled picture
  void* m_hDisplaySource;         // not owned: the picture it was made from
  CThumbnail2* m_pDisplayItem;    // not owned: the item it was made for
  SIZE m_sizeDisplayBox;          // the fitting box it was made for
  int m_bShared;                  // 1: the window and tooltip belong to the cell this one was copied from
};


// Registers "CThumbListView2" for the given instance; 1 on success, 0 on failure.
ALBUM_API int CThumbListViewRegister(HINSTANCE instance);

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
  // Shallow: the copy shares the window and the cell array, which stay the
  // original's; a copy never deletes a cell it shares.
  CThumbListView2(const CThumbListView2& other);
  CThumbListView2& operator=(const CThumbListView2& other);

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
  int m_bShared;                // 1: the cells belong to the view this one was copied from

private:
  void MakeCells(int count, int width, int height);
  // The first cell's window size; false without one.
  bool GetFirstCellSize(int* width, int* height);
};


// The album view: a thumbnail list view that holds one album document and
// shows a run of its items, starting at the first visible item. It keeps the
// selection, the focused item and the scroll position and carries the editing
// operations.
class ALBUM_CLASS CAlbum : public CThumbListView2 {
public:
  // The two list view constructors, then an empty document whose program
  // folder is the host executable's folder.
  CAlbum(HWND parent, RECT place, tagAlbumViewCreateInfo& aci);
  CAlbum(HWND existing, tagAlbumViewCreateInfo& aci);
  // Shallow: the copy shares the window, the cells and the item list, which
  // stay the original's; the copy never deletes what it shares.
  CAlbum(const CAlbum& other);
  CAlbum& operator=(const CAlbum& other);
  // Empties the cells, deletes the album's items, then the list view part.
  ~CAlbum() override;

  // Cell reports: selection on presses and releases, then on to the parent.
  void OnMouse(unsigned msg, unsigned wParam, long lParam) override;
  // WM_HSCROLL / WM_VSCROLL (and AVM_HSCROLL / AVM_VSCROLL): low word of
  // wParam the scroll code, high word the thumb position; lParam low word
  // the largest position, high word the smallest.
  void OnScroll(unsigned msg, unsigned wParam, long lParam) override;
  void OnKeyDown(unsigned msg, unsigned wParam, long lParam) override;
  void OnKeyUp(unsigned msg, unsigned wParam, long lParam) override;

  int HaveSel();
  int GetThumbNailCount();
  int GetFirstViewNailID();
  const char* GetDescription();
  void SetDescription(const char* description);
  // The album in place (paths, description, thumbnail box, items).
  CAlbumDoc2* GetDocument();
  HWND GetViewWindow();

  // Attaches the visible items to the cells; from -1 for every cell, or an
  // item number to start at when that item is visible. 1, or 0 when a cell
  // could not take its item.
  int UpDataThumbListView(int from);
  // A plain click on item n, scrolling it into view first. 0 when n is not
  // an item number or the view shows nothing.
  int SetCurrentFocus(int n);
  int GetCurrentFocus();  // focused item's number, -1 without focus
  // The cell under a screen point, or null.
  CThumbView2* GetThumbViewByPos(int x, int y);

  // Reads the album (pictures included) and shows it from its first item.
  // 0 when it cannot be read; the view is then empty.
  int Load(const char* path);
  // Like Load, but an album that cannot be read leaves the view showing the
  // album it showed before, items, path and description unchanged (the
  // selection and the focus are cleared either way). 1 when loaded.
  int LoadOrKeep(const char* path);
  int Save(const char* path);
  // Inserts a new item made from a thumbnail picture before `before` (null:
  // at the end); the item takes over the picture. A file the album already
  // holds is refreshed instead, after the user agreed, and the unused
  // picture is released. 1: the picture is the album's (inserted or
  // released); 0 on refusal or failure: the picture stays the caller's.
  int InsertFromThumbnail(void* picture, const char* description, const char* path, CThumbnail2* before,
                          unsigned short width, unsigned short height);
  // Moves every item of source (emptied) before `before` (null: the focused
  // item, or the end without focus). Returns the number inserted plus the
  // duplicates whose refresh re-made them.
  int InsertFromTable(CThumbTable2* source, CThumbnail2* before);
  // Moves the focused item to the target cell's place; 1 when moved.
  int DoExchange(CThumbView2* target);
  // Removes the selected items, deleting their files too when deleteFiles is
  // nonzero; the item after the last removed one takes the focus. 0 when
  // nothing is selected.
  int RemoveSelected(int deleteFiles);
  // Checks every item against its file; nonzero when every item's thumbnail
  // was re-made.
  int RefreshAlbum();
  // Sorts keeping the visible position: the cell that showed item n shows
  // the new item n. 0 for an empty album.
  int SortByName(int order);
  int SortByType(int order);
  int SortBySize(int order);
  int SortByDate(int order);
  int SortByDesc(int order);
  // Deletes every item; the view becomes empty.
  void FreeAlbumData();
  // Appends copies of the selected items to target and gives it this
  // album's folders and path; the number of copies.
  int GetDragData(CAlbumDoc2* target);
  // Full paths of all items / of the selected items: one block of count
  // entries of 260 bytes. The caller frees it with ToviMemFree.
  int GetImageList(int& count, char (*&list)[260]);
  int GetSelectImageList(int& count, char (*&list)[260]);
  // The focused item's full path into out (260 bytes); 0 without focus.
  int GetCurrentThumbNailFullPath(char* out);
  // Prints the album as contact sheets (range 1: the selection only; names
  // 1: file names under the boxes; box size in 1/76 inch). 0 when no
  // printer device context could be made.
  int Print(const char* docName, int range, int names, int boxWidth, int boxHeight, tagPDA printer);

protected:
  CAlbumDoc2 m_Doc;             // the album, with its items (owned)
  CThumbnail2* m_pFirstView;    // not owned: first visible item, or the sentinel of an empty album
  int m_nFirstViewID;           // its number, -1 when none
  CThumbnail2* m_pSelHead;      // not owned: most recently selected item; null = no selection
  int m_nSelHeadID;             // its number, -1 when none
  int m_nSelMode;               // 1 single, 2 multiple
  int m_bSelPending;            // 1 from a press on a selected item to the release
  CThumbnail2* m_pFocus;        // not owned: the focused item
  CThumbnail2* m_pShiftAnchor;  // not owned: anchor of a keyboard range while Shift is down

private:
  friend class CAlbumCtrl;
  friend class CAlbumMan;
  friend class CBrushAlbumCtrl;

  void Select(CThumbnail2* item);
  void Select(CThumbView2* cell);
  void Deselect(CThumbView2* cell);
  void Deselect(CThumbnail2* item);
  void DeselectAll();
  void SetThumbviewFocus(CThumbnail2* item);
  void OnSelect(unsigned keyFlags, long cell);
  void DoLRUD(unsigned vk, int extend);

  // Items per line and visible lines for the scroll orientation.
  int ItemsPerLine();
  int VisibleLines();
  // The cell of a visible item number, or null.
  CThumbView2* CellOfNumber(int n);
  CThumbView2* CellOfSlot(int slot);
  CThumbView2* CellOfItem(CThumbnail2* item);
  // Makes item n (1..count) the first visible item.
  void SetFirstView(int n);
  // Item n found from the nearest known place (first visible item, focus,
  // the table's own cursor).
  CThumbnail2* ItemAt(int n);
  void InvalidateNumbers(int from, int to);
  void NotifyUpdateScroll();
  // Unlinks an item about to leave the table from every pointer of the view.
  void ForgetItem(CThumbnail2* item);
  int SortAndKeepPlace(int key, int order);
  int MakePathList(bool selectedOnly, int& count, char (*&list)[260]);
  void SetProgramFolder();
};

