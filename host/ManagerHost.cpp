// The demo host's album-manager window and the callbacks it gives the
// album managers.
#include "ManagerHost.h"

#include <album.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <deque>
#include <vector>

#include "DockFrame.h"
#include "PictureWindow.h"
#include "WindowShot.h"
#include "platform/Gdi.h"
#include "platform/Memory.h"
#include "platform/qil.h"

namespace {

const char kHostClass[] = "AlbumKitManagerHost";
// A manager sends its host this with an item's full path (wParam) when the
// item is opened.
const UINT kOpenItem = 0x501;
// The manager's own toolbar commands the host's menu reuses.
const WPARAM kManagerAcquire = 1005;
const WPARAM kManagerSearch = 1008;
// Posted to itself after its activation: see WM_ACTIVATE.
const UINT kRaiseFloating = WM_APP + 0x50;
// Posted to itself by the tour once the search dialog is up (wParam: the
// dialog), so that the tour's search runs inside the dialog's modal loop.
const UINT kScriptSearch = WM_APP + 0x51;
// Items of the library's dialogs the tour looks for.
const int kManagerAlbumControl = 104;  // in the manager dialog
const int kManagerCloseButton = 4203;  // the docked manager's close button
const int kChooserAlbumList = 101;     // the album chooser's combo box
const int kMessageBoxText = 0xFFFF;    // the text of a message box
// Items of the search dialog the tour fills in.
const int kSearchName = 4144;
const int kSearchInFolder = 4192;
const int kSearchFolder = 4191;
const int kSearchSubfolders = 4193;
const int kSearchStatus = 4180;
const int kSearchFind = 4202;
const int kSearchClose = 4201;

enum : UINT {
  IDM_HOST_OPEN = 40001,
  IDM_HOST_ACQUIRE,
  IDM_HOST_SEARCH,
  IDM_HOST_CLOSE_MANAGER,
  IDM_HOST_EXIT,
  IDM_HOST_DOCK_LEFT,
  IDM_HOST_DOCK_RIGHT,
  IDM_HOST_DOCK_TOP,
  IDM_HOST_DOCK_BOTTOM,
  IDM_HOST_FLOAT,
  IDM_HOST_HELP,
};

const struct {
  UINT command;
  int side;
} kDockCommands[] = {{IDM_HOST_DOCK_LEFT, DOCK_LEFT},
                     {IDM_HOST_DOCK_RIGHT, DOCK_RIGHT},
                     {IDM_HOST_DOCK_TOP, DOCK_TOP},
                     {IDM_HOST_DOCK_BOTTOM, DOCK_BOTTOM},
                     {IDM_HOST_FLOAT, DOCK_FLOAT}};

class ManagerHost {
 public:
  explicit ManagerHost(const ManagerHostPaths& paths, bool interactive) : paths_(paths), interactive_(interactive) {}
  ManagerHost(const ManagerHost&) = delete;
  ManagerHost& operator=(const ManagerHost&) = delete;

  HWND Create();
  HWND window() const { return window_; }
  const std::vector<HWND>& frames() const { return frames_; }
  HWND lastPicture() const { return lastPicture_; }

  HWND OpenManager();
  static DockFrame* FrameOfManager(HWND dialog);
  DockFrame* ActiveFrame() const;
  HWND MakeFrame(HWND dialog);
  int Acquire(HWND dialog);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(UINT command);
  void OnInitMenu(HMENU menu);
  bool CloseAll();
  void Layout();
  void OnPaint();

