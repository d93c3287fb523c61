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

class ALBUM_CLASS CAlbum : public CThumbListView2 {
public:
  // The two list view constructors, then an empty document whose program
  // folder is the host executable's folder.
  CAlbum(HWND parent, RECT place, tagAlbumViewCreateInfo& aci);
  CAlbum(HWND existing, tagAlbumViewCreateInfo& aci);
  // Shallow: the copy shares the window, the cells and the item list.
  CAlbum(const CAlbum& other) = default;
  CAlbum& operator=(const CAlbum& other) = default;
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
