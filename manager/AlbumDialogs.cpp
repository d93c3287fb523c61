// The new-album, sort and remove-choice dialogs and the album name check.
#include "manager/AlbumDialogs.h"

#include <stdio.h>
#include <string.h>

#include "components/resources/resource.h"
#include "manager/Module.h"
#include "platform/Text.h"

namespace {

constexpr char kAlbumExtension[] = ".abm";
constexpr size_t kAlbumExtensionLength = sizeof(kAlbumExtension) - 1;
constexpr int kNewAlbumNameLimit = 64;  // characters the user may type
constexpr int kSortKeyCount = IDC_SORT_BY_DESCRIPTION - IDC_SORT_BY_NAME + 1;

char g_newAlbumName[MAX_PATH] = "";
int g_sortKey = 0;
int g_sortDescending = 0;
int g_deleteMode = 0;
int g_searchOpen = 0;

bool IsBlank(const char* text) {
  for (; *text; ++text) {
    if (*text != ' ') return false;
  }
  return true;
}

bool EndsWithAlbumExtension(const char* name, size_t length) {
  return length >= kAlbumExtensionLength && _stricmp(name + length - kAlbumExtensionLength, kAlbumExtension) == 0;
}

// Names the system takes for devices whatever folder or extension follows
// them: "con.abm" would write to the console, not create an album.
bool IsDeviceName(const char* stem) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  char base[16] = "";
  size_t length = strcspn(stem, ".");
  while (length > 0 && stem[length - 1] == ' ') --length;
  if (length >= sizeof(base)) return false;
  memcpy(base, stem, length);
  base[length] = '\0';
  for (const char* device : kDevices) {
    if (_stricmp(base, device) == 0) return true;
  }
  return length == 4 && (_strnicmp(base, "COM", 3) == 0 || _strnicmp(base, "LPT", 3) == 0) && base[3] >= '1' &&
         base[3] <= '9';
}

// A name that can stand as a file name inside the album folder: no folder
// separators, drive colons, wildcards or other characters the file system
// refuses, so the album can only ever be created where it is asked for.
bool IsPlainFileName(const char* stem) {
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(stem); *c; ++c) {
    if (*c < 32 || strchr("\\/:*?\"<>|", *c)) return false;
  }
  return !IsDeviceName(stem);
}

// Shows the name check's refusal when asked to and answers 0.
int Refuse(HWND owner, int withMessages, UINT textId) {
  if (withMessages) ShowResourceMessage(owner, textId, IDS_CAPTION_ALBUM, MB_ICONEXCLAMATION | MB_OK);
  return 0;
}

const char* DialogFolder(HWND dialog) {
  return reinterpret_cast<const char*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
}

BOOL OnNewAlbumInit(HWND dialog, LPARAM folder) {
  SendDlgItemMessageA(dialog, IDC_NEW_ALBUM_NAME, EM_LIMITTEXT, kNewAlbumNameLimit, 0);
  SetWindowLongPtrA(dialog, GWLP_USERDATA, folder);
  // The search dialog's own name proposal would be taken at once: while one
  // exists, the user always gets to see and confirm the name.
  if (g_searchOpen) return TRUE;
  if (g_newAlbumName[0]) {
    // The buffer holds a file name; the user is shown the album's name.
    char shown[MAX_PATH];
    CopyText(shown, g_newAlbumName);
    size_t length = strlen(shown);
    if (EndsWithAlbumExtension(shown, length)) shown[length - kAlbumExtensionLength] = '\0';
    SetDlgItemTextA(dialog, IDC_NEW_ALBUM_NAME, shown);
  }
  char name[MAX_PATH] = "";
  GetDlgItemTextA(dialog, IDC_NEW_ALBUM_NAME, name, sizeof(name));
  if (ValidateAlbumName(dialog, DialogFolder(dialog), name, 0)) EndDialog(dialog, 1);
  return TRUE;
}

void OnNewAlbumOk(HWND dialog) {
  char name[MAX_PATH] = "";
  GetDlgItemTextA(dialog, IDC_NEW_ALBUM_NAME, name, sizeof(name));
  if (ValidateAlbumName(dialog, DialogFolder(dialog), name, 1)) EndDialog(dialog, 1);
}

void OnSortInit(HWND dialog) {
  int key = g_sortKey >= 0 && g_sortKey < kSortKeyCount ? g_sortKey : 0;
  CheckRadioButton(dialog, IDC_SORT_BY_NAME, IDC_SORT_BY_DESCRIPTION, IDC_SORT_BY_NAME + key);
  CheckDlgButton(dialog, IDC_SORT_DESCENDING, g_sortDescending ? BST_CHECKED : BST_UNCHECKED);
}

void OnSortOk(HWND dialog) {
  for (int key = 0; key < kSortKeyCount; ++key) {
    if (IsDlgButtonChecked(dialog, IDC_SORT_BY_NAME + key) == BST_CHECKED) {
      g_sortKey = key;
      break;
    }
  }
  g_sortDescending = IsDlgButtonChecked(dialog, IDC_SORT_DESCENDING) == BST_CHECKED ? 1 : 0;
  EndDialog(dialog, 1);
}

void OnRemoveChoiceOk(HWND dialog) {
  g_deleteMode = IsDlgButtonChecked(dialog, IDC_REMOVE_KEEP_FILES) == BST_CHECKED ? 1 : 0;
  EndDialog(dialog, 1);
}

