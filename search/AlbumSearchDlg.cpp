// The search dialog: its controls, the criteria they make, the result view's
// editing, saving the results as an album, closing, the folder history and
// the layout by whole result cells.
#include "search/AlbumSearchDlg.h"

#include <shlobj.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <new>
#include <string_view>

#include "components/resources/resource.h"
#include "manager/AlbumDialogs.h"
#include "manager/HostOptions.h"
#include "manager/Module.h"
#include "platform/Text.h"
#include "platform/pixamo.h"
#include "platform/qil.h"

namespace {

constexpr int kCellWidth = 88;
constexpr int kCellHeight = 107;
constexpr int kTextLimit = 127;
constexpr char kHistoryFile[] = "ALBUM.INI";
constexpr char kHistorySection[] = "SEARCHFOLDER";

// Layout fixed at initialisation; one search dialog exists at a time.
struct Layout {
  int baseColumns = 0;
  int baseWidth = 0;
  int collapsedHeight = 0;
  int expandedHeight = 0;
  int resultTop = 0;
} g_layout;

WNDPROC g_dateEditProc = nullptr;
// The state handed to a dialog that has not come up yet: OpenSearchDlg
// deletes it itself when the dialog never binds it.
CAlbumSearchDlg* g_unbound = nullptr;

const int kPage0[] = {IDC_SEARCH_PAGE0_LABEL_1, IDC_SEARCH_NAME, IDC_SEARCH_PAGE0_LABEL_2, IDC_SEARCH_DESC_TEXT,
                      IDC_SEARCH_DESC_OPTION, IDC_SEARCH_IN_ALBUMS, IDC_SEARCH_ALBUM, IDC_SEARCH_IN_FOLDER,
                      IDC_SEARCH_FOLDER, IDC_SEARCH_SUBFOLDERS, IDC_SEARCH_BROWSE};
const int kPage1[] = {IDC_SEARCH_ANY_DATE, IDC_SEARCH_BY_DATE, IDC_SEARCH_BETWEEN, IDC_SEARCH_FROM_DATE,
                      IDC_SEARCH_PAGE1_LABEL_1, IDC_SEARCH_TO_DATE, IDC_SEARCH_LAST_MONTHS, IDC_SEARCH_MONTHS,
                      IDC_SEARCH_MONTHS_SPIN, IDC_SEARCH_PAGE1_LABEL_2, IDC_SEARCH_LAST_DAYS, IDC_SEARCH_DAYS,
                      IDC_SEARCH_DAYS_SPIN, IDC_SEARCH_PAGE1_LABEL_3};
const int kPage2[] = {IDC_SEARCH_FILE_TYPE, IDC_SEARCH_PAGE2_LABEL_1, IDC_SEARCH_PAGE2_LABEL_2,
                      IDC_SEARCH_SIZE_BOUND, IDC_SEARCH_SIZE_KB, IDC_SEARCH_PAGE2_LABEL_3};

CAlbumSearchDlg* FromDialog(HWND dialog) {
  return reinterpret_cast<CAlbumSearchDlg*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
}

std::string_view ResourceText(UINT id, char* buffer, int size) {
  buffer[0] = '\0';
  LoadStringA(GetResourceModule(), id, buffer, size);
  return buffer;
}

bool Checked(HWND dialog, int control) { return IsDlgButtonChecked(dialog, control) == BST_CHECKED; }

void Enable(HWND dialog, int control, bool enable) { EnableWindow(GetDlgItem(dialog, control), enable ? TRUE : FALSE); }

void ShowPage(HWND dialog, int page) {
  const int* pages[] = {kPage0, kPage1, kPage2};
  const size_t sizes[] = {sizeof(kPage0) / sizeof(int), sizeof(kPage1) / sizeof(int), sizeof(kPage2) / sizeof(int)};
  for (int p = 0; p < 3; ++p) {
    for (size_t i = 0; i < sizes[p]; ++i) ShowWindow(GetDlgItem(dialog, pages[p][i]), p == page ? SW_SHOW : SW_HIDE);
  }
  if (CAlbumSearchDlg* search = FromDialog(dialog)) search->m_nPage = page;
}

void SelectPage(HWND dialog, int page) {
  SendDlgItemMessageA(dialog, IDC_SEARCH_TABS, TCM_SETCURSEL, page, 0);
  ShowPage(dialog, page);
}

// Edits and up-downs of the date page for the option chosen.
void EnableDateControls(HWND dialog, int option) {
  Enable(dialog, IDC_SEARCH_FROM_DATE, option == IDC_SEARCH_BETWEEN);
  Enable(dialog, IDC_SEARCH_TO_DATE, option == IDC_SEARCH_BETWEEN);
  Enable(dialog, IDC_SEARCH_MONTHS, option == IDC_SEARCH_LAST_MONTHS);
  Enable(dialog, IDC_SEARCH_MONTHS_SPIN, option == IDC_SEARCH_LAST_MONTHS);
  Enable(dialog, IDC_SEARCH_DAYS, option == IDC_SEARCH_LAST_DAYS);
  Enable(dialog, IDC_SEARCH_DAYS_SPIN, option == IDC_SEARCH_LAST_DAYS);
}

LRESULT CALLBACK NumericEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CHAR) {
    bool allowed = (wParam >= '0' && wParam <= '9') || wParam == '-' || wParam == ' ' || wParam == VK_BACK;
    if (!allowed) return DefWindowProcA(edit, message, wParam, lParam);
  }
  return CallWindowProcA(g_dateEditProc, edit, message, wParam, lParam);
}

