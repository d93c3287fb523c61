// The demo host's main window with its two album controls.
#include "AlbumDemo.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "WindowShot.h"
#include "manager/AlbumCtrl.h"
#include "manager/Module.h"
#include "views/Album.h"

namespace {

const char kWindowClass[] = "AlbumKitDemoHost";
// The host's own kind of album control: a configuration under a class
// name, and a window class of that name that runs the control's procedure.
const char kCtrlClass[] = "AlbumDemoCtrl";

const int kMargin = 12;
const int kGroupTitle = 22;
const int kGroupPadding = 10;
const int kStatusHeight = 20;
const int kCellWidth = 112;
const int kCellHeight = 148;
const int kGap = 8;
const int kColumns = 3;
const int kRows = 2;
const int kBarWidth = 16;
const int kCtrlWidth = kColumns * (kCellWidth + kGap) + kBarWidth;
const int kCtrlHeight = kRows * (kCellHeight + kGap);

struct Side {
  CAlbumCtrl ctrl;       // owns its album view; the window goes first
  HWND group = nullptr;  // the frame with the album's name and size
  std::string name;
};

struct DemoState {
  Side sides[2];
  HWND status = nullptr;
  HFONT font = nullptr;  // owned
  bool interactive = false;
};

int ItemCount(CAlbumCtrl& ctrl) { return ctrl.GetAlbum() ? ctrl.GetAlbum()->GetThumbNailCount() : 0; }

void ShowCounts(DemoState* state) {
  for (Side& side : state->sides) {
    if (!side.group) continue;
    char title[200];
    int count = ItemCount(side.ctrl);
    snprintf(title, sizeof(title), "%s  (%d picture%s)", side.name.c_str(), count, count == 1 ? "" : "s");
    SetWindowTextA(side.group, title);
  }
}

void SetStatus(DemoState* state, const std::string& text) {
  if (state->status) SetWindowTextA(state->status, text.c_str());
}

const char* FileName(const char* path) {
  const char* slash = strrchr(path, '\\');
  return slash ? slash + 1 : path;
}

LRESULT CALLBACK DemoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<DemoState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_CREATE:
      SetWindowLongPtrA(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
      return 0;
    case ACM_FOCUSCHANGED: {
      auto* item = reinterpret_cast<CThumbnail2*>(lParam);
      if (state && item) {
        const tagALBUMINFOHEADER* info = item->GetInfo();
        char text[400];
        snprintf(text, sizeof(text), "%s - %s, %u x %u pixels", FileName(info->aiPath), info->aiDescription,
                 static_cast<unsigned>(info->aiWidth), static_cast<unsigned>(info->aiHeight));
        SetStatus(state, text);
      }
      return 0;
    }
    case ACM_OPENITEM:
      if (state && wParam) SetStatus(state, std::string("Open ") + reinterpret_cast<const char*>(wParam));
      return 0;
    case ACM_CONTENTSCHANGED:
      if (state) ShowCounts(state);
      return 0;
    case ACM_DELETESELECTED: {
      // The album forgets the pictures; their files stay.
      auto* ctrl = reinterpret_cast<CAlbumCtrl*>(wParam);
      if (state && ctrl && ctrl->GetAlbum() && ctrl->GetAlbum()->RemoveSelected(0)) ShowCounts(state);
      return 0;
    }
    case WM_DESTROY:
      if (state && state->interactive) PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Lets input and painting settle: the demo is watched, not timed.
void PumpFor(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    PumpPendingMessages();
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= milliseconds) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
  }
}

void SendMouse(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
}

void SendKey(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, 0));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof(input));
}

void MoveTo(POINT screen) {
  SetCursorPos(screen.x, screen.y);
  PumpFor(20);
}

// A click as a user makes it, with Ctrl held when asked. Ctrl goes down
// after the move: moving the cursor can reset the key state under Wine.
void Click(POINT screen, bool withCtrl) {
  MoveTo(screen);
  if (withCtrl) {
    SendKey(VK_CONTROL, false);
    PumpFor(20);
  }
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  PumpFor(20);
  SendMouse(MOUSEEVENTF_LEFTUP);
  PumpFor(20);
  if (withCtrl) {
    SendKey(VK_CONTROL, true);
    PumpFor(20);
  }
}

