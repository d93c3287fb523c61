// The dialog procedure of every album manager dialog: initialisation and
// toolbar, the dock frame's messages, layout, activation, drag auto-scroll,
// dropped files, the album control's notifications, the commands, copy and
// paste between albums, renaming in the album list, and closing.
#include "AlbumMan.h"

#include <shellapi.h>
#include <string.h>
#include <time.h>

#include <cstdio>

#include "AlbumCtrl.h"
#include "HostOptions.h"
#include "Module.h"
#include "ThreadRegistry.h"
#include "ToolbarLibrary.h"
#include "components/resources/resource.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/batchel.h"
#include "views/Album.h"
#include "views/ThumbView.h"

namespace {

const UINT_PTR kAutoScrollTimer = 1;
const UINT kAutoScrollPeriod = 500;

// 1 after a close query from a dock frame was refused, until the next query
// has reported it; -1 otherwise.
int g_closeRefused = -1;

const int kToolbarCommands[9] = {IDM_TB_ADD,    IDM_TB_SEARCH, IDM_TB_ACQUIRE, IDM_TB_SORT, IDM_TB_DELETE,
                                 IDM_TB_SAVE,   IDM_TB_PRINT,  IDM_TB_BATCH,   IDM_TB_HELP};
const int kToolbarTips[9] = {IDS_TIP_ADD,    IDS_TIP_SEARCH, IDS_TIP_ACQUIRE, IDS_TIP_SORT, IDS_TIP_DELETE,
                             IDS_TIP_SAVE,   IDS_TIP_PRINT,  IDS_TIP_BATCH,   IDS_TIP_HELP};

CAlbumMan* ManagerOf(HWND dialog) { return reinterpret_cast<CAlbumMan*>(GetWindowLongPtrA(dialog, GWLP_USERDATA)); }

SIZE FrameSize(HWND window) {
  RECT outer{}, inner{};
  GetWindowRect(window, &outer);
  GetClientRect(window, &inner);
  return SIZE{(outer.right - outer.left) - inner.right, (outer.bottom - outer.top) - inner.bottom};
}

void MoveItem(HWND dialog, int item, int x, int y, int width, int height) {
  HWND window = GetDlgItem(dialog, item);
  if (window) MoveWindow(window, x, y, width, height, FALSE);
}

// The batch library is loaded the first time the user asks for it and
// stays until the module goes.
HMODULE g_batchLibrary = nullptr;
OpenBatchDialogProc g_openBatchDialog = nullptr;

OpenBatchDialogProc BatchDialog() {
  if (!g_batchLibrary) {
    g_batchLibrary = LoadLibraryA("Batchel.dll");
    if (g_batchLibrary) {
      g_openBatchDialog = reinterpret_cast<OpenBatchDialogProc>(
          reinterpret_cast<void*>(GetProcAddress(g_batchLibrary, "OpenBatchDialog")));
    }
  }
  return g_openBatchDialog;
}

bool MonthBeforeDay() {
  char format[80] = "";
  if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, format, sizeof(format))) return true;
  const char* month = strpbrk(format, "Mm");
  const char* day = strpbrk(format, "dD");
  if (!day) return true;
  return month && month < day;
}

// ---------------------------------------------------------------------------