void ShowResultBox(HWND dialog, UINT textId, int focus, int page) {
  ShowResourceMessage(dialog, textId, IDS_CAPTION_SEARCH, MB_ICONEXCLAMATION);
  if (page >= 0) SelectPage(dialog, page);
  SetFocus(GetDlgItem(dialog, focus));
}

bool EarlierOrSame(const struct tm& a, const struct tm& b) {
  if (a.tm_year != b.tm_year) return a.tm_year < b.tm_year;
  if (a.tm_mon != b.tm_mon) return a.tm_mon < b.tm_mon;
  return a.tm_mday <= b.tm_mday;
}

struct tm LocalNow() {
  time_t now = GetSearchTime();
  struct tm local = {};
  if (const struct tm* converted = localtime(&now)) local = *converted;
  return local;
}

void PlaceControl(HWND dialog, int control, int x, int y, int width, int height) {
  SetWindowPos(GetDlgItem(dialog, control), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void WindowSize(HWND window, int* width, int* height) {
  RECT rect;
  GetWindowRect(window, &rect);
  *width = rect.right - rect.left;
  *height = rect.bottom - rect.top;
}

}  // namespace

CAlbumSearchDlg::CAlbumSearchDlg() {
  CopyText(m_szAlbumFolder, " ");
  memset(&m_Criteria, 0, sizeof(m_Criteria));
}

CAlbumSearchDlg::~CAlbumSearchDlg() { FreeLists(); }

CAlbum* CAlbumSearchDlg::GetResultView() {
  HWND control = m_hDlg ? GetDlgItem(m_hDlg, IDC_SEARCH_RESULTS) : nullptr;
  auto* albumCtrl = control ? reinterpret_cast<CAlbumCtrl*>(GetWindowLongPtrA(control, GWLP_USERDATA)) : nullptr;
  return albumCtrl ? albumCtrl->GetAlbum() : nullptr;
}

void CAlbumSearchDlg::ExpandResults() {
  int width = 0, height = 0;
  WindowSize(m_hDlg, &width, &height);
  if (height < g_layout.expandedHeight) {
    SetWindowPos(m_hDlg, nullptr, 0, 0, width, g_layout.expandedHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void CAlbumSearchDlg::FillAlbumList() {
  HWND list = GetDlgItem(m_hDlg, IDC_SEARCH_ALBUM);
  SendMessageA(list, CB_RESETCONTENT, 0, 0);
  char pattern[MAX_PATH];
  int written = snprintf(pattern, sizeof(pattern), "%s\\*.abm", m_szAlbumFolder);
  if (written < 0 || static_cast<size_t>(written) >= sizeof(pattern)) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    char full[MAX_PATH], longName[MAX_PATH];
    written = snprintf(full, sizeof(full), "%s\\%s", m_szAlbumFolder, found.cFileName);
    if (written < 0 || static_cast<size_t>(written) >= sizeof(full)) continue;
    ExpandLongPathName(full, longName);
    const char* name = strrchr(longName, '\\');
    char stem[MAX_PATH];
    CopyText(stem, name ? name + 1 : longName);
    if (char* dot = strrchr(stem, '.')) *dot = '\0';
    if (stem[0]) SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(stem));
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

void CAlbumSearchDlg::LoadFolderHistory() {
  char countText[16] = "";
  GetPrivateProfileStringA(kHistorySection, "ITEMNUM", "00", countText, 15, kHistoryFile);
  int count = ReadFolderHistoryCount(countText);
  HWND list = GetDlgItem(m_hDlg, IDC_SEARCH_FOLDER);
  for (int i = 0; i < count; ++i) {
    char key[16], folder[MAX_PATH] = "";
    snprintf(key, sizeof(key), "%d", i);
    GetPrivateProfileStringA(kHistorySection, key, "NOTFIND", folder, MAX_PATH, kHistoryFile);
    if (strcmp(folder, "NOTFIND") != 0) SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder));
  }
}

void CAlbumSearchDlg::SaveFolderHistory() {
  HWND list = GetDlgItem(m_hDlg, IDC_SEARCH_FOLDER);
  int entries = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
  if (entries <= 0) return;
  WritePrivateProfileStringA(kHistorySection, nullptr, nullptr, kHistoryFile);
  int count = entries < SEARCH_FOLDER_HISTORY_LIMIT ? entries : SEARCH_FOLDER_HISTORY_LIMIT;
  char text[16];
  snprintf(text, sizeof(text), "%d", count);
  WritePrivateProfileStringA(kHistorySection, "ITEMNUM", text, kHistoryFile);
  for (int i = 0; i < count; ++i) {
    char folder[MAX_PATH] = "";
    LRESULT length = SendMessageA(list, CB_GETLBTEXTLEN, i, 0);
    if (length == CB_ERR || length >= MAX_PATH) continue;
    SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(folder));
    snprintf(text, sizeof(text), "%d", i);
    WritePrivateProfileStringA(kHistorySection, text, folder, kHistoryFile);
  }
}

void CAlbumSearchDlg::AddFolderToHistory(const char* path) {
  HWND list = GetDlgItem(m_hDlg, IDC_SEARCH_FOLDER);
  LRESULT found = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(path));
  if (found == CB_ERR) found = SendMessageA(list, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(path));
  SendMessageA(list, CB_SETCURSEL, found, 0);
}