// The cells of an album control in grid order (row by row), as screen
// rectangles.
std::vector<RECT> CellRects(CAlbumCtrl& ctrl) {
  std::vector<RECT> cells;
  HWND view = ctrl.GetAlbum() ? ctrl.GetAlbum()->GetViewWindow() : nullptr;
  for (HWND cell = view ? GetWindow(view, GW_CHILD) : nullptr; cell; cell = GetWindow(cell, GW_HWNDNEXT)) {
    char name[32] = "";
    GetClassNameA(cell, name, sizeof(name));
    if (strcmp(name, "ThumbViewClass") != 0) continue;
    RECT r{};
    GetWindowRect(cell, &r);
    cells.push_back(r);
  }
  std::sort(cells.begin(), cells.end(),
            [](const RECT& a, const RECT& b) { return a.top != b.top ? a.top < b.top : a.left < b.left; });
  return cells;
}

// The centre of the cell that shows item n (the album shows its items
// from its first visible one on).
bool CentreOfItem(CAlbumCtrl& ctrl, int n, POINT* centre) {
  std::vector<RECT> cells = CellRects(ctrl);
  int slot = n - ctrl.GetAlbum()->GetFirstViewNailID();
  if (slot < 0 || slot >= static_cast<int>(cells.size())) return false;
  const RECT& r = cells[static_cast<size_t>(slot)];
  *centre = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  return true;
}

std::string ItemNames(CAlbumCtrl& ctrl) {
  std::string names;
  CAlbumDoc2* document = ctrl.GetAlbum() ? ctrl.GetAlbum()->GetDocument() : nullptr;
  for (int i = 1; document && i <= document->GetCount(); ++i) {
    if (!names.empty()) names += ", ";
    names += FileName(document->GetThumbnail(i)->GetInfo()->aiPath);
  }
  return names;
}

// Selects items 2 and 3 of the left album with two clicks (the second with
// Ctrl) and drags them onto the first empty cell of the right album.
bool DragTwoPictures(DemoState& state) {
  CAlbumCtrl& from = state.sides[0].ctrl;
  CAlbumCtrl& to = state.sides[1].ctrl;
  const int leftBefore = ItemCount(from);
  const int rightBefore = ItemCount(to);
  POINT second{}, third{}, target{};
  if (!CentreOfItem(from, 2, &second) || !CentreOfItem(from, 3, &third)) return false;
  if (!CentreOfItem(to, rightBefore + 1, &target)) return false;
  const std::string moved = std::string(FileName(from.GetAlbum()->GetDocument()->GetThumbnail(2)->GetInfo()->aiPath)) +
                            " and " + FileName(from.GetAlbum()->GetDocument()->GetThumbnail(3)->GetInfo()->aiPath);

  Click(second, false);
  Click(third, true);
  // The press lies away from the last click, or the two would make a double click.
  POINT press{third.x + 14, third.y + 14};
  MoveTo(press);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  PumpFor(30);
  const int steps = 12;
  for (int i = 1; i <= steps; ++i) {
    MoveTo(POINT{press.x + (target.x - press.x) * i / steps, press.y + (target.y - press.y) * i / steps});
  }
  PumpFor(60);
  SendMouse(MOUSEEVENTF_LEFTUP);
  const DWORD start = GetTickCount();
  while (FindWindowA("DDWDNCLASS", nullptr) && GetTickCount() - start < 3000) PumpFor(20);
  PumpFor(100);

  const bool done = ItemCount(from) == leftBefore - 2 && ItemCount(to) == rightBefore + 2;
  SetStatus(&state, done ? "Dragged " + moved + " from " + state.sides[0].name + " to " + state.sides[1].name +
                               ". Hold Ctrl while dropping to copy instead."
                         : std::string("The drag did not reach the other album."));
  return done;
}

