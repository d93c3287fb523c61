// The exported album control and album manager. Included by album.h.
#pragma once

#include <shellapi.h>

struct QILOPENOPTIONS;

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

// The album control: the child window that shows one album. It owns an
// album view and its scroll bar, turns the view's reports into ACM_*
// notifications for its parent, moves and copies items between albums by
// drag and drop and lays itself out for the manager's docked presentations.
// The window classes "ManDlgAlbumCtrl", "OptionDlgAlbumCtrl" and
// "WizDlgAlbumCtrl" (and those named with RegisterMiniAlbum) each select a
// view configuration.
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

// Forms of CAlbumMan::GetCurrentAlbumName.
enum {
  ALBUM_NAME_FULL_PATH = 1,
  ALBUM_NAME_WITH_EXTENSION = 2,
  ALBUM_NAME_BARE = 3,
};

// Messages between a host's dock frame and the manager dialog it holds.
// Dock types: 0 floating, 1 left, 2 top, 4 right, 8 bottom.
enum : UINT {
  DFM_GETMINSIZE = 0x1105,  // frame -> dialog: wParam dock type, lParam DWORD* packed minimum size
  DFM_SIZED = 0x1106,       // dialog -> frame: the dialog's WM_SIZE arguments
  DFM_LAYOUT = 0x1107,      // frame -> dialog: wParam dock type, lParam DWORD* packed size in/out
  DFM_SHOW = 0x1109,        // dialog -> frame: wParam 5 shown, 0 hidden
  DFM_QUERYCLOSE = 0x110B,  // frame -> dialog: lParam points at an int, -1 back when it may close
  DFM_ACTIVATE = 0x110D,    // frame -> dialog: WM_ACTIVATE's wParam
};

// Packs a size the way the dock frame exchanges it: height high, width low.
inline DWORD PackDockSize(int width, int height) {
  return (static_cast<DWORD>(height & 0xFFFF) << 16) | static_cast<DWORD>(width & 0xFFFF);
}

// The album manager: the object behind one modeless manager dialog over a
// folder of album files (album list, toolbar, album control, description and
// status lines). The dialog owns it: a host reaches it through the dialog
// window's user data and never deletes it.
class ALBUM_CLASS CAlbumMan {
public:
  CAlbumMan();
  // Frees the close-button bitmap and the move trigger, unless this object
  // is a copy: copies share every handle and free none.
  ~CAlbumMan();
  CAlbumMan(const CAlbumMan&) = delete;
  // Copies every member unchanged (handles and pointers are then shared);
  // the target becomes a copy that never frees what it shares.
  CAlbumMan& operator=(const CAlbumMan& other);

  // A new manager, or null when a size is not positive.
  static CAlbumMan* CreateAlbumMan(int thumbWidth, int thumbHeight);
  // Creates and fills the dialog owned by host over folder, opening album
  // name (the file name without ".abm"; empty: the "LastOpen" album). 1 on
  // success. On failure the caller still owns (and deletes) this object.
  int Open(HWND host, const char* folder, const char* name);
  // 0 (nothing changed) when a size is not positive.
  int SetAlbumOption(int thumbWidth, int thumbHeight);
  CAlbumCtrl* GetAlbumCtrl();
  // The current album's name into buffer (MAX_PATH bytes): its full path,
  // its file name with or without extension; the untitled album's name
  // (string 4017) in every form. 0 only when there is no album view.
  int GetCurrentAlbumName(char* buffer, int form);

  // Inserts a thumbnail of picture (the caller keeps it) at the focus or the
  // end. ignored: kept for the exported signature.
  int InsertFromDib(void* picture, const char* description, const char* path, const char* ignored);
  int InsertFromFile(const char* path, const char* description);

  // Album list maintenance.
  void LoadAlbumList();
  void ClearAlbumList();
  int AddFileToList(const char* name, int select);
  // folder + "\" + entry text + ".abm"; 0 when the entry does not exist or
  // the path does not fit buffer (MAX_PATH bytes).
  int GetAlbumPath(int index, char* buffer);

  void UpdateDescLine();
  void UpdateCurrentAlbum();
  int RefreshAlbum();
  // Lays the dialog out for a dock type (0 undocked, 1 left, 4 right, 2 top,
  // 8 bottom); returns the chosen size packed by PackDockSize.
  DWORD MoveSize(int dockType, DWORD proposed, HWND dialog);
  // Minimum size for a dock type, packed; 0 for an unknown type.
  DWORD MinimumSize(int dockType, HWND dialog);

  static int GetImageListFromActiveAlbum(int& count, char (*&list)[260]);
  static int GetSelectImageListFromActiveAlbum(int& count, char (*&list)[260]);

