// The search run: prepares the folders and albums to visit, tests their
// pictures against the criteria and reports to the dialog with SDM_PROGRESS;
// a stop request keeps the positions so that the next Find continues there.
#include "search/AlbumSearchDlg.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <new>
#include <vector>

#include "components/resources/resource.h"
#include "manager/Module.h"
#include "platform/Alloc.h"
#include "model/FolderListing.h"
#include "platform/Text.h"
#include "platform/pixamo.h"
#include "platform/qil.h"

namespace {

constexpr DWORD kStatusInterval = 250;  // ms between two status lines of a run

char* AsList(char (*entries)[260]) { return reinterpret_cast<char*>(entries); }
char (*AsEntries(char* list))[260] { return reinterpret_cast<char(*)[260]>(list); }

class WaitCursor {
public:
  WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_ ? previous_ : LoadCursorA(nullptr, IDC_ARROW)); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

private:
  HCURSOR previous_;
};

void SetResourceText(HWND dialog, int control, UINT textId) {
  char text[256] = "";
  LoadStringA(GetResourceModule(), textId, text, sizeof(text));
  SetDlgItemTextA(dialog, control, text);
}

DWORD g_stopInterval = 20;

// The keyboard costs more to ask than a file that does not match costs to
// examine: a folder run looks at it every g_stopInterval ms, which still
// ends a run well within the blink of an eye after Escape. An installed
// stop test is asked for every file.
bool StopRequested() { return AbortPictureProcessingEvery(g_stopInterval) != 0; }

}  // namespace

void SetSearchStopInterval(DWORD milliseconds) { g_stopInterval = milliseconds; }

void CAlbumSearchDlg::FreeLists() {
  free(AsList(m_pFolders));
  free(AsList(m_pAlbums));
  m_pFolders = nullptr;
  m_pAlbums = nullptr;
}

int CAlbumSearchDlg::ResetSearch() {
  FreeLists();
  m_bUnsaved = 0;
  m_nFolders = m_nAlbums = 0;
  m_nFolderIndex = m_nFileIndex = m_nAlbumIndex = 0;
  m_nAlbumPosition = 1;
  m_nState = SEARCH_STATE_NEW;
  return 1;
}

bool CAlbumSearchDlg::MakeAlbumPath(HWND list, int entry, char (&path)[MAX_PATH]) {
  LRESULT length = SendMessageA(list, CB_GETLBTEXTLEN, entry, 0);
  if (length == CB_ERR || length >= MAX_PATH) return false;
  char name[MAX_PATH] = "";
  SendMessageA(list, CB_GETLBTEXT, entry, reinterpret_cast<LPARAM>(name));
  size_t folderLength = strlen(m_szAlbumFolder);
  size_t nameLength = strlen(name);
  if (folderLength + 1 + nameLength + 4 >= MAX_PATH) return false;
  memcpy(path, m_szAlbumFolder, folderLength);
  path[folderLength] = '\\';
  memcpy(path + folderLength + 1, name, nameLength);
  memcpy(path + folderLength + 1 + nameLength, ".abm", 5);
  return true;
}

int CAlbumSearchDlg::PrepareSearchLists() {
  ResetSearch();
  tagSearchScope* scope = GetSearchScope(&m_Criteria);
  size_t length = strlen(scope->szFolder);
  if (length > 0 && scope->szFolder[length - 1] == '\\') scope->szFolder[length - 1] = '\0';

  char* folders = static_cast<char*>(AlbumMalloc(ALBUM_PATH_ENTRY));
  if (!folders) return ResetSearch(), 0;
  CopyText(folders, ALBUM_PATH_ENTRY, scope->szFolder);
  int folderCount = 1;
  if (scope->nIncludeSubfolders && scope->szFolder[0] &&
      EnumSubfolders(scope->szFolder, &folders, &folderCount) != 0) {
    free(folders);
    return ResetSearch(), 0;
  }
  m_pFolders = AsEntries(folders);
  m_nFolders = folderCount;

  HWND list = m_hDlg ? GetDlgItem(m_hDlg, IDC_SEARCH_ALBUM) : nullptr;
  char all[MAX_PATH] = "";
  LoadStringA(GetResourceModule(), IDS_ALL_ALBUMS, all, sizeof(all));
  int entries = list ? static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0)) : 0;
  int first = 1, last = entries - 1;
  if (strcmp(scope->szAlbum, all) != 0) {
    first = last = list ? static_cast<int>(SendMessageA(list, CB_GETCURSEL, 0, 0)) : -1;
  }
  if (first >= 0 && last >= first) {
    m_pAlbums = static_cast<char(*)[260]>(AlbumCalloc(static_cast<size_t>(last - first + 1), ALBUM_PATH_ENTRY));
    if (!m_pAlbums) return ResetSearch(), 0;
    for (int entry = first; entry <= last; ++entry) {
      if (MakeAlbumPath(list, entry, m_pAlbums[m_nAlbums])) ++m_nAlbums;
    }
  }
  return 1;
}