  ManagerHostPaths paths_;
  bool interactive_;
  HWND window_ = nullptr;
  std::vector<HWND> frames_;     // the managers' dock frames, in the order they dock
  HWND lastPicture_ = nullptr;   // the picture window opened last (it owns itself)
  RECT rest_{};                  // the client area the docked frames leave
  int acquiredCount_ = 0;
  HWND scriptedSearch_ = nullptr;  // the search dialog the tour fills in once it shows
};

// The callbacks carry no context: one host window serves them.
ManagerHost* g_host = nullptr;

void ScriptSearch(HWND dialog, const ManagerHostPaths& paths);

HWND DockCreate(HWND dialog, int, int, bool) { return g_host ? g_host->MakeFrame(dialog) : nullptr; }

int DockQuery(HWND) { return 1; }

int DockRelease(HWND, HWND frame) {
  DockFrame* dock = DockFrame::FromWindow(frame);
  if (dock) dock->Release();
  return 1;
}

int AcquirePicture(HWND dialog) { return g_host ? g_host->Acquire(dialog) : 0; }

int ShowHelp(HWND dialog, int) {
  // Docked or floating, the dialog is a child of its frame: the box
  // belongs to the top-level window around it.
  MessageBoxA(GetAncestor(dialog, GA_ROOT),
              "Pick an album in the list at the top, or type a new name over it.\n"
              "Add pictures with the first toolbar button, or drop files on the manager.\n"
              "Double-click a picture to open it; drag pictures between albums (Ctrl copies).\n"
              "The Dock menu of the host window docks the manager on any side or floats it.",
              "Album Manager Help", MB_OK | MB_ICONINFORMATION);
  return 1;
}

HMENU BuildMenu() {
  HMENU bar = CreateMenu();
  HMENU album = CreatePopupMenu();
  AppendMenuA(album, MF_STRING, IDM_HOST_OPEN, "&Open Album Manager...\tCtrl+O");
  AppendMenuA(album, MF_STRING, IDM_HOST_ACQUIRE, "&Acquire Picture");
  AppendMenuA(album, MF_STRING, IDM_HOST_SEARCH, "&Search Albums and Folders...\tCtrl+F");
  AppendMenuA(album, MF_STRING, IDM_HOST_CLOSE_MANAGER, "&Close Album Manager");
  AppendMenuA(album, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(album, MF_STRING, IDM_HOST_EXIT, "E&xit");
  HMENU dock = CreatePopupMenu();
  AppendMenuA(dock, MF_STRING, IDM_HOST_DOCK_LEFT, "Dock &Left");
  AppendMenuA(dock, MF_STRING, IDM_HOST_DOCK_RIGHT, "Dock &Right");
  AppendMenuA(dock, MF_STRING, IDM_HOST_DOCK_TOP, "Dock &Top");
  AppendMenuA(dock, MF_STRING, IDM_HOST_DOCK_BOTTOM, "Dock &Bottom");
  AppendMenuA(dock, MF_STRING, IDM_HOST_FLOAT, "&Float");
  HMENU help = CreatePopupMenu();
  AppendMenuA(help, MF_STRING, IDM_HOST_HELP, "&Album Manager Help");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(album), "&Album");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(dock), "&Dock");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), "&Help");
  return bar;
}

HWND ManagerHost::Create() {
  static const bool registered = RegisterDemoWindowClass(kHostClass, &ManagerHost::Procedure);
  if (!registered) return nullptr;
  // A client area of 900 x 600: four rows of thumbnails docked at the side.
  RECT outer{0, 0, 900, 600};
  AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, TRUE, 0);
  return CreateWindowExA(0, kHostClass, "AlbumKit host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 10, 10,
                         outer.right - outer.left, outer.bottom - outer.top, nullptr, BuildMenu(),
                         GetModuleHandleA(nullptr), this);
}

HWND ManagerHost::OpenManager() {
  return OpenAlbumManagerEx(window_, paths_.albums.c_str(), 80, 60, 1);
}

// The manager dialog is the frame's child.
DockFrame* ManagerHost::FrameOfManager(HWND dialog) {
  return dialog ? DockFrame::FromWindow(GetParent(dialog)) : nullptr;
}

DockFrame* ManagerHost::ActiveFrame() const { return FrameOfManager(GetActiveAlbum(nullptr, 0)); }

HWND ManagerHost::MakeFrame(HWND dialog) {
  HWND frame = DockFrame::Create(window_, dialog, static_cast<int>(frames_.size()));
  if (frame) frames_.push_back(frame);
  return frame;
}