  // Commands.
  int NewAlbum();
  int Save();
  // Switches the view to the album file at path. A file that cannot be read
  // leaves the album that was shown current and untouched.
  int Reload(const char* path);
  // Settles the album being left. 1 when the switch or close may go on; 0
  // when the user's Yes could not be carried out (the save failed or the
  // name dialog was left without a name for a titled album): the album then
  // stays current and modified.
  int DoNeedSave();
  int DoDeleteAlbum();
  int Delete();
  int Add();
  // Adds the files of a list as the add-files dialog leaves it: one full
  // path, or a folder followed by names, each ended by a zero byte and the
  // list by an empty name. Shows "Adding n of m: name" in the status line;
  // Escape stops the run. options: as the dialog filled them, or null. The
  // number of pictures added.
  int AddFiles(const char* list, QILOPENOPTIONS* options);
  int OnDropFiles(HDROP drop);
  int Sort();
  void Search();
  int Acquire();
  void SetOpenFileFormat(int formatIndex, const char* defaultExt, DWORD formatFlags, const char* lastFolder);
  void ShowPopupMenu(WPARAM keys, CThumbView2* cell);
  // The print command: print dialog, then the album view's Print. Always 0.
  int Print();

  // The album view of the album control, or null.
  CAlbum* GetAlbum();
  // Shows the item count (string 4009) in the status line and the album's
  // description in the description line without touching the modified flag.
  void ShowAlbumSummary();
  // Status line and description line for the focused item (or the album).
  // 0 when the item's date cannot be shown.
  int ShowItemInformation();
  // Whether the dialog may close now: may ask the save question. 1 allowed.
  int QueryClose();
  // Renames the current album to the text of the album list's edit field.
  void RenameFromList();

  // Members, in the order the dialog's peers know them.
  HWND m_hWnd = nullptr;               // the dialog; not owned (it destroys itself)
  char m_szFolder[MAX_PATH] = "";      // folder of the album files
  int m_nAlbumCount = 0;               // entries of the album list, untitled included
  CAlbumCtrl* m_pAlbumCtrl = nullptr;  // not owned: the dialog's album control
  int m_nThumbWidth = 16;
  int m_nThumbHeight = 16;
  int m_bModified = 0;                 // the current album has unsaved changes
  int m_bUntitled = 0;                 // the current album has no file yet
  int m_nCurrent = -1;                 // index of the current album in the list, -1 none
  CThumbnail2* m_pFocused = nullptr;   // not owned: item shown in the status line
  DWORD m_dwFileTime = 0;              // later of modification and creation time at load/save
  HWND m_hMoveTrigger = nullptr;       // owned (FreeTransplantation) while docked
  HBITMAP m_hCloseBitmap = nullptr;    // owned: image of the docked close button
  int m_nOpenFormat = 0;               // filter index of the add-files dialog
  char m_szDefaultExt[12] = "tif";     // default extension of the add-files dialog
  DWORD m_dwFormatFlags = 0;           // format mask of the add-files dialog
  char m_szLastFolder[MAX_PATH] = "";  // folder last used in the add-files dialog
  int m_nDockMode = 0;                 // 0 undocked, 1 docked vertical, 2 docked horizontal
  HWND m_hDockFrame = nullptr;         // not owned: the host's dock frame, or null
  HWND m_hAlbumList = nullptr;         // the album list, dialog item 101
  HWND m_hHost = nullptr;              // not owned: receives item-open requests

private:
  int m_bCopy = 0;                     // 1: a copy, which frees nothing it shares
  // Above 0 while a question or the name dialog of a save, a switch or a
  // close is showing: the album list losing the focus to it is no rename.
  int m_nBusy = 0;

  // The current entry's text into buffer (MAX_PATH bytes); empty without one.
  void GetCurrentEntryText(char* buffer);
  // Replaces entry index by text keeping the selection on it.
  void ReplaceEntry(int index, const char* text);
  void SetStatusCount();
  void SetDescriptionLine(const char* text);
  int StoreFileTime(const char* path);
  // The save question (4011) under the thread's modal mark; 0 when it could
  // not be asked.
  int AskSaveChanges(HWND owner, int* answer);
  // Save, naming an untitled album first: the name dialog proposes the
  // album list's text, or (proposeListText false) the last accepted name.
  int SaveAlbum(bool proposeListText);
  // Untitled album: the new-album dialog; chosen receives the file name with
  // ".abm". 0 when cancelled.
  int NameUntitledAlbum(HWND owner, bool proposeListText, char* chosen);
};
