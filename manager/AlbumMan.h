// The album manager: a modeless dialog over one folder of album files, with
// a toolbar, the album list (the folder's ".abm" files plus one entry for a
// new, untitled album), a description line, a status line and an album
// control showing the current album.
//
// One CAlbumMan belongs to one dialog: the dialog procedure (AlbumManDlg.cpp)
// binds it at WM_INITDIALOG and deletes it at WM_DESTROY. An album is never
// lost on the way: a switch or a close goes on only when the album being
// left was saved, deliberately discarded, or could not be changed anyway.
#pragma once

#include <album.h>
#include <shellapi.h>

class CAlbumCtrl;
class CAlbum;
class CThumbView2;
struct QILOPENOPTIONS;

// Forms of CAlbumMan::GetCurrentAlbumName.
enum {
  ALBUM_NAME_FULL_PATH = 1,
  ALBUM_NAME_WITH_EXTENSION = 2,
  ALBUM_NAME_BARE = 3,
};

// Packs a size the way the dock frame exchanges it: height high, width low.
inline DWORD PackDockSize(int width, int height) {
  return (static_cast<DWORD>(height & 0xFFFF) << 16) | static_cast<DWORD>(width & 0xFFFF);
}

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

// The dialog procedure of every album manager dialog.
INT_PTR CALLBACK AlbumManDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The manager of a manager dialog; null for any other window, so that a
// window handle from outside is never taken for a manager.
CAlbumMan* FindAlbumManager(HWND window);

// Process detach: frees the batch library when a manager loaded it.
void ReleaseBatchLibrary();