// A picture made on the spot, as a scanner or camera would hand one over:
// a colour gradient with the time written across it, kept as a BMP file
// beside the albums so that the item has a source to open.
int ManagerHost::Acquire(HWND dialog) {
  const int width = 480, height = 360;
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char clock[16];
  snprintf(clock, sizeof(clock), "%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);

  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = width;
  header.biHeight = height;  // bottom-up, as packed pictures keep their rows
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  header.biSizeImage = stride * height;
  void* bits = nullptr;
  gdi::ScopedBitmap surface(
      CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!surface || !bits) return 0;
  const int hue = (now.wSecond * 4 + acquiredCount_ * 50) % 256;
  for (int y = 0; y < height; ++y) {
    auto* row = static_cast<BYTE*>(bits) + static_cast<size_t>(y) * stride;
    for (int x = 0; x < width; ++x) {
      row[x * 3 + 0] = static_cast<BYTE>(60 + hue / 4 + 120 * y / height);  // blue
      row[x * 3 + 1] = static_cast<BYTE>(60 + 150 * x / width);            // green
      row[x * 3 + 2] = static_cast<BYTE>(200 - 150 * y / height);          // red
    }
  }
  {
    gdi::ScopedMemoryDC memory(nullptr);
    if (!memory) return 0;
    gdi::ScopedSelect selected(memory.dc(), surface.get());
    gdi::ScopedFont large(CreateFontA(-72, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial"));
    gdi::ScopedBkMode transparent(memory.dc(), TRANSPARENT);
    gdi::ScopedTextColor white(memory.dc(), RGB(255, 255, 255));
    RECT box{0, 0, width, height};
    {
      gdi::ScopedSelect font(memory.dc(), large.get());
      DrawTextA(memory.dc(), clock, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    RECT caption{0, height - 60, width, height - 20};
    DrawTextA(memory.dc(), "Acquired by the AlbumKit host", -1, &caption, DT_CENTER | DT_SINGLELINE);
    GdiFlush();
  }

  OwnedMem picture(ToviMemAlloc(TOVI_MOVABLE_ZERO, sizeof(header) + header.biSizeImage));
  {
    MemLock lock(picture.get());
    if (!lock) return 0;
    memcpy(lock.bytes(), &header, sizeof(header));
    memcpy(lock.as<BYTE>() + sizeof(header), bits, header.biSizeImage);
  }
  ++acquiredCount_;
  CreateDirectoryA(paths_.acquired.c_str(), nullptr);
  char path[MAX_PATH];
  snprintf(path, sizeof(path), "%s\\acquired-%02u%02u%02u-%d.bmp", paths_.acquired.c_str(), now.wHour, now.wMinute,
           now.wSecond, acquiredCount_);
  if (QilSaveFile(picture.get(), path, QIL_SAVE_BMP, 0) != QIL_OK) return 0;
  char description[64];
  snprintf(description, sizeof(description), "Acquired at %s", clock);
  return InsertFromDib(dialog, picture.get(), description, path);
}

void ManagerHost::Layout() {
  GetClientRect(window_, &rest_);
  for (HWND frame : frames_) {
    DockFrame* dock = DockFrame::FromWindow(frame);
    if (dock && !dock->going()) dock->PlaceDocked(&rest_);
  }
  InvalidateRect(window_, nullptr, TRUE);
}

void ManagerHost::OnPaint() {
  gdi::ScopedPaint paint(window_);
  if (!paint) return;
  RECT text = rest_;
  InflateRect(&text, -16, -16);
  if (text.right <= text.left || text.bottom <= text.top) return;
  gdi::ScopedBkMode transparent(paint.dc(), TRANSPARENT);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));  // stock: not deleted
  gdi::ScopedSelect selected(paint.dc(), font);
  std::string hint = "Album > Open Album Manager opens the albums of\n" + paths_.albums +
                     "\n\nDock > Left, Right, Top or Bottom docks the active manager here;\n"
                     "Float, or a double click on its caption, lets it go.\n"
                     "Double-click a picture in a manager to open it.";
  DrawTextA(paint.dc(), hint.c_str(), -1, &text, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
}

// Every manager is asked (its save question) before the window goes; one
// that refuses keeps the window open.
bool ManagerHost::CloseAll() {
  std::vector<HWND> frames = frames_;
  for (HWND frame : frames) {
    if (IsWindow(frame) && SendMessageA(frame, WM_CLOSE, 0, 0) != 0) return false;
  }
  return true;
}

void ManagerHost::OnInitMenu(HMENU menu) {
  DockFrame* active = ActiveFrame();
  const UINT state = active ? MF_ENABLED : MF_GRAYED;
  EnableMenuItem(menu, IDM_HOST_ACQUIRE, MF_BYCOMMAND | state);
  EnableMenuItem(menu, IDM_HOST_SEARCH, MF_BYCOMMAND | state);
  EnableMenuItem(menu, IDM_HOST_CLOSE_MANAGER, MF_BYCOMMAND | state);
  for (const auto& dock : kDockCommands) {
    EnableMenuItem(menu, dock.command, MF_BYCOMMAND | state);
    CheckMenuItem(menu, dock.command, MF_BYCOMMAND | (active && active->side() == dock.side ? MF_CHECKED : MF_UNCHECKED));
  }
}

void ManagerHost::OnCommand(UINT command) {
  DockFrame* active = ActiveFrame();
  switch (command) {
    case IDM_HOST_OPEN:
      // A null answer is a cancelled chooser as often as a failure: the
      // manager has said what went wrong when it could.
      OpenManager();
      return;
    case IDM_HOST_ACQUIRE:
      // The manager's own acquire button, so that it updates its lines.
      if (active) SendMessageA(active->dialog(), WM_COMMAND, kManagerAcquire, 0);
      return;
    case IDM_HOST_SEARCH:
      // The search runs over the manager's album folder, as its own button does.
      if (active) SendMessageA(active->dialog(), WM_COMMAND, kManagerSearch, 0);
      return;
    case IDM_HOST_CLOSE_MANAGER:
      if (active) SendMessageA(active->window(), WM_CLOSE, 0, 0);
      return;
    case IDM_HOST_EXIT:
      SendMessageA(window_, WM_CLOSE, 0, 0);
      return;
    case IDM_HOST_HELP:
      ShowHelp(window_, 0);
      return;
    default:
      break;
  }
  for (const auto& dock : kDockCommands) {
    if (dock.command == command && active) active->Dock(dock.side);
  }
}

LRESULT CALLBACK ManagerHost::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<ManagerHost*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<ManagerHost*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!self) return DefWindowProcA(window, message, wParam, lParam);
  return self->OnMessage(message, wParam, lParam);
}

LRESULT ManagerHost::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ACTIVATE:
      // Floating frames are owned by this window and belong above it. Wine
      // without a window manager raises the activated owner over them once
      // the activation is done: they are put back on top after it.
      if (LOWORD(wParam) != WA_INACTIVE) PostMessageA(window_, kRaiseFloating, 0, 0);
      break;
    case kRaiseFloating:
      for (HWND frame : frames_) {
        DockFrame* dock = DockFrame::FromWindow(frame);
        if (dock && dock->side() == DOCK_FLOAT && IsWindowVisible(frame)) {
          SetWindowPos(frame, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
          SetWindowPos(frame, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
      }
      return 0;
    case WM_INITMENUPOPUP:
      OnInitMenu(reinterpret_cast<HMENU>(wParam));
      return 0;
    case kScriptSearch:
      // The dialog manager shows a modal dialog once its queue is empty:
      // a timer, which comes only then, finds it on the screen.
      scriptedSearch_ = reinterpret_cast<HWND>(wParam);
      SetTimer(window_, kScriptSearch, 10, nullptr);
      return 0;
    case WM_TIMER:
      if (wParam == kScriptSearch && (!IsWindow(scriptedSearch_) || IsWindowVisible(scriptedSearch_))) {
        KillTimer(window_, kScriptSearch);
        if (IsWindow(scriptedSearch_)) ScriptSearch(scriptedSearch_, paths_);
      }
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_DOCKFRAMECHANGED: {
      HWND frame = reinterpret_cast<HWND>(wParam);
      if (lParam == 1) frames_.erase(std::remove(frames_.begin(), frames_.end(), frame), frames_.end());
      Layout();
      return 0;
    }
    case kOpenItem: {
      const char* path = reinterpret_cast<const char*>(wParam);
      HWND picture = path ? PictureWindow::Open(window_, path) : nullptr;
      if (picture) {
        lastPicture_ = picture;
      } else {
        const int error = QilGetLastError();
        std::string text = std::string("The picture could not be opened:\n") + (path ? path : "") +
                           "\n\nImage services error " + std::to_string(error) + ".";
        MessageBoxA(window_, text.c_str(), "AlbumKit host", MB_OK | MB_ICONEXCLAMATION);
      }
      return 0;
    }
    case WM_CLOSE:
      if (CloseAll()) DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
      if (interactive_) PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window_, message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// The scripted tour

// Answers the modal windows of the tour as a user would: the album chooser
// takes the album named here and OK, the save question Yes.
struct Answers {
  HHOOK hook = nullptr;
  std::deque<std::string> albums;  // the album to pick in each chooser, in turn
  std::string chooserTitle;  // what the chooser and the question said
  std::string question;
  std::deque<int> questionAnswers;  // the button for each save question, in turn
  std::vector<std::string> unexpected;  // any other box, answered with Cancel
  HWND searchDialog = nullptr;  // the search dialog the tour filled in
  std::string searchStatus;     // its status line after the search
  bool searchShot = false;
};
Answers g_answers;

LRESULT CALLBACK AnswerModal(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    char name[32] = "";
    GetClassNameA(box, name, sizeof(name));
    char text[300] = "";
    if (strcmp(name, "#32770") == 0) {
      HWND list = GetDlgItem(box, kChooserAlbumList);
      char listClass[32] = "";
      if (list) GetClassNameA(list, listClass, sizeof(listClass));
      if (lstrcmpiA(listClass, "ComboBox") == 0 && GetDlgItem(box, IDOK) &&
          !g_answers.albums.empty()) {
        GetWindowTextA(box, text, sizeof(text));
        g_answers.chooserTitle = text;
        LRESULT found = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(g_answers.albums.front().c_str()));
        if (found != CB_ERR) SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
        g_answers.albums.pop_front();
        PostMessageA(box, WM_COMMAND, IDOK, 0);
      } else if (GetDlgItem(box, IDYES) && !g_answers.questionAnswers.empty()) {
        GetDlgItemTextA(box, kMessageBoxText, text, sizeof(text));
        g_answers.question = text;
        PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(g_answers.questionAnswers.front()), 0);
        g_answers.questionAnswers.pop_front();
      } else if (GetDlgItem(box, kSearchFind)) {
        // Activated again after each box it shows: filled in only once.
        if (box != g_answers.searchDialog && g_host) {
          g_answers.searchDialog = box;
          PostMessageA(g_host->window(), kScriptSearch, reinterpret_cast<WPARAM>(box), 0);
        }
      } else if (!GetDlgItem(box, kManagerAlbumControl)) {
        // Not the manager dialog: an error or a dialog the tour did not
        // expect. It is closed, so that the tour ends, and it fails the tour.
        GetWindowTextA(box, text, sizeof(text));
        std::string what = text;
        if (GetDlgItemTextA(box, kMessageBoxText, text, sizeof(text))) what += std::string(": ") + text;
        g_answers.unexpected.push_back(what);
        PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
      }
    }
  }
  return CallNextHookEx(g_answers.hook, code, wParam, lParam);
}

// Lets every pending message and paint through, the windows' and their
// children's, so that a screenshot shows what the user would see.
void Settle(HWND window) {
  PumpPendingMessages();
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  PumpPendingMessages();
}

void Click(HWND dialog, int control) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, control)));
}

