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

// Notifications the control sends to its parent. The first four reuse the
// numbers of the view messages with payloads of their own.
enum : UINT {
  ACM_OPENITEM = WM_USER + 257,         // 0x501 wParam a 260-byte full path, lParam 0: an item was double-clicked
  ACM_FOCUSCHANGED = WM_USER + 261,     // 0x505 wParam the control's window, lParam CThumbnail2* or null
  ACM_CONTENTSCHANGED = WM_USER + 262,  // 0x506 wParam 0, lParam 0: a drop or an exchange changed the album
  ACM_CONTEXTMENU = WM_USER + 263,      // 0x507 as the view sent it: wParam MK_* flags, lParam the cell
  ACM_DELETESELECTED = 0x520,           // wParam the CAlbumCtrl*: Delete, keypad Del or Ctrl+D
  ACM_SENDSELECTED = 0x521,             // wParam the CAlbumCtrl*: Enter
};

// Dock modes of SetDock.
enum { ALBUM_UNDOCKED = 0, ALBUM_DOCKED_VERTICAL = 1, ALBUM_DOCKED_HORIZONTAL = 2 };

// Stores a copy of the configuration under name in the first free slot of
// the module-wide table (16 slots). 1 when stored; 0 when the name is empty,
// longer than 255 characters or already present (exact comparison), or the
// table is full. Registers no window class.
ALBUM_API int RegisterMiniAlbum(const char* name, const tagAlbumViewCreateInfo* aci);
// The slot holding name (exact comparison), with a copy of its record in
// aci (when aci is not null); -1 when no slot holds it.
ALBUM_API int GetAlbumCtrlACI(tagAlbumViewCreateInfo* aci, const char* name);

class ALBUM_CLASS CAlbumCtrl {
public:
  // For a host that creates the window with CALbumCtrl: the host owns the
  // object and deletes it (after or instead of destroying the window).
  CAlbumCtrl();
  // For a window made from a dialog template: the object belongs to that
  // window and goes with it.
  explicit CAlbumCtrl(HWND window);
  // Copies share the window, the view and the scroll bar; a copy never
  // deletes what it shares, so the original stays sound when a copy goes.
  CAlbumCtrl(const CAlbumCtrl& other);
  CAlbumCtrl& operator=(const CAlbumCtrl& other);

  // WM_CREATE: makes the scroll bar and the album view for the window's
  // class configuration and loads the album named by the window text. 1 on
  // success; 0 for a null window, a second call, or a class name without a
  // configuration (the control then stays empty).
  virtual int OnInitCtrl(HWND window);
  // Sends the parent ACM_OPENITEM with the item's full path; returns the
  // parent's answer.
  virtual LRESULT OnDblClk(char* path);
  // Deletes the album view (and its window) and any drag data; unbinds the
  // window, which then stays an empty control.
  virtual ~CAlbumCtrl();

  // Makes the control window as a child of parent for the named
  // configuration (the first slot's when the name is unknown). place: left
  // and top are the position, right and bottom the width and height.
  // Returns the window handle, or 0 when it cannot be made or this object
  // already has a window.
  LONG_PTR CALbumCtrl(HWND parent, const char* name, RECT place);

  // Registers the cell and list view classes, the three control classes and
  // their configurations; 1 on success, 0 when any registration fails.
  static int Register(HINSTANCE instance);

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  long CAlbumCtrlWndProc(HWND hwnd, unsigned msg, unsigned wParam, long lParam);

  // WM_SIZING: snaps the dragged rectangle (edge WMSZ_*) to the view's
  // whole cells plus the scroll bar's margin.
  void OnSizing(unsigned edge, RECT* rect);
  // WM_SIZE: places the scroll bar and the view for the dock mode.
  void OnSize(int width, int height);
  // 0 undocked, 1 docked with vertical scrolling, 2 docked with horizontal
  // scrolling; makes a new scroll bar, which the next WM_SIZE places.
  void SetDock(int mode);
  void DoKeydown(unsigned key, long flags);
  CAlbum* GetAlbum();

protected:
  HWND m_hWnd;                // the control; not owned (the window owns a template-made object)
  BYTE m_bOwnedByWindow;      // 1: WM_DESTROY deletes this object
  HWND m_hScroll;             // the "SCROLLBAR" child; destroyed with the control
  CAlbum* m_pAlbum;           // owned, with its window
  CAlbumDoc2* m_pDragData;    // owned: the items this control is dragging out, or null
  int m_nDockMode;            // ALBUM_UNDOCKED, ALBUM_DOCKED_VERTICAL or ALBUM_DOCKED_HORIZONTAL
  int m_bAutoScroll;          // 1 while timer 1 runs
  int m_bShared;              // 1 in copies: the view and the drag data belong to the original

private:
  void ReleaseOwned();
  HWND ViewWindow();
  HWND CreateScrollBar(int x, int y, int width, int height, bool vertical);
  void UpdateScrollBar();
  void NotifyParent(UINT msg, WPARAM wParam, LPARAM lParam);
  bool IsOwnCell(CThumbView2* cell);
  void AppendItems(CAlbumDoc2* items);
  void OnItemDrop(CThumbView2* target, tagDRAGNOTIFY* record);
  void OnDragNotify(tagDRAGNOTIFY* record);
  void OnAutoScroll();
  void StopAutoScroll();
};

// Process detach: removes the control, list and cell classes registered by
// Register for the instance.
void UnregisterAlbumCtrlClasses(HINSTANCE instance);