int CAlbumSearchDlg::BuildCriteria() {
  HWND dialog = m_hDlg;
  memset(&m_Criteria, 0, sizeof(m_Criteria));
  GetDlgItemTextA(dialog, IDC_SEARCH_NAME, m_Criteria.szName, kTextLimit + 1);
  if (strpbrk(m_Criteria.szName, "*?")) {
    ShowResultBox(dialog, IDS_NO_WILDCARDS_IN_NAME, IDC_SEARCH_NAME, -1);
    return 0;
  }
  GetDlgItemTextA(dialog, IDC_SEARCH_DESC_TEXT, m_Criteria.szDescription, kTextLimit + 1);
  m_Criteria.nDescriptionOption = Checked(dialog, IDC_SEARCH_DESC_OPTION) ? 1 : 0;

  m_Criteria.bDateTest = Checked(dialog, IDC_SEARCH_ANY_DATE) ? 0 : 1;
  if (m_Criteria.bDateTest) {
    if (Checked(dialog, IDC_SEARCH_BETWEEN)) {
      char text[16];
      int bad = 0;
      GetDlgItemTextA(dialog, IDC_SEARCH_FROM_DATE, text, 11);
      if (!ParseDateText(text, &m_Criteria.tmFrom)) bad = IDC_SEARCH_FROM_DATE;
      if (!bad) {
        GetDlgItemTextA(dialog, IDC_SEARCH_TO_DATE, text, 11);
        if (!ParseDateText(text, &m_Criteria.tmTo)) bad = IDC_SEARCH_TO_DATE;
      }
      if (bad) MessageBeep(0);
      if (!bad && !EarlierOrSame(m_Criteria.tmFrom, m_Criteria.tmTo)) bad = IDC_SEARCH_FROM_DATE;
      if (bad) {
        ShowResultBox(dialog, IDS_INVALID_DATE_RANGE, bad, 1);
        return 0;
      }
      m_Criteria.tmFrom.tm_year -= 1900;
      m_Criteria.tmTo.tm_year -= 1900;
    } else if (Checked(dialog, IDC_SEARCH_LAST_MONTHS)) {
      int months = static_cast<int>(GetDlgItemInt(dialog, IDC_SEARCH_MONTHS, nullptr, FALSE));
      if (months < 1) months = 1;
      m_Criteria.tmTo = LocalNow();
      m_Criteria.tmFrom = MonthsBefore(&m_Criteria.tmTo, months);
    } else {
      int days = static_cast<int>(GetDlgItemInt(dialog, IDC_SEARCH_DAYS, nullptr, FALSE));
      if (days < 1) days = 1;
      time_t now = GetSearchTime();
      m_Criteria.tmTo = LocalNow();
      time_t earlier = now - static_cast<time_t>(days) * 86400;
      if (const struct tm* converted = localtime(&earlier)) m_Criteria.tmFrom = *converted;
    }
  }

  LRESULT type = SendDlgItemMessageA(dialog, IDC_SEARCH_FILE_TYPE, CB_GETCURSEL, 0, 0);
  if (type != CB_ERR && type != 0) {
    char pattern[QIL_FORMAT_STRING_MAX] = "";
    if (GetSelectFormatString(GetDlgItem(dialog, IDC_SEARCH_FILE_TYPE), pattern) && pattern[0]) {
      CopyText(m_Criteria.szTypes, pattern + 1);
    }
  }

  char sizeText[16] = "";
  GetDlgItemTextA(dialog, IDC_SEARCH_SIZE_KB, sizeText, sizeof(sizeText));
  int choice = static_cast<int>(SendDlgItemMessageA(dialog, IDC_SEARCH_SIZE_BOUND, CB_GETCURSEL, 0, 0));
  if (!MakeSizeBound(choice, sizeText, &m_Criteria.nSizeBound)) {
    ShowResultBox(dialog, IDS_INVALID_SIZE, IDC_SEARCH_SIZE_KB, 2);
    return 0;
  }

  tagSearchScope* scope = GetSearchScope(&m_Criteria);
  int sum = 0;
  if (Checked(dialog, IDC_SEARCH_IN_ALBUMS)) {
    GetDlgItemTextA(dialog, IDC_SEARCH_ALBUM, scope->szAlbum, sizeof(scope->szAlbum));
    sum += 1;
  }
  if (Checked(dialog, IDC_SEARCH_IN_FOLDER)) {
    sum += 5;
    GetDlgItemTextA(dialog, IDC_SEARCH_FOLDER, scope->szFolder, sizeof(scope->szFolder));
    HWND list = GetDlgItem(dialog, IDC_SEARCH_FOLDER);
    if (scope->szFolder[0] &&
        SendMessageA(list, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(scope->szFolder)) ==
            CB_ERR) {
      SendMessageA(list, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(scope->szFolder));
    }
    scope->nIncludeSubfolders = Checked(dialog, IDC_SEARCH_SUBFOLDERS) ? 1 : 0;
  }
  if (sum == 0) return 0;
  scope->nScope = sum == 6 ? SEARCH_SCOPE_BOTH : sum == 1 ? SEARCH_SCOPE_ALBUMS : SEARCH_SCOPE_FOLDERS;
  return 1;
}