BOOL OnInitDialog(HWND dialog, CAlbumMan* manager) {
  SendDlgItemMessageA(dialog, IDC_MAN_DESCRIPTION, EM_LIMITTEXT, 127, 0);
  SetWindowLongPtrA(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(manager));
  manager->m_hWnd = dialog;

  HWND control = GetDlgItem(dialog, IDC_MAN_ALBUM_CTRL);
  manager->m_pAlbumCtrl = control ? reinterpret_cast<CAlbumCtrl*>(GetWindowLongPtrA(control, GWLP_USERDATA)) : nullptr;
  CAlbum* album = manager->GetAlbum();
  if (album) {
    album->GetDocument()->SetThumbnailSize(static_cast<WORD>(manager->m_nThumbWidth),
                                           static_cast<WORD>(manager->m_nThumbHeight));
  }
  manager->m_hAlbumList = GetDlgItem(dialog, IDC_MAN_ALBUM_LIST);
  SendMessageA(manager->m_hAlbumList, CB_LIMITTEXT, 64, 0);
  SetShownManager(dialog);

  if (album) {
    SIZE frame = FrameSize(dialog);
    const tagAlbumViewCreateInfo* aci = album->GetACI();
    SetWindowPos(dialog, nullptr, 0, 0, frame.cx + aci->avcCols * 88 + 24, frame.cy + aci->avcRows * 107 + 90,
                 SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOZORDER);
  }

  const HostOptions& options = GetHostOptions();
  HWND toolbar = GetDlgItem(dialog, IDC_MAN_TOOLBAR);
  MoveWindow(toolbar, 196, 6, options.newVersion ? 262 : 265, options.newVersion ? 26 : 20, FALSE);
  const ToolbarLibrary& library = GetToolbarLibrary();
  if (toolbar && library.InitializeToolbar) {
    if (options.newVersion) {
      library.InitializeToolbar(toolbar, dialog, 9, kToolbarCommands, IDB_TOOLBAR_NEW_1, IDB_TOOLBAR_NEW_2,
                                IDB_TOOLBAR_NEW_3, IDB_TOOLBAR_NEW_4, kToolbarTips, 0);
    } else {
      library.InitializeToolbar(toolbar, dialog, 9, kToolbarCommands, IDB_TOOLBAR_CLASSIC_1, IDB_TOOLBAR_CLASSIC_2,
                                IDB_TOOLBAR_CLASSIC_3, IDB_TOOLBAR_CLASSIC_4, kToolbarTips, 0);
    }
    if (library.EnableToolbar) library.EnableToolbar(toolbar, IDM_TB_PRINT, options.printAllowed);
  }

  // Entered among the thread's managers before anything is shown: showing
  // the dialog or its frame activates it, and that activation must find it
  // to make it the thread's active manager.
  if (CThreadRegistry* registry = GetThreadRegistry()) registry->AddManager(GetCurrentThreadId(), manager);
  if (options.dockCreate) {
    manager->m_hDockFrame = options.dockCreate(dialog, 15, 0, true);
    if (manager->m_hDockFrame && options.dockQuery && !options.dockQuery(manager->m_hDockFrame)) {
      ShowWindow(dialog, SW_HIDE);
    }
    ShowWindow(dialog, SW_SHOW);
    if (IsWindow(manager->m_hDockFrame)) SendMessageA(manager->m_hDockFrame, DFM_SHOW, 5, 0);
  }

  manager->m_hCloseBitmap = static_cast<HBITMAP>(
      LoadImageA(GetResourceModule(), MAKEINTRESOURCEA(IDB_CLOSE_BUTTON), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  SendDlgItemMessageA(dialog, IDC_MAN_CLOSE, BM_SETIMAGE, IMAGE_BITMAP,
                      reinterpret_cast<LPARAM>(manager->m_hCloseBitmap));
  DragAcceptFiles(dialog, TRUE);
  return TRUE;
}

void OnDestroy(HWND dialog, CAlbumMan* manager) {
  char selected[MAX_PATH] = "";
  LRESULT index = SendMessageA(manager->m_hAlbumList, CB_GETCURSEL, 0, 0);
  if (index != CB_ERR && SendMessageA(manager->m_hAlbumList, CB_GETLBTEXTLEN, index, 0) < MAX_PATH) {
    SendMessageA(manager->m_hAlbumList, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(selected));
  }
  char ini[MAX_PATH];
  if (MakeUserFilePath("album.ini", ini, sizeof(ini))) WritePrivateProfileStringA("Context", "LastOpen", selected, ini);
  if (CThreadRegistry* registry = GetThreadRegistry()) registry->RemoveManager(GetCurrentThreadId(), manager);
  const HostOptions& options = GetHostOptions();
  if (manager->m_hDockFrame && options.dockRelease) options.dockRelease(dialog, manager->m_hDockFrame);
  if (GetShownManager() == dialog) SetShownManager(nullptr);
  if (GetLastActivatedManager() == dialog) SetLastActivatedManager(nullptr);
  KillTimer(dialog, kAutoScrollTimer);
  SetWindowLongPtrA(dialog, GWLP_USERDATA, 0);
  delete manager;
}

void OnSize(HWND dialog, CAlbumMan* manager, WPARAM wParam, LPARAM lParam) {
  const int width = LOWORD(lParam);
  const int height = HIWORD(lParam);
  switch (manager->m_nDockMode) {
    case ALBUM_UNDOCKED: {
      const bool newVersion = GetHostOptions().newVersion != 0;
      MoveItem(dialog, IDC_MAN_ALBUM_LABEL, 4, 6, 40, 20);
      // A drop-down list's height includes its list: 10 would leave no room
      // to drop it down, so the list is given a few entries' worth.
      MoveItem(dialog, IDC_MAN_ALBUM_LIST, 68, 6, 120, 200);
      MoveItem(dialog, IDC_MAN_TOOLBAR_LABEL, 190, 6, 2, 22);
      MoveItem(dialog, IDC_MAN_TOOLBAR, 196, 6, newVersion ? 262 : 298, newVersion ? 26 : 20);
      MoveItem(dialog, IDC_MAN_STATUS_LABEL, 4, height - 26, 70, 20);
      MoveItem(dialog, IDC_MAN_STATUS, 74, height - 26, width - 78, 20);
      MoveItem(dialog, IDC_MAN_DESCRIPTION_LABEL, 4, height - 50, 70, 20);
      MoveItem(dialog, IDC_MAN_DESCRIPTION, 74, height - 50, width - 78, 20);
      MoveItem(dialog, IDC_MAN_ALBUM_CTRL, 4, 36, width - 8, height - 90);
      break;
    }
    case ALBUM_DOCKED_VERTICAL:
      MoveItem(dialog, IDC_MAN_ALBUM_CTRL, 2, 35, 88, height - 41);
      break;
    case ALBUM_DOCKED_HORIZONTAL:
      MoveItem(dialog, IDC_MAN_ALBUM_CTRL, 38, 4, width - 42, 107);
      break;
  }
  InvalidateRect(dialog, nullptr, TRUE);
  if (IsWindow(manager->m_hDockFrame)) SendMessageA(manager->m_hDockFrame, DFM_SIZED, wParam, lParam);
}

void OnSizing(HWND dialog, WPARAM edge, RECT* dragged) {
  HWND control = GetDlgItem(dialog, IDC_MAN_ALBUM_CTRL);
  if (!control || !dragged) return;
  SIZE frame = FrameSize(dialog);
  const int marginX = frame.cx + 8;
  const int marginY = frame.cy + 90;
  RECT controlRect{};
  GetWindowRect(control, &controlRect);
  RECT answer{0, 0, (dragged->right - dragged->left) - marginX, (dragged->bottom - dragged->top) - marginY};
  SendMessageA(control, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&answer));
  const int answeredWidth = answer.right - answer.left;
  const int answeredHeight = answer.bottom - answer.top;
  const int newWidth = answeredWidth + marginX;
  const int newHeight = answeredHeight + marginY;
  switch (edge) {
    case WMSZ_LEFT:
    case WMSZ_TOPLEFT:
    case WMSZ_BOTTOMLEFT:
      dragged->left = dragged->right - newWidth;
      controlRect.left = controlRect.right - answeredWidth;
      break;
    case WMSZ_RIGHT:
    case WMSZ_TOPRIGHT:
    case WMSZ_BOTTOMRIGHT:
      dragged->right = dragged->left + newWidth;
      controlRect.right = controlRect.left + answeredWidth;
      break;
  }
  switch (edge) {
    case WMSZ_TOP:
    case WMSZ_TOPLEFT:
    case WMSZ_TOPRIGHT:
      dragged->top = dragged->bottom - newHeight;
      controlRect.top = controlRect.bottom - answeredHeight;
      break;
    case WMSZ_BOTTOM:
    case WMSZ_BOTTOMLEFT:
    case WMSZ_BOTTOMRIGHT:
      dragged->bottom = dragged->top + newHeight;
      controlRect.bottom = controlRect.top + answeredHeight;
      break;
  }
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  if (dragged->right > screenWidth) {
    dragged->right -= 88;
    controlRect.right -= 88;
  }
  if (dragged->bottom > screenHeight) {
    dragged->bottom -= 107;
    controlRect.bottom -= 107;
  }
  if (screenWidth - controlRect.left < 176 || controlRect.right < 176 || screenHeight - controlRect.top < 214) {
    GetWindowRect(dialog, dragged);
  }
}

void OnActivated(HWND dialog) {
  SetLastActivatedManager(dialog);
  if (CThreadRegistry* registry = GetThreadRegistry()) registry->SetActiveManager(GetCurrentThreadId(), dialog);
}

void OnAutoScrollTimer(HWND dialog) {
  POINT cursor{};
  if (!GetCursorPos(&cursor)) return;
  HWND control = GetDlgItem(dialog, IDC_MAN_ALBUM_CTRL);
  RECT controlRect{}, dialogRect{};
  GetWindowRect(control, &controlRect);
  GetWindowRect(dialog, &dialogRect);
  const bool inside = cursor.x >= dialogRect.left && cursor.x <= dialogRect.right && cursor.y >= dialogRect.top &&
                      cursor.y <= dialogRect.bottom;
  const bool button = (GetAsyncKeyState(VK_LBUTTON) & 0x8000) || (GetAsyncKeyState(VK_RBUTTON) & 0x8000);
  if (inside && button) {
    if (cursor.y > controlRect.bottom) {
      SendMessageA(control, WM_VSCROLL, SB_LINEDOWN, 0);
    } else if (cursor.y < controlRect.top) {
      SendMessageA(control, WM_VSCROLL, SB_LINEUP, 0);
    }
    return;
  }
  KillTimer(dialog, kAutoScrollTimer);
}

// ---------------------------------------------------------------------------
// Copy and paste

void CopySelection(CAlbumMan* manager) {
  CAlbum* album = manager->GetAlbum();
  if (!album) return;
  SetCopyBuffer(nullptr);
  CAlbumDoc2* buffer = new (std::nothrow) CAlbumDoc2;
  if (!buffer) return;
  album->GetDragData(buffer);
  SetCopyBuffer(buffer);
}

void Paste(CAlbumMan* manager) {
  CAlbum* album = manager->GetAlbum();
  CAlbumDoc2* buffer = GetCopyBuffer();
  if (!album || !buffer) return;
  CAlbumDoc2 pasted;
  const int count = buffer->GetCount();
  for (int i = 1; i <= count; ++i) {
    CThumbnail2* item = buffer->GetThumbnail(i);
    CThumbnail2* clone = item ? item->Clone() : nullptr;
    if (clone && !pasted.Insert(clone, nullptr)) delete clone;
  }
  // The copies carry paths relative to the album they were copied from.
  pasted.SetPath(buffer->GetPath());
  pasted.SetExePath(buffer->GetExePath());
  album->InsertFromTable(&pasted, nullptr);
  manager->m_bModified = 1;
  if (!manager->m_pFocused) manager->ShowAlbumSummary();
}

void SendSelectedToHost(CAlbumMan* manager) {
  CAlbum* album = manager->GetAlbum();
  if (!album) return;
  CAlbumDoc2 selected;
  album->GetDragData(&selected);
  const int count = selected.GetCount();
  for (int i = 1; i <= count; ++i) {
    CThumbnail2* item = selected.GetThumbnail(i);
    if (!item) continue;
    char full[MAX_PATH] = "";
    selected.GetThumbnailFullPath(item->GetInfo()->aiPath, full);
    SendMessageA(manager->m_hHost, ACM_OPENITEM, reinterpret_cast<WPARAM>(full), 0);
  }
}

// ---------------------------------------------------------------------------
// Commands

void OnAlbumSelected(HWND, CAlbumMan* manager) {
  LRESULT selected = SendMessageA(manager->m_hAlbumList, CB_GETCURSEL, 0, 0);
  if (selected == CB_ERR || selected == manager->m_nCurrent) return;
  manager->UpdateDescLine();
  char path[MAX_PATH];
  if (!manager->GetAlbumPath(static_cast<int>(selected), path) || !manager->Reload(path)) {
    // The list goes back to the album that stays shown.
    if (manager->m_nCurrent >= 0) SendMessageA(manager->m_hAlbumList, CB_SETCURSEL, manager->m_nCurrent, 0);
    return;
  }
  if (!manager->m_bUntitled) {
    SplitPathParts parts;
    CAlbum* album = manager->GetAlbum();
    if (album && SplitAlbumPathParts(album->GetDocument()->GetPath(), &parts)) {
      LRESULT found = SendMessageA(manager->m_hAlbumList, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(parts.fname));
      if (found != CB_ERR) {
        manager->m_nCurrent = static_cast<int>(found);
        SendMessageA(manager->m_hAlbumList, CB_SETCURSEL, found, 0);
      }
    }
  }
  manager->ShowAlbumSummary();
  manager->m_bModified = 0;
  manager->m_pFocused = nullptr;
}

void RunBatch(CAlbumMan* manager) {
  CThreadRegistry* registry = GetThreadRegistry();
  if (!registry || !registry->SetModalBusy(GetCurrentThreadId(), 1)) {
    MessageBeep(0);
    return;
  }
  CAlbum* album = manager->GetAlbum();
  OpenBatchDialogProc open = BatchDialog();
  if (!album || album->GetThumbNailCount() == 0 || !open) {
    MessageBeep(0);
  } else if (open(manager->m_hHost) > 0) {
    manager->RefreshAlbum();
  }
  registry->SetModalBusy(GetCurrentThreadId(), 0);
}

void OnCommand(HWND dialog, CAlbumMan* manager, int command, int notification) {
  const HostOptions& options = GetHostOptions();
  const bool current = manager->m_nCurrent >= 0;
  CAlbum* album = manager->GetAlbum();
  switch (command) {
    case IDC_MAN_ALBUM_LIST:
      if (notification == CBN_SELCHANGE) {
        OnAlbumSelected(dialog, manager);
      } else if (notification == CBN_KILLFOCUS) {
        manager->RenameFromList();
      } else if (notification == CBN_DROPDOWN) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_MAN_ALBUM_LIST, CBN_KILLFOCUS),
                     reinterpret_cast<LPARAM>(manager->m_hAlbumList));
        manager->LoadAlbumList();
      }
      break;
    case IDC_MAN_DESCRIPTION:
      if (notification == EN_CHANGE) manager->m_bModified = 1;
      break;
    case IDM_TB_SAVE:
      if (!current) {
        MessageBeep(0);
        break;
      }
      manager->UpdateDescLine();
      if (manager->m_hMoveTrigger) SetFocus(manager->m_hMoveTrigger);
      if (!manager->Save()) MessageBeep(0);
      break;
    case IDM_TB_SORT:
      if (!current) {
        MessageBeep(0);
      } else if (manager->Sort()) {
        manager->m_bModified = 1;
      }
      break;
    case IDM_TB_ADD:
      if (!current) {
        MessageBeep(0);
        break;
      }
      manager->Add();
      if (!manager->m_pFocused) manager->ShowAlbumSummary();
      break;
    case IDM_TB_DELETE:
    case IDM_DELETE_ITEMS:
      if (!current) {
        MessageBeep(0);
      } else {
        manager->Delete();
      }
      break;
    case IDM_TB_ACQUIRE:
      if (options.acquire) {
        options.acquire(dialog);
      } else {
        MessageBeep(0);
      }
      break;
    case IDM_TB_PRINT:
      if (current && options.printAllowed) {
        manager->Print();
      } else {
        MessageBeep(0);
      }
      break;
    case IDM_TB_SEARCH:
      manager->Search();
      break;
    case IDM_TB_BATCH:
      RunBatch(manager);
      break;
    case IDM_TB_HELP:
    case IDM_HELP:
      if (options.help) {
        options.help(dialog, 0);
      } else {
        MessageBeep(0);
      }
      break;
    case IDC_MAN_CLOSE:
      if (IsWindow(manager->m_hDockFrame)) SendMessageA(manager->m_hDockFrame, WM_CLOSE, 0, 0);
      break;
    case IDM_CUT:
      SendMessageA(dialog, WM_COMMAND, IDM_COPY, 0);
      if (album && album->RemoveSelected(0)) {
        manager->m_bModified = 1;
        if (!manager->m_pFocused) manager->ShowAlbumSummary();
      }
      break;
    case IDM_COPY:
      CopySelection(manager);
      break;
    case IDM_PASTE:
      Paste(manager);
      break;
    case IDM_SEND_TO_HOST:
      SendSelectedToHost(manager);
      break;
    case IDM_PICTURE_INFO: {
      char path[MAX_PATH] = "";
      if (album && album->GetCurrentThumbNailFullPath(path)) ShowPictureInformation(dialog, path);
      break;
    }
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// Closing

