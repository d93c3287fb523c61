// The painting-host window: four resource albums over sample resources
// drawn by the demo itself.
#include "PaintingHost.h"

#include <album.h>
#include <ResourceAlbums.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <functional>
#include <vector>

#include "WindowShot.h"
#include "platform/qil.h"
#include "views/Album.h"

namespace {

const char kWindowClass[] = "AlbumKitPaintingHost";
const int kCell = 48;
const int kColumns = 3;
const int kRows = 4;
const int kMargin = 12;
const int kTitle = 20;
// The view keeps a pitch of the cell size plus its gap across: these sizes
// give the control and its view the same grid.
const int kAlbumWidth = kColumns * (kCell + 2) + 1;
const int kAlbumHeight = kRows * kCell + 1;
const int kStatusHeight = 20;

struct Kind {
  const char* className;
  const char* title;
  const char* album;  // under folder\resources
};
const Kind kKinds[] = {{"BrushAlbumCtrl", "Brushes", "Brushes.abm"},
                       {"StampAlbumCtrl", "Stamps", "Stamps.abm"},
                       {"TextureAlbumCtrl", "Textures", "Textures.abm"},
                       {"ShapeAlbumCtrl", "Shapes", "Shapes.abm"}};

struct HostState {
  HWND albums[4] = {};
  HWND status = nullptr;
  HFONT font = nullptr;  // owned
  bool interactive = false;
};

// A 24-bit picture drawn pixel by pixel: shade(x, y) gives its colour.
bool WriteDrawnPicture(const std::string& path, int width, int height,
                       const std::function<COLORREF(double x, double y)>& shade) {
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  HTOVIMEM dib = ToviMemAlloc(TOVI_MOVABLE_ZERO, sizeof(BITMAPINFOHEADER) + stride * height);
  if (!dib) return false;
  auto* header = static_cast<BITMAPINFOHEADER*>(ToviMemLock(dib));
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biXPelsPerMeter = header->biYPelsPerMeter = 2835;
  auto* rows = reinterpret_cast<BYTE*>(header + 1);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // Coordinates from -1 to 1, y upwards.
      COLORREF c = shade(2.0 * (x + 0.5) / width - 1, 2.0 * (y + 0.5) / height - 1);
      BYTE* p = rows + y * stride + x * 3;
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
    }
  }
  ToviMemUnlock(dib);
  bool written = QilSaveFile(dib, path.c_str(), QIL_SAVE_BMP, 0) == 0;
  ToviMemFree(dib);
  return written;
}

COLORREF Grey(double tone) {
  int v = static_cast<int>(tone < 0 ? 0 : tone > 255 ? 255 : tone);
  return RGB(v, v, v);
}

// Brushes and stamps are drawn dark on white: the preparation keeps them grey.
COLORREF SoftRound(double x, double y) { return Grey(255 * fmin(1, sqrt(x * x + y * y))); }
COLORREF HardRound(double x, double y) { return Grey(x * x + y * y < 0.7 ? 20 : 255); }
COLORREF Bristles(double x, double y) {
  return Grey(fabs(y) < 0.8 && fmod(fabs(x * 7 + y * 1.5), 1.0) < 0.45 ? 40 : 250);
}
COLORREF Spray(double x, double y) {
  unsigned seed = static_cast<unsigned>((x + 1) * 977) * 7919u ^ static_cast<unsigned>((y + 1) * 613) * 104729u;
  return Grey(x * x + y * y < 0.9 && (seed % 7) == 0 ? 10 : 255);
}
COLORREF Star(double x, double y) {
  double angle = atan2(y, x), radius = sqrt(x * x + y * y);
  return Grey(radius < 0.45 + 0.45 * fabs(cos(2.5 * angle)) ? 30 : 255);
}
COLORREF Heart(double x, double y) {
  double a = x * x + y * y - 0.5;
  return Grey(a * a * a - x * x * y * y * y * 0.9 < 0 ? 60 : 255);
}
COLORREF Leaf(double x, double y) { return Grey(x * x / 0.9 + y * y / 0.25 < 1 && fabs(y) > 0.03 ? 50 : 245); }
COLORREF Feather(double x, double y) {
  return Grey(fabs(y - 0.2 * x * x) < 0.35 * (1 - fabs(x)) && fmod(fabs(x * 9), 1.0) < 0.7 ? 70 : 250);
}
COLORREF Bricks(double x, double y) {
  int row = static_cast<int>((y + 1) * 4);
  double shifted = (x + 1) * 3 + (row % 2) * 0.5;
  bool mortar = fmod((y + 1) * 4, 1.0) < 0.12 || fmod(shifted, 1.0) < 0.06;
  return mortar ? RGB(200, 195, 185) : RGB(150 + row * 8, 60, 40);
}
COLORREF Canvas(double x, double y) {
  int weave = (static_cast<int>((x + 1) * 20) + static_cast<int>((y + 1) * 20)) % 2;
  return RGB(225 - weave * 18, 215 - weave * 18, 190 - weave * 18);
}
COLORREF Water(double x, double y) {
  double wave = sin(x * 9 + sin(y * 5) * 2);
  return RGB(30 + static_cast<int>(wave * 20), 110 + static_cast<int>(wave * 30), 190 + static_cast<int>(wave * 25));
}
COLORREF Triangle(double x, double y) { return Grey(y > -0.8 && fabs(x) < (0.8 - y) * 0.55 && y < 0.8 ? 0 : 255); }
COLORREF Square(double x, double y) { return Grey(fabs(x) < 0.75 && fabs(y) < 0.75 ? 0 : 255); }
COLORREF Ring(double x, double y) {
  double r = x * x + y * y;
  return Grey(r < 0.8 && r > 0.35 ? 0 : 255);
}