void CAlbumSearchDlg::ShowItemInfo(CThumbnail2* item) {
  CAlbum* results = GetResultView();
  if (!results) return;
  CAlbumDoc2* document = results->GetDocument();
  char typed[kTextLimit + 1] = "";
  GetDlgItemTextA(m_hDlg, IDC_SEARCH_DESCRIPTION, typed, sizeof(typed));
  if (m_pShownItem) {
    CopyText(m_pShownItem->GetInfo()->aiDescription, typed);
  } else {
    document->SetDescription(typed);
  }
  m_pShownItem = item;
  char format[128], status[256] = "";
  if (item) {
    const tagALBUMINFOHEADER* info = item->GetInfo();
    time_t when = static_cast<time_t>(info->aiFileTime);
    struct tm date = {};
    if (const struct tm* converted = gmtime(&when)) date = *converted;
    ResourceText(IDS_FMT_ITEM_INFO, format, 101);
    snprintf(status, sizeof(status), format, date.tm_mon + 1, date.tm_mday, date.tm_year + 1900,
             static_cast<int>((info->aiFileSize + 518) / 1024), info->aiWidth, info->aiHeight);
    SetDlgItemTextA(m_hDlg, IDC_SEARCH_DESCRIPTION, info->aiDescription);
  } else {
    ResourceText(IDS_FMT_ITEM_COUNT, format, sizeof(format));
    snprintf(status, sizeof(status), format, document->GetCount());
    SetDlgItemTextA(m_hDlg, IDC_SEARCH_DESCRIPTION, document->GetDescription());
  }
  SetDlgItemTextA(m_hDlg, IDC_SEARCH_STATUS, status);
}

void CAlbumSearchDlg::SaveAsAlbum() {
  CAlbum* results = GetResultView();
  if (!results || RunNewAlbumDialog(m_hDlg, m_szAlbumFolder) != 1) return;
  // What was typed into the description line belongs to the album saved.
  ShowItemInfo(m_pShownItem);
  char path[MAX_PATH];
  int written = snprintf(path, sizeof(path), "%s\\%s", m_szAlbumFolder, GetNewAlbumName());
  if (written < 0 || static_cast<size_t>(written) >= sizeof(path)) return;
  if (!results->Save(path)) return;
  if (m_hOwner) SendMessageA(m_hOwner, SDM_ALBUMSAVED, reinterpret_cast<WPARAM>(m_hDlg), reinterpret_cast<LPARAM>(path));
  m_bUnsaved = 0;
}

int CAlbumSearchDlg::OnClose() {
  if (!m_hDlg) return -1;
  if (!m_bUnsaved) return 1;
  switch (ShowResourceMessage(m_hDlg, IDS_ASK_SAVE_RESULTS, IDS_CAPTION_PHOTO_ALBUM, MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
      SendMessageA(m_hDlg, WM_COMMAND, IDC_SEARCH_SAVE_AS_ALBUM, 0);
      // A cancelled or failed save keeps the dialog and its results.
      if (m_bUnsaved) return -1;
      SaveFolderHistory();
      m_hDlg = nullptr;
      return 0;
    case IDNO:
      m_hDlg = nullptr;
      return 1;
    case IDCANCEL:
      return -1;
    default:
      return 1;
  }
}

namespace {

void InitControls(HWND dialog, CAlbumSearchDlg* search) {
  HWND tabs = GetDlgItem(dialog, IDC_SEARCH_TABS);
  const UINT titles[] = {IDS_TAB_NAME_LOCATION, IDS_TAB_DATE, IDS_TAB_TYPE_SIZE};
  for (int i = 0; i < 3; ++i) {
    char title[257];
    ResourceText(titles[i], title, sizeof(title));
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = title;
    SendMessageA(tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
  ShowPage(dialog, 0);

  SendDlgItemMessageA(dialog, IDC_SEARCH_NAME, EM_LIMITTEXT, kTextLimit, 0);
  SendDlgItemMessageA(dialog, IDC_SEARCH_DESC_TEXT, EM_LIMITTEXT, kTextLimit, 0);
  SendDlgItemMessageA(dialog, IDC_SEARCH_FROM_DATE, EM_LIMITTEXT, 10, 0);
  SendDlgItemMessageA(dialog, IDC_SEARCH_TO_DATE, EM_LIMITTEXT, 10, 0);
  SendDlgItemMessageA(dialog, IDC_SEARCH_MONTHS, EM_LIMITTEXT, 3, 0);
  SendDlgItemMessageA(dialog, IDC_SEARCH_DAYS, EM_LIMITTEXT, 3, 0);
  SendDlgItemMessageA(dialog, IDC_SEARCH_SIZE_KB, EM_LIMITTEXT, 7, 0);
  CheckDlgButton(dialog, IDC_SEARCH_IN_ALBUMS, BST_CHECKED);
  CheckDlgButton(dialog, IDC_SEARCH_ANY_DATE, BST_CHECKED);
  CheckDlgButton(dialog, IDC_SEARCH_BETWEEN, BST_CHECKED);
  for (int control : {IDC_SEARCH_FOLDER, IDC_SEARCH_SUBFOLDERS, IDC_SEARCH_BROWSE}) Enable(dialog, control, false);
  EnableDateControls(dialog, 0);

  struct tm today = LocalNow();
  char text[32];
  FormatDateText(&today, text, sizeof(text));
  SetDlgItemTextA(dialog, IDC_SEARCH_TO_DATE, text);
  struct tm monthAgo = MonthsBefore(&today, 1);
  FormatDateText(&monthAgo, text, sizeof(text));
  SetDlgItemTextA(dialog, IDC_SEARCH_FROM_DATE, text);

  for (int spin : {IDC_SEARCH_MONTHS_SPIN, IDC_SEARCH_DAYS_SPIN}) {
    SendDlgItemMessageA(dialog, spin, UDM_SETRANGE32, 0, 999);
    SendDlgItemMessageA(dialog, spin, UDM_SETPOS32, 0, 1);
  }

  const HostOptions& options = GetHostOptions();
  DWORD mask = 0x0EC7 | (options.noPcx ? 0 : 0x10) | (options.noPsd ? 0 : 0x20) | (options.noGif ? 0 : 0x08);
  LoadFormatList(GetDlgItem(dialog, IDC_SEARCH_FILE_TYPE), mask, 0);
  SendDlgItemMessageA(dialog, IDC_SEARCH_FILE_TYPE, CB_SETCURSEL, 0, 0);

  HWND sizes = GetDlgItem(dialog, IDC_SEARCH_SIZE_BOUND);
  char entry[257];
  SendMessageA(sizes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(""));
  SendMessageA(sizes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ResourceText(IDS_SIZE_AT_LEAST, entry, sizeof(entry)).data()));
  SendMessageA(sizes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ResourceText(IDS_SIZE_AT_MOST, entry, sizeof(entry)).data()));
  SendMessageA(sizes, CB_SETCURSEL, 0, 0);

  search->FillAlbumList();
  SendDlgItemMessageA(dialog, IDC_SEARCH_ALBUM, CB_INSERTSTRING, 0,
                      reinterpret_cast<LPARAM>(ResourceText(IDS_ALL_ALBUMS, entry, sizeof(entry)).data()));
  SendDlgItemMessageA(dialog, IDC_SEARCH_ALBUM, CB_SETCURSEL, 0, 0);
  search->LoadFolderHistory();

  g_dateEditProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(GetDlgItem(dialog, IDC_SEARCH_FROM_DATE), GWLP_WNDPROC));
  for (int edit : {IDC_SEARCH_FROM_DATE, IDC_SEARCH_TO_DATE}) {
    SetWindowLongPtrA(GetDlgItem(dialog, edit), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NumericEditProc));
  }
}

