// The album chooser dialog.
#include "search/AlbumChooser.h"

#include <stdio.h>
#include <string.h>

#include "components/resources/resource.h"
#include "manager/AlbumMan.h"
#include "manager/Module.h"
#include "manager/ThreadRegistry.h"
#include "platform/Text.h"

namespace {

constexpr char kAlbumExtension[] = ".abm";
constexpr size_t kAlbumExtensionLength = sizeof(kAlbumExtension) - 1;

enum PreselectMode {
  PRESELECT_LAST_OPEN = 1,
  PRESELECT_ACTIVE = 2,
  PRESELECT_UNTITLED = 3,
};

// Set by ChooseAlbum for the dialog it runs.
int g_allowNew = 0;
int g_preselectMode = 0;
char g_chooserTitle[MAX_PATH] = "";  // kept for later choosers that pass none

void LoadUntitledName(char (&untitled)[MAX_PATH]) {
  untitled[0] = '\0';
  LoadStringA(GetResourceModule(), IDS_UNTITLED_ALBUM, untitled, sizeof(untitled));
}

// Text of one list entry; false when it does not fit a path buffer.
bool GetEntryText(HWND list, int index, char (&text)[MAX_PATH]) {
  text[0] = '\0';
  LRESULT length = SendMessageA(list, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR || length >= MAX_PATH) return false;
  return SendMessageA(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text)) != CB_ERR;
}

// The "LastOpen" album that the manager records in the user folder's
// album.ini; empty while the host has not named a user folder, since a bare
// "album.ini" would be looked for in the Windows folder.
void ReadLastOpen(char (&text)[MAX_PATH]) {
  text[0] = '\0';
  char ini[MAX_PATH];
  if (!GetUserFolder()[0] || !MakeUserFilePath("album.ini", ini, sizeof(ini))) return;
  GetPrivateProfileStringA("Context", "LastOpen", "", text, sizeof(text), ini);
}

// The bare name of the calling thread's active album.
void ReadActiveAlbumName(char (&text)[MAX_PATH]) {
  text[0] = '\0';
  CThreadRegistry* registry = GetThreadRegistry();
  if (!registry) return;
  DWORD thread = GetCurrentThreadId();
  HWND active = registry->GetActiveManager(thread);
  CThreadEntry* entry = active ? registry->FindThread(thread) : nullptr;
  if (!entry) return;
  for (CAlbumMan* manager : entry->m_Managers) {
    if (manager->m_hWnd == active) {
      if (!manager->GetCurrentAlbumName(text, ALBUM_NAME_BARE)) text[0] = '\0';
      return;
    }
  }
}

void FillAlbumList(HWND list, const char* folder) {
  char pattern[MAX_PATH];
  size_t folderLength = strlen(folder);
  const char* separator = folderLength && (folder[folderLength - 1] == '\\' || folder[folderLength - 1] == '/') ? "" : "\\";
  int written = snprintf(pattern, sizeof(pattern), "%s%s*%s", folder, separator, kAlbumExtension);
  if (written < 0 || static_cast<size_t>(written) >= sizeof(pattern)) return;

  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    // The pattern also matches through short names ("photos.abmx" has the
    // short name PHOTOS~1.ABM): take only real album files. Only the final
    // extension goes, so "my.trip.abm" is listed as "my.trip".
    size_t length = strlen(found.cFileName);
    if (length <= kAlbumExtensionLength || _stricmp(found.cFileName + length - kAlbumExtensionLength, kAlbumExtension) != 0) {
      continue;
    }
    found.cFileName[length - kAlbumExtensionLength] = '\0';
    int position = FindSortedInsertPos(list, found.cFileName);
    SendMessageA(list, CB_INSERTSTRING, position, reinterpret_cast<LPARAM>(found.cFileName));
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

BOOL OnInit(HWND dialog, LPARAM working) {
  SetWindowLongPtrA(dialog, GWLP_USERDATA, working);
  HWND list = GetDlgItem(dialog, IDC_CHOOSER_ALBUM_LIST);
  const char* folder = reinterpret_cast<const char*>(working);
  if (list && folder) FillAlbumList(list, folder);

  char untitled[MAX_PATH];
  LoadUntitledName(untitled);
  if (list && g_allowNew) SendMessageA(list, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(untitled));

  char preselect[MAX_PATH] = "";
  switch (g_preselectMode) {
    case PRESELECT_LAST_OPEN:
      ReadLastOpen(preselect);
      break;
    case PRESELECT_ACTIVE:
      ReadActiveAlbumName(preselect);
      break;
    case PRESELECT_UNTITLED:
      CopyText(preselect, untitled);
      break;
  }
  LRESULT index = 0;
  if (preselect[0]) {
    LRESULT found = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(preselect));
    if (found != CB_ERR) index = found;
  }
  SendMessageA(list, CB_SETCURSEL, index, 0);

  // Without any title given yet the template's own caption stays.
  if (g_chooserTitle[0]) SetWindowTextA(dialog, g_chooserTitle);
  return TRUE;
}

void OnOk(HWND dialog) {
  char* working = reinterpret_cast<char*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  HWND list = GetDlgItem(dialog, IDC_CHOOSER_ALBUM_LIST);
  LRESULT selected = list ? SendMessageA(list, CB_GETCURSEL, 0, 0) : CB_ERR;
  char name[MAX_PATH];
  // Nothing chosen (a folder without albums and no new album offered): the
  // folder's text is no album name, so there is nothing to accept.
  if (!working || selected == CB_ERR || !GetEntryText(list, static_cast<int>(selected), name)) {
    MessageBeep(0);
    return;
  }
  CopyText(working, MAX_PATH, name);
  EndDialog(dialog, 1);
}

}  // namespace

int FindSortedInsertPos(HWND list, const char* name) {
  char untitled[MAX_PATH];
  LoadUntitledName(untitled);
  if (_stricmp(name, untitled) == 0) return 0;
  int count = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
  if (count <= 0) return 0;
  char text[MAX_PATH];
  // The entries are in order apart from an untitled entry on top: search
  // the rest by halving for the first entry greater than the name.
  int low = GetEntryText(list, 0, text) && _stricmp(text, untitled) == 0 ? 1 : 0;
  int high = count;
  while (low < high) {
    int middle = low + (high - low) / 2;
    if (GetEntryText(list, middle, text) && _stricmp(text, name) > 0) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return low;
}

INT_PTR CALLBACK AlbumChooserDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    switch (message) {
      case WM_INITDIALOG:
        return OnInit(dialog, lParam);
      case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
          OnOk(dialog);
          return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
          EndDialog(dialog, 0);
          return TRUE;
        }
        break;
    }
  } catch (...) {
    // Nothing here throws by design; a failure still must not unwind
    // through the system's dialog manager.
    if (message == WM_INITDIALOG) EndDialog(dialog, -1);
  }
  return FALSE;
}

int ChooseAlbum(HWND owner, const char* folder, char* result, int allowNew, const char* title, int mode) {
  // A folder cut to fit would list another folder's albums.
  char working[MAX_PATH] = "";
  if (!folder || !CopyTextWhole(working, folder)) return 0;
  g_allowNew = allowNew;
  g_preselectMode = mode;
  if (title && title[0]) CopyText(g_chooserTitle, title);
  INT_PTR code = RunModalDialog(GetResourceModule(), IDD_CHOOSE_ALBUM, owner, AlbumChooserDlgProc,
                                reinterpret_cast<LPARAM>(working));
  if (code != 1) return 0;
  if (result) CopyText(result, MAX_PATH, working);
  return 1;
}