// Fills in the search dialog as a user would: pictures whose path holds
// "sun", in every album and in the picture folder with its subfolders; runs
// the search to its end, takes the screenshot and closes the dialog, whose
// question about the unsaved results the tour answers with No.
void ScriptSearch(HWND dialog, const ManagerHostPaths& paths) {
  SetDlgItemTextA(dialog, kSearchName, "sun");
  CheckDlgButton(dialog, kSearchInFolder, BST_CHECKED);
  Click(dialog, kSearchInFolder);
  SetDlgItemTextA(dialog, kSearchFolder, paths.pictures.c_str());
  CheckDlgButton(dialog, kSearchSubfolders, BST_CHECKED);
  Click(dialog, kSearchSubfolders);
  Click(dialog, kSearchFind);
  Settle(dialog);
  g_answers.searchShot = SaveWindowShot(dialog, paths.output + "\\search-dialog.bmp");
  char status[200] = "";
  GetDlgItemTextA(dialog, kSearchStatus, status, sizeof(status));
  g_answers.searchStatus = status;
  Click(dialog, kSearchClose);
}

void SendButton(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
}

// Lets messages through until done() holds or two seconds have passed.
template <typename Done>
bool PumpUntil(Done done) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > 2000) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    PumpPendingMessages();
  }
  return true;
}