// The folder phase from the saved folder and file on; 1 when it ran to its
// end, 0 when a stop request ended it (the positions stay). The files come
// in the order EnumPictureFiles gives them, with the status their listing
// returned, so that no file costs a status query of its own.
int CAlbumSearchDlg::SearchFolders() {
  FolderFileMatcher test(&m_Criteria);
  while (m_nFolderIndex < m_nFolders) {
    std::vector<PictureFileEntry> files;
    // A folder that cannot be listed whole is passed over, as before.
    if (!ListPictureFiles(m_pFolders[m_nFolderIndex], &files)) files.clear();
    int count = static_cast<int>(files.size());
    for (; m_nFileIndex < count; ++m_nFileIndex) {
      if (StopRequested()) return 0;
      const PictureFileEntry& file = files[static_cast<size_t>(m_nFileIndex)];
      SendMessageA(m_hDlg, SDM_PROGRESS, SEARCH_PROGRESS_EXAMINING, reinterpret_cast<LPARAM>(file.path));
      if (!test.Matches(file.path, static_cast<long long>(file.size), file.modified)) continue;
      QilSetLastError(0);
      CThumbnail2* item = CreateThumbnailFromFile(file.path, static_cast<WORD>(m_nThumbWidth),
                                                  static_cast<WORD>(m_nThumbHeight), nullptr);
      // A stop while the picture was read leaves this file for Continue.
      if (!item && QilGetLastError() == QIL_ERR_STOPPED) return 0;
      if (!item) continue;
      CThumbTable2 found;
      found.Insert(item, nullptr);
      SendMessageA(m_hDlg, SDM_PROGRESS, SEARCH_PROGRESS_FOUND, reinterpret_cast<LPARAM>(&found));
    }
    m_nFileIndex = 0;
    ++m_nFolderIndex;
  }
  return 1;
}

int CAlbumSearchDlg::SearchAlbums(CAlbumDoc2* scratch) {
  while (m_nAlbumIndex < m_nAlbums) {
    if (AbortPictureProcessing()) return 0;
    const char* path = m_pAlbums[m_nAlbumIndex];
    SendMessageA(m_hDlg, SDM_PROGRESS, SEARCH_PROGRESS_EXAMINING, reinterpret_cast<LPARAM>(path));
    WaitCursor wait;
    if (scratch->Load(path, 1)) {
      int start = m_nAlbumPosition;
      CThumbTable2* found = scratch->Search(m_Criteria, m_nAlbumPosition);
      if (!found) {
        // The matches before the stop went with the partial result: the
        // album resumes where this pass began, and the result view does
        // not take an item twice.
        m_nAlbumPosition = start;
        return 0;
      }
      SendMessageA(m_hDlg, SDM_PROGRESS, SEARCH_PROGRESS_FOUND, reinterpret_cast<LPARAM>(found));
      delete found;
    }
    m_nAlbumPosition = 1;
    ++m_nAlbumIndex;
  }
  return 1;
}