// Fixes the layout values and shows the criteria part only.
void InitLayout(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  int width = 0, height = 0;
  WindowSize(dialog, &width, &height);
  int columns = (client.right - 22) / kCellWidth;
  int frameWidth = width - client.right;
  SetWindowPos(dialog, nullptr, 0, 0, frameWidth + columns * kCellWidth + 36, height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  GetClientRect(dialog, &client);
  int clientWidth = client.right;
  g_layout.baseColumns = (clientWidth - 22) / kCellWidth;

  HWND results = GetDlgItem(dialog, IDC_SEARCH_RESULTS);
  RECT view;
  GetWindowRect(results, &view);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&view), 2);
  int top = view.top;
  g_layout.resultTop = top;
  int collapsedClient = top;
  tagAlbumViewCreateInfo aci = {};
  int viewColumns = g_layout.baseColumns, viewRows = 1;
  if (GetAlbumCtrlACI(&aci, "ManDlgAlbumCtrl")) {
    if (aci.avcCols > 0) viewColumns = aci.avcCols;
    if (aci.avcRows > 0) viewRows = aci.avcRows;
  }
  PlaceControl(dialog, IDC_SEARCH_RESULTS, 4, top, viewColumns * kCellWidth + 16, viewRows * kCellHeight);
  PlaceControl(dialog, IDC_SEARCH_DESCRIPTION_LABEL, 4, top + 111, 70, 20);
  PlaceControl(dialog, IDC_SEARCH_DESCRIPTION, 78, top + 111, 382, 20);
  PlaceControl(dialog, IDC_SEARCH_STATUS_LABEL, 4, top + 135, 70, 20);
  PlaceControl(dialog, IDC_SEARCH_STATUS, 78, top + 135, 382, 20);
  ShowWindow(GetDlgItem(dialog, IDC_SEARCH_STATUS), SW_SHOW);

  int caption = GetSystemMetrics(SM_CYCAPTION);
  int frameX = GetSystemMetrics(SM_CXDLGFRAME), frameY = GetSystemMetrics(SM_CYDLGFRAME);
  g_layout.baseWidth = clientWidth + 2 * frameX;
  g_layout.collapsedHeight = collapsedClient + caption + 2 * frameY;
  g_layout.expandedHeight = top + 159 + caption + 2 * frameY;
  SetWindowPos(dialog, nullptr, 0, 0, g_layout.baseWidth, g_layout.collapsedHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Enable(dialog, IDC_SEARCH_SAVE_AS_ALBUM, false);
}