// A drag with the mouse, as a user makes it: press on `from`, move to `to`
// in a few steps, release (screen coordinates). False when the window
// under `from` never took the mouse.
bool DragWithMouse(HWND window, POINT from, POINT to) {
  SetCursorPos(from.x, from.y);
  PumpPendingMessages();
  SendButton(MOUSEEVENTF_LEFTDOWN);
  const bool pressed = PumpUntil([window] { return GetCapture() == window; });
  for (int step = 1; step <= 4 && pressed; ++step) {
    SetCursorPos(from.x + (to.x - from.x) * step / 4, from.y + (to.y - from.y) * step / 4);
    PumpPendingMessages();
  }
  SendButton(MOUSEEVENTF_LEFTUP);
  PumpUntil([window] { return GetCapture() != window; });
  return pressed;
}

int ActiveItemCount() {
  int count = 0;
  char(*list)[260] = nullptr;
  if (!GetAcitveAlbumThumbnialList(count, list)) return -1;
  if (list) ToviMemFree(list);
  return count;
}

// The first thumbnail cell of a manager, on which a double click opens the
// item it shows.
HWND FirstCell(HWND dialog) {
  HWND control = GetDlgItem(dialog, kManagerAlbumControl);
  HWND first = nullptr;
  RECT best{};
  std::vector<HWND> pending{control};
  while (!pending.empty()) {
    HWND parent = pending.back();
    pending.pop_back();
    for (HWND child = parent ? GetWindow(parent, GW_CHILD) : nullptr; child; child = GetWindow(child, GW_HWNDNEXT)) {
      char name[32] = "";
      GetClassNameA(child, name, sizeof(name));
      if (strcmp(name, "ThumbViewClass") != 0) {
        pending.push_back(child);
        continue;
      }
      RECT r{};
      GetWindowRect(child, &r);
      if (!first || r.top < best.top || (r.top == best.top && r.left < best.left)) {
        first = child;
        best = r;
      }
    }
  }
  return first;
}