// Nothing below throws by design; a failure still must not unwind through
// the system's dialog manager.
template <typename Handler>
INT_PTR Guarded(HWND dialog, UINT message, Handler handler) {
  try {
    return handler();
  } catch (...) {
    if (message == WM_INITDIALOG) EndDialog(dialog, -1);
    return FALSE;
  }
}

}  // namespace

const char* GetNewAlbumName() { return g_newAlbumName; }

bool SetNewAlbumName(const char* name) { return name && CopyTextWhole(g_newAlbumName, name); }

int GetSortKey() { return g_sortKey; }
int GetSortDescending() { return g_sortDescending; }

void SetSortChoice(int key, int descending) {
  if (key >= 0 && key < kSortKeyCount) g_sortKey = key;
  g_sortDescending = descending ? 1 : 0;
}

int GetDeleteMode() { return g_deleteMode; }

void SetSearchOpen(int open) { g_searchOpen = open ? 1 : 0; }
int GetSearchOpen() { return g_searchOpen; }

int ValidateAlbumName(HWND owner, const char* folder, char* name, int withMessages) {
  if (!name) return 0;
  size_t length = BoundedLength(name, MAX_PATH);
  if (length >= MAX_PATH || IsBlank(name) || !folder || !folder[0]) {
    return Refuse(owner, withMessages, IDS_INVALID_ALBUM_NAME);
  }
  // A name typed or proposed with its extension is the same album, not
  // "name.abm.abm".
  char stem[MAX_PATH];
  CopyText(stem, name);
  if (EndsWithAlbumExtension(stem, length)) stem[length - kAlbumExtensionLength] = '\0';
  if (IsBlank(stem)) return Refuse(owner, withMessages, IDS_INVALID_ALBUM_NAME);

  char untitled[MAX_PATH] = "";
  LoadStringA(GetResourceModule(), IDS_UNTITLED_ALBUM, untitled, sizeof(untitled));
  if (untitled[0] && _stricmp(stem, untitled) == 0) return Refuse(owner, withMessages, IDS_ALBUM_NAME_RESERVED);
  if (!IsPlainFileName(stem)) return Refuse(owner, withMessages, IDS_INVALID_ALBUM_NAME);

  char fileName[MAX_PATH];
  char path[MAX_PATH];
  size_t folderLength = strlen(folder);
  const char* separator = folder[folderLength - 1] == '\\' || folder[folderLength - 1] == '/' ? "" : "\\";
  int fileLength = snprintf(fileName, sizeof(fileName), "%s%s", stem, kAlbumExtension);
  int pathLength = snprintf(path, sizeof(path), "%s%s%s", folder, separator, fileName);
  if (fileLength < 0 || static_cast<size_t>(fileLength) >= sizeof(fileName) || pathLength < 0 ||
      static_cast<size_t>(pathLength) >= sizeof(path)) {
    return Refuse(owner, withMessages, IDS_INVALID_ALBUM_NAME);
  }
  if (FileExists(path)) return Refuse(owner, withMessages, IDS_ALBUM_NAME_EXISTS);

  // The probe proves the folder can take the file. It is created only when
  // nothing of that name is there, so removing it again never loses a file
  // that appeared since the check above.
  HANDLE probe = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    bool exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    return Refuse(owner, withMessages, exists ? IDS_ALBUM_NAME_EXISTS : IDS_INVALID_ALBUM_NAME);
  }
  CloseHandle(probe);
  DeleteFileA(path);

  CopyText(name, MAX_PATH, fileName);
  CopyText(g_newAlbumName, fileName);
  return 1;
}

INT_PTR CALLBACK NewAlbumDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return Guarded(dialog, message, [&]() -> INT_PTR {
    switch (message) {
      case WM_INITDIALOG:
        return OnNewAlbumInit(dialog, lParam);
      case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
          OnNewAlbumOk(dialog);
          return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
          EndDialog(dialog, 0);
          return TRUE;
        }
        break;
    }
    return FALSE;
  });
}

INT_PTR CALLBACK SortDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  return Guarded(dialog, message, [&]() -> INT_PTR {
    switch (message) {
      case WM_INITDIALOG:
        OnSortInit(dialog);
        return TRUE;
      case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
          OnSortOk(dialog);
          return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
          EndDialog(dialog, 0);
          return TRUE;
        }
        break;
    }
    return FALSE;
  });
}

INT_PTR CALLBACK RemoveChoiceDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  return Guarded(dialog, message, [&]() -> INT_PTR {
    switch (message) {
      case WM_INITDIALOG:
        CheckRadioButton(dialog, IDC_REMOVE_KEEP_FILES, IDC_REMOVE_DELETE_FILES, IDC_REMOVE_KEEP_FILES);
        return TRUE;
      case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
          OnRemoveChoiceOk(dialog);
          return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
          EndDialog(dialog, 0);
          return TRUE;
        }
        break;
    }
    return FALSE;
  });
}

INT_PTR RunNewAlbumDialog(HWND owner, const char* folder) {
  return RunModalDialog(GetResourceModule(), IDD_NEW_ALBUM, owner, NewAlbumDlgProc, reinterpret_cast<LPARAM>(folder));
}

INT_PTR RunSortDialog(HWND owner) {
  return RunModalDialog(GetResourceModule(), IDD_SORT, owner, SortDlgProc, 0);
}

INT_PTR RunRemoveChoiceDialog(HWND owner) {
  return RunModalDialog(GetResourceModule(), IDD_REMOVE_CHOICE, owner, RemoveChoiceDlgProc, 0);
}