// The host's configuration: framed cards with file names in the system's
// message font, three columns of cells that keep their size.
bool RegisterDemoControl(const LOGFONTA& font) {
  tagAlbumViewCreateInfo aci;
  memset(&aci, 0, sizeof(aci));
  aci.avcRows = kRows;
  aci.avcCols = kColumns;
  aci.avcHGap = kGap;
  aci.avcVGap = kGap;
  aci.avcScroll = 1;
  aci.avcSelect = 2;
  aci.avcStyle = 4;
  aci.avcLayout = 1;
  aci.avcCaption = 1;
  aci.avcBkMode = 2;
  aci.avcFont = font;
  aci.avcToolTip = 1;
  aci.avcCellWidth = kCellWidth;
  aci.avcCellHeight = kCellHeight;
  if (GetAlbumCtrlACI(nullptr, kCtrlClass) < 0 && !RegisterMiniAlbum(kCtrlClass, &aci)) return false;

  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  if (!GetClassInfoExA(GetResourceModule(), "ManDlgAlbumCtrl", &wc)) return false;
  wc.lpszClassName = kCtrlClass;
  wc.hInstance = GetResourceModule();
  return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

AlbumDemoResult RunAlbumDemo(const std::string& leftAlbum, const std::string& rightAlbum,
                             const std::string& shotPath, bool interactive) {
  AlbumDemoResult result;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  if (!RegisterDemoControl(metrics.lfMessageFont)) return result;

  if (!RegisterDemoWindowClass(kWindowClass, DemoProc)) return result;

  std::unique_ptr<DemoState> state(new DemoState);
  state->interactive = interactive;
  state->font = CreateFontIndirectA(&metrics.lfMessageFont);

  const int groupWidth = kCtrlWidth + 2 * kGroupPadding;
  const int groupHeight = kGroupTitle + kCtrlHeight + kGroupPadding;
  const int clientWidth = 3 * kMargin + 2 * groupWidth;
  const int statusTop = kMargin + groupHeight + 8;
  RECT frame{0, 0, clientWidth, statusTop + kStatusHeight + kMargin - 4};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  HWND window = CreateWindowExA(0, kWindowClass, "AlbumKit demo - album controls", style, 40, 40,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                                state.get());
  if (!window) {
    if (state->font) DeleteObject(state->font);
    UnregisterClassA(kWindowClass, instance);
    return result;
  }

  const std::string* albums[2] = {&leftAlbum, &rightAlbum};
  bool loaded = true;
  for (int i = 0; i < 2; ++i) {
    Side& side = state->sides[i];
    const int x = kMargin + i * (groupWidth + kMargin);
    // The frame is a sibling behind the control: it must not paint over it.
    side.group = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_GROUPBOX, x, kMargin,
                                 groupWidth, groupHeight, window, nullptr, instance, nullptr);
    if (side.group && state->font) SendMessageA(side.group, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), FALSE);
    HWND ctrl = reinterpret_cast<HWND>(side.ctrl.CALbumCtrl(
        window, kCtrlClass, RECT{x + kGroupPadding, kMargin + kGroupTitle, kCtrlWidth, kCtrlHeight}));
    if (ctrl) SetWindowPos(ctrl, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    CAlbum* album = side.ctrl.GetAlbum();
    loaded = loaded && album && album->Load(albums[i]->c_str());
    if (album) {
      side.name = album->GetDescription();
      // Show the album from its first picture.
      SendMessageA(ctrl, WM_VSCROLL, SB_TOP, 0);
    }
  }
  state->status = CreateWindowExA(0, "STATIC", "Drag pictures from one album to the other; hold Ctrl to copy them.",
                                  WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP, kMargin, statusTop,
                                  clientWidth - 2 * kMargin, kStatusHeight, window, nullptr, instance, nullptr);
  if (state->status && state->font) {
    SendMessageA(state->status, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), FALSE);
  }
  ShowCounts(state.get());
  result.shown = loaded;

  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  UpdateWindow(window);
  PumpFor(200);

  if (loaded) result.dragged = DragTwoPictures(*state);
  // The cursor leaves the window, so that no tooltip covers a picture.
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2);
  PumpFor(100);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  PumpFor(100);
  result.shotSaved = SaveClientShot(window, shotPath);
  result.leftItems = ItemNames(state->sides[0].ctrl);
  result.rightItems = ItemNames(state->sides[1].ctrl);

  if (interactive) {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  } else {
    DestroyWindow(window);
  }
  // The controls' objects go after their windows (the state's destructor).
  if (state->font) DeleteObject(state->font);
  state.reset();
  UnregisterClassA(kWindowClass, instance);
  UnregisterClassA(kCtrlClass, GetResourceModule());
  return result;
}