struct Sample {
  int kind;  // index into kKinds
  const char* name;
  COLORREF (*shade)(double, double);
  int width, height;
};
const Sample kSamples[] = {
    {0, "demo-soft-round", SoftRound, 200, 200}, {0, "demo-hard-round", HardRound, 160, 160},
    {0, "demo-bristles", Bristles, 240, 120},    {0, "demo-spray", Spray, 200, 200},
    {1, "demo-star", Star, 300, 300},            {1, "demo-heart", Heart, 280, 260},
    {2, "demo-bricks", Bricks, 256, 256},        {2, "demo-canvas", Canvas, 200, 200},
    {2, "demo-water", Water, 300, 200},          {3, "demo-triangle", Triangle, 200, 200},
    {3, "demo-square", Square, 200, 200},        {3, "demo-ring", Ring, 200, 200},
};

CBrushAlbumCtrl* ObjectOf(HWND album) {
  return reinterpret_cast<CBrushAlbumCtrl*>(GetWindowLongPtrA(album, GWLP_USERDATA));
}

std::string HostFolder() {
  char program[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, program, sizeof(program));
  std::string path = program;
  return path.substr(0, path.rfind('\\') + 1);
}

// The path of to relative to the host folder, for the windows' texts: the
// album controls name their album relative to the host's folder.
std::string RelativeToHost(const std::string& to) {
  const std::string host = HostFolder();
  size_t common = 0;
  while (common < host.size() && common < to.size() && toupper(host[common]) == toupper(to[common])) ++common;
  common = host.rfind('\\', common == 0 ? 0 : common - 1) + 1;
  std::string relative;
  for (size_t i = common; i < host.size(); ++i) {
    if (host[i] == '\\') relative += "..\\";
  }
  return relative + to.substr(common);
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<HostState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_CREATE:
      SetWindowLongPtrA(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
      return 0;
    case AVM_ITEMBUTTONUP:
      // The resource picked: its full path, valid during this call only.
      if (state && state->status && lParam) {
        SetWindowTextA(state->status, (std::string("Picked: ") + reinterpret_cast<const char*>(lParam)).c_str());
      }
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (state && state->interactive) PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void PumpFor(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    PumpPendingMessages();
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= milliseconds) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
  }
}

// The add dialog, answered as a user would: go to the folder, then pick two
// files. Driven by a thread timer, which the dialog's own loop dispatches.
std::vector<std::string> g_typed;
size_t g_step = 0;