int AlbumFileCount(const std::string& path) {
  int count = 0;
  void** pictures = nullptr;
  tagALBUMINFOHEADER** infos = nullptr;
  if (LoadAlbum(path.c_str(), &count, &pictures, &infos) != 0) return -1;
  for (int i = 0; i < count; ++i) {
    ToviMemFree(pictures[i]);
    ToviMemFree(infos[i]);
  }
  ToviMemFree(pictures);
  ToviMemFree(infos);
  return count;
}

bool RunTour(ManagerHost& host, const ManagerHostPaths& paths) {
  const std::string album = "Summer trip";
  g_answers = Answers{};
  g_answers.albums = {album, "Keepsakes"};
  g_answers.questionAnswers = {IDNO, IDCANCEL, IDYES};
  g_answers.hook = SetWindowsHookExA(WH_CBT, AnswerModal, nullptr, GetCurrentThreadId());

  bool ok = true;
  HWND dialog = host.OpenManager();
  DockFrame* frame = ManagerHost::FrameOfManager(dialog);
  char name[MAX_PATH] = "";
  if (dialog) GetActiveAlbum(name, 3);
  printf("  the chooser \"%s\" was answered with \"%s\"; the manager opened \"%s\" with %d items: %s\n",
         g_answers.chooserTitle.c_str(), album.c_str(), name, ActiveItemCount(), dialog && frame ? "ok" : "failed");
  if (!dialog || !frame) {
    UnhookWindowsHookEx(g_answers.hook);
    return false;
  }

  Settle(frame->window());
  std::string shot = paths.output + "\\album-manager.bmp";
  bool saved = SaveWindowShot(frame->window(), shot);
  RECT r{};
  GetWindowRect(frame->window(), &r);
  printf("  floating, %ldx%ld: %s %s\n", r.right - r.left, r.bottom - r.top,
         saved ? "screenshot saved as" : "could not save", shot.c_str());
  ok = ok && saved;

  // A double click on the first thumbnail, as the mouse would send it.
  HWND cell = FirstCell(dialog);
  if (cell) {
    SendMessageA(cell, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    SendMessageA(cell, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    SendMessageA(cell, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 20));
    SendMessageA(cell, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
  }
  HWND picture = host.lastPicture();
  SIZE size = PictureWindow::PictureSize(picture);
  bool pictureShot = false;
  std::string pictureShotPath = paths.output + "\\picture-window.bmp";
  if (picture) {
    Settle(picture);
    pictureShot = SaveClientShot(picture, pictureShotPath);
  }
  char title[MAX_PATH] = "";
  if (picture) GetWindowTextA(picture, title, sizeof(title));
  printf("  double-clicked the first picture: the host opened \"%s\" in a picture window%s%s\n", title,
         pictureShot ? ", screenshot " : "", pictureShot ? pictureShotPath.c_str() : "");
  ok = ok && picture && size.cx > 0 && pictureShot;
  if (picture) DestroyWindow(picture);

  SendMessageA(host.window(), WM_COMMAND, IDM_HOST_DOCK_LEFT, 0);
  Settle(host.window());
  shot = paths.output + "\\album-manager-docked.bmp";
  saved = SaveClientShot(host.window(), shot);
  GetWindowRect(frame->window(), &r);
  const bool docked = frame->side() == DOCK_LEFT && !(GetWindowLongA(frame->window(), GWL_STYLE) & WS_POPUP);
  printf("  docked on the left, %ldx%ld: %s %s\n", r.right - r.left, r.bottom - r.top,
         saved ? "screenshot saved as" : "could not save", shot.c_str());
  ok = ok && saved && docked;

  // The other sides: each docked frame lies along its edge of the client area.
  RECT client{};
  GetClientRect(host.window(), &client);
  const struct {
    UINT command;
    const char* name;
  } sides[] = {{IDM_HOST_DOCK_RIGHT, "right"}, {IDM_HOST_DOCK_TOP, "top"}, {IDM_HOST_DOCK_BOTTOM, "bottom"}};
  std::string placed;
  bool alongEdges = true;
  for (const auto& side : sides) {
    SendMessageA(host.window(), WM_COMMAND, side.command, 0);
    Settle(host.window());
    GetWindowRect(frame->window(), &r);
    MapWindowPoints(nullptr, host.window(), reinterpret_cast<POINT*>(&r), 2);
    const bool along = side.command == IDM_HOST_DOCK_RIGHT    ? r.right == client.right && r.top == 0
                       : side.command == IDM_HOST_DOCK_TOP    ? r.top == 0 && r.left == 0
                                                              : r.bottom == client.bottom && r.left == 0;
    alongEdges = alongEdges && along;
    char line[96];
    snprintf(line, sizeof(line), "%s%s %ldx%ld at (%ld, %ld)", placed.empty() ? "" : "; ", side.name,
             r.right - r.left, r.bottom - r.top, r.left, r.top);
    placed += line;
  }
  printf("  docked %s: %s\n", placed.c_str(), alongEdges ? "ok" : "failed");
  ok = ok && alongEdges;

  // The move trigger's double click lets the manager float; a double click
  // on the floating caption docks it where it was.
  HWND trigger = FindWindowExA(dialog, nullptr, "TevrinTransplantationTrigger", nullptr);
  if (trigger) SendMessageA(trigger, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  Settle(frame->window());
  const bool floated = frame->side() == DOCK_FLOAT && (GetWindowLongA(frame->window(), GWL_STYLE) & WS_POPUP);
  GetWindowRect(frame->window(), &r);
  SendMessageA(frame->window(), WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
  Settle(host.window());
  const bool back = frame->side() == DOCK_BOTTOM;
  printf("  the move trigger's double click floated it (%ldx%ld): %s; a double click on its caption docked it at the bottom again: %s\n",
         r.right - r.left, r.bottom - r.top, trigger && floated ? "ok" : "failed", back ? "ok" : "failed");
  ok = ok && trigger && floated && back;

  // Dragged by its move trigger to the top of the window, with the mouse,
  // it docks along the top edge.
  trigger = FindWindowExA(dialog, nullptr, "TevrinTransplantationTrigger", nullptr);
  RECT grip{};
  if (trigger) GetWindowRect(trigger, &grip);
  GetClientRect(host.window(), &client);
  POINT to{client.right / 2, 12};
  ClientToScreen(host.window(), &to);
  const bool dragged = trigger && DragWithMouse(trigger, POINT{(grip.left + grip.right) / 2, (grip.top + grip.bottom) / 2}, to);
  Settle(host.window());
  GetWindowRect(frame->window(), &r);
  const bool atTop = frame->side() == DOCK_TOP;
  printf("  dragged by its move trigger to the top of the window: docked at the top, %ldx%ld: %s\n", r.right - r.left,
         r.bottom - r.top, dragged && atTop ? "ok" : "failed");
  ok = ok && dragged && atTop;
  SendMessageA(host.window(), WM_COMMAND, IDM_HOST_DOCK_BOTTOM, 0);
  Settle(host.window());

  const int before = ActiveItemCount();
  SendMessageA(host.window(), WM_COMMAND, IDM_HOST_ACQUIRE, 0);
  const int after = ActiveItemCount();
  printf("  acquired a picture through the manager's acquire button: %d items, then %d\n", before, after);
  ok = ok && after == before + 1;

  // The search, from the host's menu: "sun" is only in sunset.jpg, which
  // both travel albums and the picture folder hold; the results show a
  // picture once however often it is found.
  SendMessageA(host.window(), WM_COMMAND, IDM_HOST_SEARCH, 0);
  const bool searched = g_answers.searchDialog && !IsWindow(g_answers.searchDialog) && g_answers.searchShot &&
                        g_answers.searchStatus.find(": 1") != std::string::npos;
  printf("  searched the albums and %s for \"sun\": \"%s\"; %s %s\\search-dialog.bmp; closed without saving: %s\n",
         paths.pictures.c_str(), g_answers.searchStatus.c_str(),
         g_answers.searchShot ? "screenshot saved as" : "could not save", paths.output.c_str(),
         searched ? "ok" : "failed");
  ok = ok && searched;

  // A second manager, docked on the left above the first: the frames share
  // the client area in the order they docked.
  HWND second = host.OpenManager();
  DockFrame* secondFrame = ManagerHost::FrameOfManager(second);
  // The menu acts on the active manager, which the new one now is.
  SendMessageA(host.window(), WM_COMMAND, IDM_HOST_DOCK_LEFT, 0);
  Settle(host.window());
  char secondName[MAX_PATH] = "";
  if (second) GetActiveAlbum(secondName, 3);
  void* all = GetAllAlbum();
  int managers = 0;
  if (all) {
    {
      MemLock lock(all);
      if (lock) managers = *lock.as<int>();
    }
    ToviMemFree(all);
  }
  RECT bottom{}, left{};
  GetWindowRect(frame->window(), &bottom);
  if (secondFrame) GetWindowRect(secondFrame->window(), &left);
  const bool shared = secondFrame && secondFrame->side() == DOCK_LEFT && frame->side() == DOCK_BOTTOM &&
                      left.bottom <= bottom.top && left.right > left.left;
  printf("  a second manager on \"%s\", docked on the left above the first: %d managers open, %s\n", secondName,
         managers, shared && managers == 2 ? "ok" : "failed");
  ok = ok && shared && managers == 2;
  if (secondFrame) {
    HWND secondWindow = secondFrame->window();
    SendMessageA(secondWindow, WM_CLOSE, 0, 0);
    PumpPendingMessages();
    ok = ok && !IsWindow(second) && !IsWindow(secondWindow);
  }

  // The frame asks the manager before it closes: Cancel keeps both.
  HWND frameWindow = frame->window();
  const LRESULT refusedFirst = SendMessageA(frameWindow, WM_CLOSE, 0, 0);
  PumpPendingMessages();
  const bool kept = refusedFirst != 0 && IsWindow(dialog) && IsWindow(frameWindow) && IsWindowVisible(frameWindow);
  printf("  asked to close, the manager asked \"%s\", answered Cancel: %s\n", g_answers.question.c_str(),
         kept ? "still open" : "failed");
  ok = ok && kept;

  // Closed by the docked manager's own close button, which asks the frame.
  SendDlgItemMessageA(dialog, kManagerCloseButton, BM_CLICK, 0, 0);
  PumpPendingMessages();
  const bool refused = IsWindow(dialog);
  const std::string albumPath = paths.albums + "\\" + album + ".abm";
  const int stored = AlbumFileCount(albumPath);
  const bool closed = !refused && !IsWindow(dialog) && !IsWindow(frameWindow);
  printf("  closed with its close button, the question answered Yes: %s now holds %d items: %s\n", albumPath.c_str(),
         stored, closed && stored == after ? "ok" : "failed");
  ok = ok && closed && stored == after;

  UnhookWindowsHookEx(g_answers.hook);
  g_answers.hook = nullptr;
  for (const std::string& box : g_answers.unexpected) printf("  unexpected window, cancelled: %s\n", box.c_str());
  return ok && g_answers.unexpected.empty();
}

}  // namespace

bool RunManagerHost(const ManagerHostPaths& paths, bool interactive) {
  CreateDirectoryA(paths.user.c_str(), nullptr);
  InitCurUserPath(paths.user.c_str());
  SetDockFunction(DockCreate, DockQuery, DockRelease);
  SetAcquireFunction(AcquirePicture);
  SetAlbumHelpFunction(ShowHelp);

  ManagerHost host(paths, interactive);
  g_host = &host;
  HWND window = host.Create();
  if (!window) {
    g_host = nullptr;
    return false;
  }
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  UpdateWindow(window);

  bool ok = true;
  if (interactive) {
    printf("  the host window is open: its Album menu opens managers; close it to end\n");
    fflush(stdout);
    ACCEL accelerators[] = {{FCONTROL | FVIRTKEY, 'O', IDM_HOST_OPEN}, {FCONTROL | FVIRTKEY, 'F', IDM_HOST_SEARCH}};
    HACCEL keys = CreateAcceleratorTableA(accelerators, 2);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      if (IsWindow(window) && TranslateAcceleratorA(window, keys, &message)) continue;
      // The manager dialogs are children of their frames: their keyboard
      // interface runs through the dialog that holds the focus.
      HWND dialog = nullptr;
      for (HWND w = message.hwnd; w; w = GetParent(w)) {
        char name[32] = "";
        GetClassNameA(w, name, sizeof(name));
        if (strcmp(name, "#32770") == 0) {
          dialog = w;
          break;
        }
      }
      if (dialog && IsDialogMessageA(dialog, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    DestroyAcceleratorTable(keys);
  } else {
    ok = RunTour(host, paths);
    if (IsWindow(window)) SendMessageA(window, WM_CLOSE, 0, 0);
    PumpPendingMessages();
  }
  if (IsWindow(window)) DestroyWindow(window);
  g_host = nullptr;
  UnregisterClassA(kHostClass, GetModuleHandleA(nullptr));
  return ok;
}