BOOL OnSizing(HWND dialog, WPARAM edge, RECT* proposed) {
  RECT current;
  GetWindowRect(dialog, &current);
  int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  if (current.left < 0 || current.top < 0 || current.right > screenWidth || current.bottom > screenHeight) {
    *proposed = current;
    return TRUE;
  }
  double w = (proposed->right - proposed->left > g_layout.baseWidth ? proposed->right - proposed->left : g_layout.baseWidth) + 0.01;
  int columns = static_cast<int>((w - g_layout.baseWidth - 6) / kCellWidth + 0.5);
  if (columns < 0) columns = 0;
  int width, height;
  if (IsWindowEnabled(GetDlgItem(dialog, IDC_SEARCH_SAVE_AS_ALBUM))) {
    int rows = static_cast<int>((proposed->bottom - proposed->top + 0.01 - g_layout.expandedHeight - 6) / kCellHeight + 0.5);
    if (rows < 0) rows = 0;
    width = g_layout.baseWidth + columns * kCellWidth + 6;
    height = g_layout.expandedHeight + rows * kCellHeight + 6;
  } else {
    width = g_layout.baseWidth + columns * kCellWidth;
    height = g_layout.collapsedHeight;
  }
  if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT) proposed->left = proposed->right - width;
  if (edge == WMSZ_RIGHT || edge == WMSZ_TOPRIGHT || edge == WMSZ_BOTTOMRIGHT) proposed->right = proposed->left + width;
  if (edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT) proposed->top = proposed->bottom - height;
  if (edge == WMSZ_BOTTOM || edge == WMSZ_BOTTOMLEFT || edge == WMSZ_BOTTOMRIGHT) proposed->bottom = proposed->top + height;
  if (proposed->right > screenWidth) proposed->right -= kCellWidth;
  if (proposed->bottom > screenHeight) proposed->bottom -= kCellHeight;
  return TRUE;
}