int CAlbumSearchDlg::RunSearch() {
  if (!m_hDlg || m_nState == SEARCH_STATE_FINISHED) {
    MessageBeep(0);
    return 0;
  }
  WaitCursor wait;
  // Clears a stop request left from before this run.
  AbortPictureProcessing();
  std::unique_ptr<CAlbumDoc2> scratch(new (std::nothrow) CAlbumDoc2);
  if (!scratch) return 0;
  scratch->SetThumbnailSize(static_cast<WORD>(m_nThumbWidth), static_cast<WORD>(m_nThumbHeight));
  if (m_nState == SEARCH_STATE_NEW) PrepareSearchLists();

  const tagSearchScope* scope = GetSearchScope(&m_Criteria);
  bool folderPhase = false, albumPhase = false;
  bool stopped = false;
  if (scope->nScope != SEARCH_SCOPE_ALBUMS && scope->szFolder[0] && m_nFolders > 0) {
    folderPhase = true;
    stopped = !SearchFolders();
  }
  if (!stopped && scope->nScope != SEARCH_SCOPE_FOLDERS && m_nAlbums > 0) {
    folderPhase = false;
    albumPhase = true;
    stopped = !SearchAlbums(scratch.get());
  }
  scratch.reset();
  bool left = (folderPhase && m_nFolderIndex < m_nFolders) || (albumPhase && m_nAlbumIndex < m_nAlbums);
  m_nState = left ? SEARCH_STATE_STOPPED : SEARCH_STATE_FINISHED;
  // A finished run over an empty list starts afresh next time; a stopped
  // one keeps its place, and results found stay marked as unsaved either way.
  if (m_nState == SEARCH_STATE_FINISHED && (m_nFolders == 0 || m_nAlbums == 0)) {
    int unsaved = m_bUnsaved;
    ResetSearch();
    m_bUnsaved = unsaved;
  }
  SendMessageA(m_hDlg, SDM_PROGRESS, SEARCH_PROGRESS_DONE, 0);
  return 1;
}

void CAlbumSearchDlg::StartSearch() {
  if (m_nState == SEARCH_STATE_FINISHED) {
    MessageBeep(0);
    return;
  }
  if (m_nState == SEARCH_STATE_NEW && !BuildCriteria()) return;
  ExpandResults();
  SetDlgItemTextA(m_hDlg, IDC_SEARCH_DESCRIPTION, " ");
  SetResourceText(m_hDlg, IDC_SEARCH_STATUS, IDS_SEARCH_STARTING);
  UpdateWindow(m_hDlg);
  EnableWindow(GetDlgItem(m_hDlg, IDC_SEARCH_FIND), FALSE);
  EnableWindow(GetDlgItem(m_hDlg, IDC_SEARCH_SAVE_AS_ALBUM), FALSE);
  if (m_nState == SEARCH_STATE_NEW) {
    if (CAlbum* results = GetResultView()) {
      m_pShownItem = nullptr;
      results->FreeAlbumData();
    }
  }
  RunSearch();
  SetResourceText(m_hDlg, IDC_SEARCH_FIND, m_nState == SEARCH_STATE_STOPPED ? IDS_BUTTON_CONTINUE : IDS_BUTTON_FIND);
}

void CAlbumSearchDlg::OnSearchProgress(WPARAM kind, LPARAM value) {
  char format[128] = "";
  char text[MAX_PATH + 128] = "";
  switch (kind) {
    case SEARCH_PROGRESS_EXAMINING: {
      // Painting the status line for every file would cost more than
      // examining it: the line follows the run a few times a second.
      DWORD now = GetTickCount();
      if (m_dwStatusShown && now - m_dwStatusShown < kStatusInterval) break;
      m_dwStatusShown = now ? now : 1;
      UpdateWindow(m_hDlg);
      LoadStringA(GetResourceModule(), IDS_FMT_SEARCHING, format, 101);
      snprintf(text, sizeof(text), format, reinterpret_cast<const char*>(value));
      SetDlgItemTextA(m_hDlg, IDC_SEARCH_STATUS, text);
      break;
    }
    case SEARCH_PROGRESS_FOUND:
      if (CAlbum* results = GetResultView()) {
        if (results->InsertFromTable(reinterpret_cast<CThumbTable2*>(value), nullptr)) m_bUnsaved = 1;
      }
      break;
    case SEARCH_PROGRESS_DONE: {
      m_dwStatusShown = 0;
      UpdateWindow(m_hDlg);
      CAlbum* results = GetResultView();
      int count = results ? results->GetDocument()->GetCount() : 0;
      LoadStringA(GetResourceModule(), IDS_FMT_SEARCH_DONE, format, sizeof(format));
      snprintf(text, sizeof(text), format, count);
      SetDlgItemTextA(m_hDlg, IDC_SEARCH_STATUS, text);
      if (count > 0) EnableWindow(GetDlgItem(m_hDlg, IDC_SEARCH_SAVE_AS_ALBUM), TRUE);
      EnableWindow(GetDlgItem(m_hDlg, IDC_SEARCH_FIND), TRUE);
      break;
    }
  }
}