void OnClose(HWND dialog, CAlbumMan* manager) {
  if (GetShownManager() == dialog) SetShownManager(nullptr);
  if (manager && IsWindow(manager->m_hDockFrame)) {
    SendMessageA(manager->m_hDockFrame, WM_CLOSE, 0, 0);
    return;
  }
  if (!manager || manager->QueryClose()) DestroyWindow(dialog);
}

void OnQueryClose(HWND dialog, CAlbumMan* manager, int* field) {
  if (GetShownManager() == dialog) SetShownManager(nullptr);
  if (!field) return;
  if (manager && IsWindow(manager->m_hDockFrame) && *field == -1) {
    if (SendMessageA(manager->m_hDockFrame, WM_CLOSE, 0, 0)) {
      *field = 1;
    } else if (g_closeRefused == 1) {
      *field = 1;
      g_closeRefused = -1;
    }
    return;
  }
  if (!manager || manager->QueryClose()) {
    *field = -1;
  } else {
    *field = 1;
    g_closeRefused = 1;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Item information line

int CAlbumMan::ShowItemInformation() {
  if (!m_pFocused) {
    ShowAlbumSummary();
    return 1;
  }
  const tagALBUMINFOHEADER* info = m_pFocused->GetInfo();
  time_t stamp = static_cast<time_t>(info->aiFileTime);
  struct tm* date = gmtime(&stamp);
  if (!date) return 0;
  const int day = date->tm_mday;
  const int month = date->tm_mon + 1;
  const int year = date->tm_year + 1900;
  const int first = MonthBeforeDay() ? month : day;
  const int second = MonthBeforeDay() ? day : month;
  char format[128] = "";
  LoadStringA(GetResourceModule(), IDS_FMT_ITEM_INFO, format, sizeof(format));
  char text[200];
  snprintf(text, sizeof(text), format, first, second, year, static_cast<int>((info->aiFileSize + 518) / 1024),
           static_cast<int>(info->aiWidth), static_cast<int>(info->aiHeight));
  SetDlgItemTextA(m_hWnd, IDC_MAN_STATUS, text);
  const size_t length = BoundedLength(info->aiDescription, sizeof(info->aiDescription));
  bool visible = false;
  for (size_t i = 0; i < length; ++i) visible = visible || info->aiDescription[i] != ' ';
  char line[sizeof(info->aiPath)];
  if (visible) {
    CopyText(line, sizeof(line), info->aiDescription);
  } else {
    CopyText(line, sizeof(line), info->aiPath);
  }
  SetDescriptionLine(line);
  return 1;
}

void ReleaseBatchLibrary() {
  if (g_batchLibrary) FreeLibrary(g_batchLibrary);
  g_batchLibrary = nullptr;
  g_openBatchDialog = nullptr;
}

CAlbumMan* FindAlbumManager(HWND window) {
  if (!window || !IsWindow(window)) return nullptr;
  char name[16] = "";
  GetClassNameA(window, name, sizeof(name));
  if (strcmp(name, "#32770") != 0) return nullptr;
  if (GetWindowLongPtrA(window, DWLP_DLGPROC) != reinterpret_cast<LONG_PTR>(AlbumManDlgProc)) return nullptr;
  return ManagerOf(window);
}

INT_PTR CALLBACK AlbumManDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* manager = reinterpret_cast<CAlbumMan*>(lParam);
    if (!manager) return FALSE;
    return OnInitDialog(dialog, manager);
  }
  CAlbumMan* manager = ManagerOf(dialog);
  switch (message) {
    case WM_DESTROY:
      if (manager) OnDestroy(dialog, manager);
      return FALSE;
    case WM_CLOSE:
      OnClose(dialog, manager);
      return TRUE;
    case DFM_QUERYCLOSE:
      OnQueryClose(dialog, manager, reinterpret_cast<int*>(lParam));
      return FALSE;
    default:
      break;
  }
  if (!manager) return FALSE;
  switch (message) {
    case WM_SIZE:
      OnSize(dialog, manager, wParam, lParam);
      return TRUE;
    case WM_SIZING:
      OnSizing(dialog, wParam, reinterpret_cast<RECT*>(lParam));
      return FALSE;
    case DFM_GETMINSIZE:
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = manager->MinimumSize(static_cast<int>(wParam), dialog);
      return FALSE;
    case DFM_LAYOUT:
      if (lParam) {
        auto* size = reinterpret_cast<DWORD*>(lParam);
        *size = manager->MoveSize(static_cast<int>(wParam), *size, dialog);
      }
      return FALSE;
    case WM_ACTIVATE:
    case DFM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) OnActivated(dialog);
      // The dialog manager still puts the focus back on its control.
      return FALSE;
    case WM_SHOWWINDOW:
      if (IsWindow(manager->m_hDockFrame)) SendMessageA(manager->m_hDockFrame, DFM_SHOW, wParam ? 5 : 0, 0);
      return FALSE;
    case WM_PAINT: {
      HWND control = GetDlgItem(dialog, IDC_MAN_ALBUM_CTRL);
      RECT update{};
      if (control && GetUpdateRect(control, &update, FALSE)) InvalidateRect(control, &update, TRUE);
      return FALSE;
    }
    case WM_TIMER:
      if (wParam == kAutoScrollTimer) OnAutoScrollTimer(dialog);
      return FALSE;
    case AVM_DRAGNOTIFY: {
      auto* record = reinterpret_cast<tagDRAGNOTIFY*>(lParam);
      if (record) {
        record->ddHandled = 1;
        if (record->ddAction == DRAG_OVER || record->ddAction == 0) SetTimer(dialog, kAutoScrollTimer, kAutoScrollPeriod, nullptr);
      }
      return FALSE;
    }
    case WM_DROPFILES:
      manager->OnDropFiles(reinterpret_cast<HDROP>(wParam));
      return FALSE;
    case ACM_OPENITEM:
      SendMessageA(manager->m_hHost, ACM_OPENITEM, wParam, lParam);
      return TRUE;
    case ACM_FOCUSCHANGED:
      OnActivated(dialog);
      manager->UpdateDescLine();
      manager->m_pFocused = reinterpret_cast<CThumbnail2*>(lParam);
      manager->ShowItemInformation();
      return FALSE;
    case ACM_CONTENTSCHANGED:
      manager->m_bModified = 1;
      if (!manager->m_pFocused) manager->ShowAlbumSummary();
      return TRUE;
    case ACM_CONTEXTMENU:
      manager->ShowPopupMenu(wParam, reinterpret_cast<CThumbView2*>(lParam));
      return FALSE;
    case ACM_DELETESELECTED:
      if (manager->m_nCurrent >= 0) manager->Delete();
      return TRUE;
    case ACM_SENDSELECTED:
      SendMessageA(dialog, WM_COMMAND, IDM_SEND_TO_HOST, 0);
      return TRUE;
    case WM_COMMAND:
      OnCommand(dialog, manager, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}