void OnSize(HWND dialog, int clientWidth) {
  if (g_layout.baseWidth == 0) return;
  int width = 0, height = 0;
  WindowSize(dialog, &width, &height);
  int extraColumns = static_cast<int>((width + 0.01 - g_layout.baseWidth - 6) / kCellWidth + 0.5);
  int extraRows = static_cast<int>((height + 0.01 - g_layout.expandedHeight - 6) / kCellHeight + 0.5);
  if (extraColumns < 0) extraColumns = 0;
  if (extraRows < 0) extraRows = 0;
  int rows = extraRows + 1;
  int columns = g_layout.baseColumns + extraColumns;
  int top = g_layout.resultTop;
  SetWindowPos(GetDlgItem(dialog, IDC_SEARCH_RESULTS), nullptr, 0, 0, columns * kCellWidth + 16, rows * kCellHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  int labelWidth = columns * kCellWidth - 58;
  int y = top + extraRows * kCellHeight + 111;
  PlaceControl(dialog, IDC_SEARCH_DESCRIPTION_LABEL, 4, y, 70, 20);
  PlaceControl(dialog, IDC_SEARCH_DESCRIPTION, 78, y, labelWidth, 20);
  PlaceControl(dialog, IDC_SEARCH_STATUS_LABEL, 4, y + 24, 70, 20);
  PlaceControl(dialog, IDC_SEARCH_STATUS, 78, y + 24, labelWidth, 20);
  PlaceControl(dialog, IDC_SEARCH_FIND, clientWidth - 140, 30, 130, 25);
  PlaceControl(dialog, IDC_SEARCH_SAVE_AS_ALBUM, clientWidth - 140, 63, 130, 25);
  PlaceControl(dialog, IDC_SEARCH_CLOSE, clientWidth - 140, 96, 130, 25);

  RECT tab;
  GetWindowRect(GetDlgItem(dialog, IDC_SEARCH_TABS), &tab);
  SetWindowPos(GetDlgItem(dialog, IDC_SEARCH_TABS), nullptr, 0, 0, clientWidth - 160, tab.bottom - tab.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT window;
  GetWindowRect(dialog, &window);
  for (int control : {IDC_SEARCH_NAME, IDC_SEARCH_DESC_TEXT, IDC_SEARCH_FOLDER, IDC_SEARCH_ALBUM, IDC_SEARCH_FILE_TYPE}) {
    RECT rect;
    GetWindowRect(GetDlgItem(dialog, control), &rect);
    int right = window.left + clientWidth - 168;
    SetWindowPos(GetDlgItem(dialog, control), nullptr, 0, 0, right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  HWND browse = GetDlgItem(dialog, IDC_SEARCH_BROWSE);
  RECT rect;
  GetWindowRect(browse, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  SetWindowPos(browse, nullptr, clientWidth - 168 - (rect.right - rect.left), rect.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(dialog, nullptr, TRUE);
}

void ShowContextMenu(HWND dialog, CThumbView2* cell) {
  HMENU menu = LoadMenuA(GetResourceModule(), MAKEINTRESOURCEA(IDM_ITEM_CONTEXT));
  if (!menu) return;
  HMENU popup = GetSubMenu(menu, 1);
  if (popup) {
    bool hasItem = cell && cell->GetThumbnail();
    EnableMenuItem(popup, IDM_PASTE, MF_BYCOMMAND | (GetCopyBuffer() ? MF_ENABLED : MF_GRAYED));
    for (int command : {IDM_CUT, IDM_COPY, IDM_DELETE_ITEMS}) {
      EnableMenuItem(popup, command, MF_BYCOMMAND | (hasItem ? MF_ENABLED : MF_GRAYED));
    }
    POINT at;
    GetCursorPos(&at);
    TrackPopupMenu(popup, TPM_LEFTBUTTON, at.x, at.y, 0, dialog, nullptr);
  }
  DestroyMenu(menu);
}

void CopyResults(CAlbum* results) {
  std::unique_ptr<CAlbumDoc2> buffer(new (std::nothrow) CAlbumDoc2);
  if (!buffer) return;
  results->GetDragData(buffer.get());
  SetCopyBuffer(buffer.release());  // deletes the previous buffer
}

void PasteResults(CAlbum* results) {
  CAlbumDoc2* buffer = GetCopyBuffer();
  if (!buffer) return;
  CThumbTable2 clones;
  for (int n = 1; n <= buffer->GetCount(); ++n) {
    if (CThumbnail2* clone = buffer->GetThumbnail(n)->Clone()) clones.Insert(clone, nullptr);
  }
  results->InsertFromTable(&clones, nullptr);
}

bool IsCriteriaChange(int control, int notification) {
  switch (control) {
    case IDC_SEARCH_NAME: case IDC_SEARCH_DESC_TEXT: case IDC_SEARCH_FROM_DATE: case IDC_SEARCH_TO_DATE:
    case IDC_SEARCH_MONTHS: case IDC_SEARCH_DAYS: case IDC_SEARCH_SIZE_KB:
      return notification == EN_CHANGE;
    case IDC_SEARCH_DESC_OPTION: case IDC_SEARCH_ANY_DATE: case IDC_SEARCH_BY_DATE: case IDC_SEARCH_BETWEEN:
    case IDC_SEARCH_LAST_MONTHS: case IDC_SEARCH_LAST_DAYS: case IDC_SEARCH_IN_ALBUMS: case IDC_SEARCH_IN_FOLDER:
    case IDC_SEARCH_SUBFOLDERS:
      return true;
    case IDC_SEARCH_FILE_TYPE: case IDC_SEARCH_SIZE_BOUND: case IDC_SEARCH_ALBUM: case IDC_SEARCH_FOLDER:
      return notification == CBN_SELCHANGE || notification == CBN_EDITCHANGE;
    default:
      return false;
  }
}

void BrowseForFolder(HWND dialog, CAlbumSearchDlg* search) {
  BROWSEINFOA info = {};
  info.hwndOwner = dialog;
  info.lpszTitle = " ";
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  void* token = LockupForModal();
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
  if (token) UnlockForModal(token);
  if (!chosen) return;
  char path[MAX_PATH] = "";
  char before[MAX_PATH] = "";
  GetDlgItemTextA(dialog, IDC_SEARCH_FOLDER, before, sizeof(before));
  if (SHGetPathFromIDListA(chosen, path)) {
    search->AddFolderToHistory(path);
    // Another folder is another search: a stopped run must not continue in
    // the folder it started in. The list tells it as a picked entry would.
    if (lstrcmpiA(before, path) != 0) {
      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH_FOLDER, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_SEARCH_FOLDER)));
    }
  }
  CoTaskMemFree(chosen);
}

void OnCommand(HWND dialog, CAlbumSearchDlg* search, int control, int notification) {
  if (IsCriteriaChange(control, notification)) {
    char text[257];
    SetDlgItemTextA(dialog, IDC_SEARCH_FIND, ResourceText(IDS_BUTTON_FIND, text, sizeof(text)).data());
    search->m_nState = SEARCH_STATE_NEW;
  }
  CAlbum* results = search->GetResultView();
  switch (control) {
    case IDC_SEARCH_SAVE_AS_ALBUM:
      search->SaveAsAlbum();
      break;
    case IDC_SEARCH_ANY_DATE:
      EnableDateControls(dialog, 0);
      break;
    case IDC_SEARCH_BY_DATE:
      EnableDateControls(dialog, Checked(dialog, IDC_SEARCH_BETWEEN)       ? IDC_SEARCH_BETWEEN
                                 : Checked(dialog, IDC_SEARCH_LAST_MONTHS) ? IDC_SEARCH_LAST_MONTHS
                                                                           : IDC_SEARCH_LAST_DAYS);
      break;
    case IDC_SEARCH_BETWEEN: case IDC_SEARCH_LAST_MONTHS: case IDC_SEARCH_LAST_DAYS:
      CheckDlgButton(dialog, IDC_SEARCH_BY_DATE, BST_CHECKED);
      CheckDlgButton(dialog, IDC_SEARCH_ANY_DATE, BST_UNCHECKED);
      EnableDateControls(dialog, control);
      break;
    case IDC_SEARCH_ALBUM:
      if (notification == CBN_DROPDOWN) {
        char text[257];
        search->FillAlbumList();
        SendDlgItemMessageA(dialog, IDC_SEARCH_ALBUM, CB_INSERTSTRING, 0,
                            reinterpret_cast<LPARAM>(ResourceText(IDS_ALL_ALBUMS, text, sizeof(text)).data()));
        SendDlgItemMessageA(dialog, IDC_SEARCH_ALBUM, CB_SETCURSEL, 0, 0);
      }
      break;
    case IDC_SEARCH_IN_ALBUMS:
      if (Checked(dialog, IDC_SEARCH_IN_ALBUMS)) {
        Enable(dialog, IDC_SEARCH_ALBUM, true);
        Enable(dialog, IDC_SEARCH_DESC_TEXT, true);
        for (int c : {IDC_SEARCH_FOLDER, IDC_SEARCH_BROWSE, IDC_SEARCH_SUBFOLDERS}) Enable(dialog, c, false);
      }
      break;
    case IDC_SEARCH_IN_FOLDER:
      if (Checked(dialog, IDC_SEARCH_IN_FOLDER)) {
        if (!Checked(dialog, IDC_SEARCH_IN_ALBUMS)) {
          Enable(dialog, IDC_SEARCH_DESC_TEXT, false);
          Enable(dialog, IDC_SEARCH_ALBUM, false);
        }
        for (int c : {IDC_SEARCH_FOLDER, IDC_SEARCH_BROWSE, IDC_SEARCH_SUBFOLDERS}) Enable(dialog, c, true);
      }
      break;
    case IDC_SEARCH_BROWSE:
      BrowseForFolder(dialog, search);
      break;
    case IDC_SEARCH_CLOSE:
      SendMessageA(dialog, WM_CLOSE, 0, 0);
      break;
    case IDC_SEARCH_FIND:
      search->StartSearch();
      break;
    case IDM_CUT:
      if (results) {
        // What was typed for the shown item goes with it; the description
        // line goes back to the album before the item leaves.
        search->ShowItemInfo(nullptr);
        CopyResults(results);
        results->RemoveSelected(0);
      }
      break;
    case IDM_COPY:
      if (results) {
        search->ShowItemInfo(search->m_pShownItem);
        CopyResults(results);
      }
      break;
    case IDM_PASTE:
      if (results) PasteResults(results);
      break;
    case IDM_DELETE_ITEMS:
      if (results && results->GetDocument()->GetCount() > 0 && RunRemoveChoiceDialog(dialog) == 1) {
        // The description line goes back to the album before its item goes.
        search->ShowItemInfo(nullptr);
        results->RemoveSelected(GetDeleteMode() == 1 ? 0 : 1);
      }
      break;
  }
}

}  // namespace

INT_PTR CALLBACK AlbumSearchDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_INITDIALOG) {
      auto* search = reinterpret_cast<CAlbumSearchDlg*>(lParam);
      if (g_unbound == search) g_unbound = nullptr;
      SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
      search->m_hDlg = dialog;
      InitControls(dialog, search);
      InitLayout(dialog);
      SetSearchOpen(1);
      return TRUE;
    }
    CAlbumSearchDlg* search = FromDialog(dialog);
    if (!search) return FALSE;
    switch (message) {
      case WM_DESTROY:
        SetSearchOpen(0);
        search->ResetSearch();
        SetWindowLongPtrA(dialog, GWLP_USERDATA, 0);
        delete search;
        return FALSE;
      case WM_SIZE:
        OnSize(dialog, LOWORD(lParam));
        return FALSE;
      case WM_SIZING:
        return OnSizing(dialog, wParam, reinterpret_cast<RECT*>(lParam));
      case WM_CLOSE: {
        int code = search->OnClose();
        if (code >= 0) EndDialog(dialog, code);
        return TRUE;
      }
      case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_SEARCH_TABS && header->code == TCN_SELCHANGE) {
          int page = static_cast<int>(SendMessageA(header->hwndFrom, TCM_GETCURSEL, 0, 0));
          if (page >= 0) ShowPage(dialog, page);
        }
        return FALSE;
      }
      case WM_COMMAND:
        // Enter and Escape arrive as IDOK and IDCANCEL: neither closes.
        OnCommand(dialog, search, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
      case AVM_ITEMDBLCLK:
        if (search->m_hOwner) SendMessageA(search->m_hOwner, message, wParam, lParam);
        return TRUE;
      case AVM_FOCUSCHANGED:
        search->ShowItemInfo(reinterpret_cast<CThumbnail2*>(lParam));
        return TRUE;
      case AVM_ITEMRBUTTONDOWN:
        ShowContextMenu(dialog, reinterpret_cast<CThumbView2*>(lParam));
        return TRUE;
      case SDM_PROGRESS:
        search->OnSearchProgress(wParam, lParam);
        return TRUE;
    }
  } catch (...) {
    // Nothing here throws by design; a failure still must not unwind
    // through the system's dialog manager.
    if (message == WM_INITDIALOG) EndDialog(dialog, -1);
  }
  return FALSE;
}

int OpenSearchDlg(HWND owner, const char* albumFolder, int thumbWidth, int thumbHeight) {
  if (!owner) return 0;
  auto* search = new (std::nothrow) CAlbumSearchDlg;
  if (!search) return 0;
  if (albumFolder && albumFolder[0]) {
    // A folder cut to fit would search and save in another folder.
    if (!CopyTextWhole(search->m_szAlbumFolder, albumFolder)) {
      delete search;
      return 0;
    }
    size_t length = strlen(search->m_szAlbumFolder);
    if (length > 1 && search->m_szAlbumFolder[length - 1] == '\\') search->m_szAlbumFolder[length - 1] = '\0';
  }
  search->m_nThumbWidth = thumbWidth;
  search->m_nThumbHeight = thumbHeight;
  search->m_hOwner = owner;
  g_unbound = search;
  INT_PTR code = RunModalDialog(GetResourceModule(), IDD_SEARCH, owner, AlbumSearchDlgProc,
                                reinterpret_cast<LPARAM>(search));
  // The dialog deletes its state when its window goes; one that never came
  // up leaves it here.
  if (g_unbound == search) delete search;
  g_unbound = nullptr;
  return static_cast<int>(code);
}