BOOL CALLBACK TakeDialog(HWND hwnd, LPARAM param) {
  char cls[16] = {};
  GetClassNameA(hwnd, cls, sizeof(cls));
  if (strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK AnswerAddDialog(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), TakeDialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog) return;
  HWND name = GetDlgItem(dialog, 0x47c);  // the file name box
  if (!name) name = GetDlgItem(dialog, 0x480);
  if (!name || g_step >= g_typed.size()) {
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  SetWindowTextA(name, g_typed[g_step++].c_str());
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

}  // namespace

PaintingHostResult RunPaintingHost(const std::string& folder, const std::string& shotPath, bool interactive) {
  PaintingHostResult result;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!CBrushAlbumCtrlRegister(instance, kCell, kCell)) return result;
  if (!RegisterDemoWindowClass(kWindowClass, HostProc)) return result;

  // Fresh sample resources on every run.
  const std::string resources = folder + "\\resources";
  const std::string pictures = resources + "\\pictures";
  CreateDirectoryA(resources.c_str(), nullptr);
  CreateDirectoryA(pictures.c_str(), nullptr);
  const char* storedFolders[] = {"brush", "stamps", nullptr, "Shapes"};
  for (const Kind& kind : kKinds) DeleteFileA((resources + "\\" + kind.album).c_str());
  for (const Sample& sample : kSamples) {
    if (storedFolders[sample.kind]) {
      DeleteFileA((HostFolder() + storedFolders[sample.kind] + "\\" + sample.name + ".bmp").c_str());
    }
  }
  for (const char* name : {"demo-leaf", "demo-feather"}) DeleteFileA((HostFolder() + "brush\\" + name + ".bmp").c_str());

  HostState state;
  state.interactive = interactive;
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  state.font = CreateFontIndirectA(&metrics.lfMessageFont);

  const int clientWidth = 5 * kMargin + 4 * kAlbumWidth;
  const int statusTop = kMargin + kTitle + kAlbumHeight + 8;
  RECT frame{0, 0, clientWidth, statusTop + kStatusHeight + kMargin - 4};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  HWND window = CreateWindowExA(0, kWindowClass, "AlbumKit demo - painting host", style, 60, 60,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, &state);
  if (!window) {
    if (state.font) DeleteObject(state.font);
    return result;
  }
  for (int i = 0; i < 4; ++i) {
    const int x = kMargin + i * (kAlbumWidth + kMargin);
    HWND title = CreateWindowExA(0, "STATIC", kKinds[i].title, WS_CHILD | WS_VISIBLE, x, kMargin, kAlbumWidth, kTitle,
                                 window, nullptr, instance, nullptr);
    if (title && state.font) SendMessageA(title, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
    const std::string album = RelativeToHost(resources + "\\" + kKinds[i].album);
    state.albums[i] = CreateWindowExA(WS_EX_CLIENTEDGE, kKinds[i].className, album.c_str(), WS_CHILD | WS_VISIBLE, x,
                                      kMargin + kTitle, kAlbumWidth + 4, kAlbumHeight + 4, window, nullptr, instance,
                                      nullptr);
  }
  state.status = CreateWindowExA(0, "STATIC", "Click a resource to pick it.", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP,
                                 kMargin, statusTop, clientWidth - 2 * kMargin, kStatusHeight, window, nullptr,
                                 instance, nullptr);
  if (state.status && state.font) SendMessageA(state.status, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);

  // The sample albums: each picture imported as a user's import would be,
  // then the album written to its file.
  bool made = true;
  for (const Sample& sample : kSamples) {
    const std::string path = pictures + "\\" + sample.name + ".bmp";
    CBrushAlbumCtrl* ctrl = ObjectOf(state.albums[sample.kind]);
    made = made && ctrl && WriteDrawnPicture(path, sample.width, sample.height, sample.shade) &&
           ctrl->ImportFile(path.c_str(), nullptr);
  }
  for (HWND album : state.albums) {
    CBrushAlbumCtrl* ctrl = ObjectOf(album);
    made = made && ctrl && ctrl->GetAlbum()->Save(ctrl->GetAlbum()->GetDocument()->GetPath());
  }
  made = made && WriteDrawnPicture(pictures + "\\demo-leaf.bmp", 300, 180, Leaf) &&
         WriteDrawnPicture(pictures + "\\demo-feather.bmp", 320, 160, Feather);
  result.shown = made;

  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  UpdateWindow(window);
  PumpFor(100);

  HWND brushes = state.albums[0];
  result.brushesBefore = GetBrushCount(brushes);
  g_typed = {pictures, "\"demo-leaf.bmp\" \"demo-feather.bmp\""};
  g_step = 0;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerAddDialog);
  AddItemToAbmCtrl(brushes);
  KillTimer(nullptr, timer);
  result.brushesAfter = GetBrushCount(brushes);

  // Pick the first imported brush as a click would.
  const int first = result.brushesBefore + 1;
  SetCurrentBrushSelection(brushes, first);
  CAlbum* album = ObjectOf(brushes)->GetAlbum();
  for (HWND cell = GetWindow(album->GetViewWindow(), GW_CHILD); cell; cell = GetWindow(cell, GW_HWNDNEXT)) {
    auto* view = reinterpret_cast<CThumbView2*>(GetWindowLongPtrA(cell, GWLP_USERDATA));
    if (!view || !view->GetThumbnail() || view->GetThumbnail()->GetID() != first) continue;
    SendMessageA(cell, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageA(cell, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  }
  char status[MAX_PATH + 16] = "";
  GetWindowTextA(state.status, status, sizeof(status));
  result.picked = status;

  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  PumpFor(100);
  result.shotSaved = SaveClientShot(window, shotPath);

  if (interactive) {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  } else {
    DestroyWindow(window);
  }
  if (state.font) DeleteObject(state.font);
  UnregisterClassA(kWindowClass, instance);
  return result;
}
