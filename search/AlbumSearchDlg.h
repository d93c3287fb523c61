// The search dialog: finds pictures by name, description, date, type and size
// in the albums of one album folder and in a folder tree, collects them in a
// result view inside the dialog, and saves them as a new album. A run can be
// stopped through the image processing library's stop query and continued
// later from the folder, file, album and item where it stopped.
//
// One CAlbumSearchDlg belongs to one modal dialog: OpenSearchDlg creates it,
// the dialog procedure binds it at WM_INITDIALOG and deletes it at
// WM_DESTROY. The run (SearchRun.cpp) keeps its positions in the members
// below between a stop and the next Find.
#pragma once

#include <album.h>

#include "search/SearchCriteria.h"

// Sent by the run to its own dialog: wParam SEARCH_PROGRESS_*, lParam the
// path examined (const char*), a table of found items (CThumbTable2*, the
// sender deletes it after the call), or 0 at the end.
enum : UINT { SDM_PROGRESS = 0xD401, SDM_ALBUMSAVED = 0xF401 };
enum { SEARCH_PROGRESS_DONE = 0, SEARCH_PROGRESS_FOUND = 1, SEARCH_PROGRESS_EXAMINING = 2 };
enum { SEARCH_STATE_NEW = 1, SEARCH_STATE_STOPPED = 2, SEARCH_STATE_FINISHED = 3 };

class ALBUM_CLASS CAlbumSearchDlg {
public:
  CAlbumSearchDlg();
  ~CAlbumSearchDlg();
  CAlbumSearchDlg(const CAlbumSearchDlg&) = delete;
  CAlbumSearchDlg& operator=(const CAlbumSearchDlg&) = delete;

  // The run (SearchRun.cpp).
  void StartSearch();
  int PrepareSearchLists();
  int RunSearch();
  void OnSearchProgress(WPARAM kind, LPARAM value);
  int ResetSearch();

  // The dialog (AlbumSearchDlg.cpp).
  int BuildCriteria();
  void ShowItemInfo(CThumbnail2* item);
  void FillAlbumList();
  void LoadFolderHistory();
  void SaveFolderHistory();
  void AddFolderToHistory(const char* path);
  int OnClose();
  void SaveAsAlbum();
  CAlbum* GetResultView();  // the result view's album, or null
  void ExpandResults();     // shows the result part below the criteria

  char m_szAlbumFolder[260];
  int m_nThumbWidth = 0;
  int m_nThumbHeight = 0;
  HWND m_hOwner = nullptr;        // not owned
  int m_bUnsaved = 0;             // results added since the last save
  CThumbnail2* m_pShownItem = nullptr;  // not owned: an item of the result view
  char (*m_pFolders)[260] = nullptr;    // owned (malloc), m_nFolders entries
  int m_nFolders = 0;
  int m_nFolderIndex = -1;
  int m_nFileIndex = -1;
  char (*m_pAlbums)[260] = nullptr;     // owned (malloc), m_nAlbums entries
  int m_nAlbums = 0;
  int m_nAlbumIndex = -1;
  int m_nAlbumPosition = 1;
  int m_nPage = 0;
  tagAlbumSearchCreteria m_Criteria;
  int m_nState = SEARCH_STATE_NEW;
  HWND m_hDlg = nullptr;          // the dialog; not owned
  DWORD m_dwStatusShown = 0;      // tick count of the last status line of a run, 0 none yet

private:
  void FreeLists();
  int SearchFolders();
  int SearchAlbums(CAlbumDoc2* scratch);
  bool MakeAlbumPath(HWND list, int entry, char (&path)[MAX_PATH]);
};

// How often a folder run looks at the keyboard for Escape: at most once per
// interval (20 ms unless set), or before every file with 0. An installed
// stop test is asked before every file either way.
ALBUM_API void SetSearchStopInterval(DWORD milliseconds);

ALBUM_API INT_PTR CALLBACK AlbumSearchDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the search dialog modally. 0 when owner is null or the dialog's state
// cannot be made; otherwise the dialog's end code: 1 closed with nothing
// unsaved or after No, 0 after the results were saved on closing, -1 when
// the dialog could not be created.
ALBUM_API int OpenSearchDlg(HWND owner, const char* albumFolder, int thumbWidth, int thumbHeight);
