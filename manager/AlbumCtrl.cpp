// The album control window and the module-wide table of named view
// configurations.
#include "AlbumCtrl.h"

#include <string.h>

#include <new>

#include "manager/Module.h"
#include "manager/ToolbarLibrary.h"
#include "platform/Text.h"
#include "views/Album.h"
#include "views/DragWindow.h"
#include "views/ThumbListView.h"

namespace {

const char* const kClassNames[] = {"ManDlgAlbumCtrl", "OptionDlgAlbumCtrl", "WizDlgAlbumCtrl"};
enum { kManSlot = 0, kOptionSlot = 1 };

const int kBarThickness = 16;
// Docked, the view leaves this much of the bar visible at both ends: the
// bar's arrows.
const int kDockedArrow = 22;
const UINT_PTR kAutoScrollTimer = 1;
const UINT kAutoScrollPeriod = 300;

struct ConfigurationSlot {
  char name[256];  // empty: a free slot
  tagAlbumViewCreateInfo aci;
};
const int kSlotCount = 16;
ConfigurationSlot g_slots[kSlotCount];

// Set when a target in another album accepted the dragged items; the source
// reads it in its end step to know whether a move may remove them.
int g_dropAccepted = 0;

size_t NameLength(const char* name) { return BoundedLength(name, sizeof(g_slots[0].name)); }

tagAlbumViewCreateInfo BlankConfiguration() {
  tagAlbumViewCreateInfo aci;
  memset(&aci, 0, sizeof(aci));
  return aci;
}

tagAlbumViewCreateInfo ManagerConfiguration() {
  tagAlbumViewCreateInfo aci = BlankConfiguration();
  aci.avcScroll = 1;
  aci.avcSelect = 2;
  aci.avcStyle = 4;
  aci.avcLayout = 1;
  aci.avcCaption = 1;
  aci.avcBkMode = 2;
  aci.avcFont.lfHeight = -9;
  aci.avcFont.lfWeight = FW_NORMAL;
  aci.avcFont.lfOutPrecision = OUT_STROKE_PRECIS;
  aci.avcFont.lfClipPrecision = CLIP_STROKE_PRECIS;
  aci.avcFont.lfQuality = DRAFT_QUALITY;
  aci.avcFont.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
  SetLocaleFont(&aci.avcFont);
  aci.avcCellWidth = 88;
  aci.avcCellHeight = 107;
  return aci;
}

tagAlbumViewCreateInfo OptionConfiguration() {
  tagAlbumViewCreateInfo aci = BlankConfiguration();
  aci.avcScroll = 2;
  aci.avcSelect = 1;
  aci.avcStyle = 3;
  aci.avcLayout = 1;
  aci.avcCaption = 3;
  aci.avcBkMode = 2;
  return aci;
}

tagAlbumViewCreateInfo WizardConfiguration() {
  tagAlbumViewCreateInfo aci = BlankConfiguration();
  aci.avcRows = 2;
  aci.avcCols = 2;
  aci.avcHGap = 16;
  aci.avcVGap = 16;
  aci.avcScroll = 1;
  aci.avcSelect = 1;
  aci.avcStyle = 1;
  aci.avcLayout = 1;
  aci.avcCaption = 3;
  aci.avcBkMode = 1;
  return aci;
}

// The system's scroll bar procedure, which the control's bars call on.
WNDPROC g_scrollBarProc = nullptr;

// A drag over the control's scroll bar is a drag over the control: the bar
// is where the cursor rests to make the album scroll, and a drop on it is a
// drop on the control's free area.
LRESULT CALLBACK ScrollBarProc(HWND bar, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == AVM_DRAGNOTIFY) return SendMessageA(GetParent(bar), msg, wParam, lParam);
  return CallWindowProcA(g_scrollBarProc, bar, msg, wParam, lParam);
}

bool ControlKeyDown() { return GetKeyState(VK_CONTROL) < 0; }

int Clamp(long long value, int low, int high) {
  if (value < low) return low;
  if (value > high) return high;
  return static_cast<int>(value);
}

}  // namespace

// ---------------------------------------------------------------------------
// Named configurations

int RegisterMiniAlbum(const char* name, const tagAlbumViewCreateInfo* aci) {
  if (!name || !name[0] || !aci) return 0;
  // A name cut to fit would be found under a different name later.
  if (NameLength(name) >= sizeof(g_slots[0].name)) return 0;
  if (GetAlbumCtrlACI(nullptr, name) >= 0) return 0;
  for (ConfigurationSlot& slot : g_slots) {
    if (slot.name[0]) continue;
    CopyText(slot.name, name);
    memcpy(&slot.aci, aci, sizeof(slot.aci));
    return 1;
  }
  return 0;
}

int GetAlbumCtrlACI(tagAlbumViewCreateInfo* aci, const char* name) {
  if (!name || !name[0]) return -1;
  for (int i = 0; i < kSlotCount; ++i) {
    if (!g_slots[i].name[0]) break;  // slots fill in order
    if (strncmp(g_slots[i].name, name, sizeof(g_slots[i].name)) != 0) continue;
    if (aci) memcpy(aci, &g_slots[i].aci, sizeof(*aci));
    return i;
  }
  return -1;
}

// ---------------------------------------------------------------------------
// Registration

int CAlbumCtrl::Register(HINSTANCE instance) {
  RegisterViewClasses(instance);

  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = &CAlbumCtrl::WindowProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = sizeof(LONG);
  wc.hInstance = instance;
  wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszMenuName = nullptr;
  wc.hIconSm = nullptr;
  for (const char* name : kClassNames) {
    wc.lpszClassName = name;
    if (!RegisterClassExA(&wc)) return 0;
  }

  const tagAlbumViewCreateInfo configurations[] = {ManagerConfiguration(), OptionConfiguration(),
                                                   WizardConfiguration()};
  for (int i = 0; i < 3; ++i) {
    if (!RegisterMiniAlbum(kClassNames[i], &configurations[i])) return 0;
  }
  return 1;
}

void UnregisterAlbumCtrlClasses(HINSTANCE instance) {
  for (const char* name : kClassNames) UnregisterClassA(name, instance);
  UnregisterViewClasses(instance);
}

// ---------------------------------------------------------------------------
// Object and window

CAlbumCtrl::CAlbumCtrl()
    : m_hWnd(nullptr),
      m_bOwnedByWindow(0),
      m_hScroll(nullptr),
      m_pAlbum(nullptr),
      m_pDragData(nullptr),
      m_nDockMode(ALBUM_UNDOCKED),
      m_bAutoScroll(0),
      m_bShared(0) {}

CAlbumCtrl::CAlbumCtrl(HWND window) : CAlbumCtrl() {
  m_hWnd = window;
  m_bOwnedByWindow = 1;
}

CAlbumCtrl::CAlbumCtrl(const CAlbumCtrl& other)
    : m_hWnd(other.m_hWnd),
      m_bOwnedByWindow(other.m_bOwnedByWindow),
      m_hScroll(other.m_hScroll),
      m_pAlbum(other.m_pAlbum),
      m_pDragData(other.m_pDragData),
      m_nDockMode(other.m_nDockMode),
      m_bAutoScroll(other.m_bAutoScroll),
      m_bShared(1) {}

CAlbumCtrl& CAlbumCtrl::operator=(const CAlbumCtrl& other) {
  if (this == &other) return *this;
  ReleaseOwned();
  m_hWnd = other.m_hWnd;
  m_bOwnedByWindow = other.m_bOwnedByWindow;
  m_hScroll = other.m_hScroll;
  m_pAlbum = other.m_pAlbum;
  m_pDragData = other.m_pDragData;
  m_nDockMode = other.m_nDockMode;
  m_bAutoScroll = other.m_bAutoScroll;
  m_bShared = 1;
  return *this;
}

CAlbumCtrl::~CAlbumCtrl() { ReleaseOwned(); }

void CAlbumCtrl::ReleaseOwned() {
  if (m_bShared) return;
  if (m_hWnd && IsWindow(m_hWnd)) {
    StopAutoScroll();
    if (GetWindowLongPtrA(m_hWnd, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this)) {
      SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
    }
  }
  HWND view = ViewWindow();
  delete m_pAlbum;
  m_pAlbum = nullptr;
  // The list view leaves its window to its creator.
  if (view && IsWindow(view)) DestroyWindow(view);
  delete m_pDragData;
  m_pDragData = nullptr;
}

LONG_PTR CAlbumCtrl::CALbumCtrl(HWND parent, const char* name, RECT place) {
  if (m_hWnd && IsWindow(m_hWnd)) return 0;
  int slot = GetAlbumCtrlACI(nullptr, name);
  if (slot < 0) slot = 0;
  if (!g_slots[slot].name[0]) return 0;  // nothing registered yet
  m_bOwnedByWindow = 0;
  // "NULL" is the placeholder title: no album is loaded at creation.
  HWND window = CreateWindowExA(0, g_slots[slot].name, "NULL", WS_CHILD | WS_VISIBLE, place.left, place.top,
                                place.right, place.bottom, parent, nullptr, GetResourceModule(), this);
  return reinterpret_cast<LONG_PTR>(window);
}

CAlbum* CAlbumCtrl::GetAlbum() { return m_pAlbum; }

HWND CAlbumCtrl::ViewWindow() { return m_pAlbum ? m_pAlbum->GetViewWindow() : nullptr; }

LRESULT CALLBACK CAlbumCtrl::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  try {
    auto* ctrl = reinterpret_cast<CAlbumCtrl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_CREATE) {
      ctrl = static_cast<CAlbumCtrl*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
      if (!ctrl) {
        // Made from a dialog template: the window brings its own object.
        ctrl = new (std::nothrow) CAlbumCtrl(hwnd);
        if (!ctrl) return -1;
      }
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(ctrl));
    }
    if (!ctrl) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_DESTROY && ctrl->m_bOwnedByWindow) {
      long result = ctrl->CAlbumCtrlWndProc(hwnd, msg, wParam, lParam);
      delete ctrl;
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      return result;
    }
    if (msg == WM_NCDESTROY) {
      // The window went before its creator deleted the object.
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      if (ctrl->m_hWnd == hwnd) {
        ctrl->m_hWnd = nullptr;
        ctrl->m_hScroll = nullptr;
        ctrl->m_bAutoScroll = 0;
      }
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    return ctrl->CAlbumCtrlWndProc(hwnd, msg, wParam, lParam);
  } catch (...) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

long CAlbumCtrl::CAlbumCtrlWndProc(HWND hwnd, unsigned msg, unsigned wParam, long lParam) {
  switch (msg) {
    case WM_CREATE:
      m_hWnd = hwnd;
      OnInitCtrl(hwnd);
      break;
    case WM_DESTROY:
      StopAutoScroll();
      break;
    case WM_SIZE:
      OnSize(LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_SIZING:
      OnSizing(wParam, reinterpret_cast<RECT*>(lParam));
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
      DoKeydown(wParam, lParam);
      break;
    case WM_KEYUP:
      if (HWND view = ViewWindow()) SendMessageA(view, WM_KEYUP, wParam, lParam);
      break;
    case WM_LBUTTONDOWN:
    case AVM_ITEMLBUTTONDOWN:
      SetFocus(hwnd);
      break;
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (m_hScroll) {
        if (HWND view = ViewWindow()) {
          // The bar's range is 0 to 100: largest position in the low word.
          SendMessageA(view, msg == WM_HSCROLL ? AVM_HSCROLL : AVM_VSCROLL, wParam, MAKELPARAM(100, 0));
        }
        UpdateScrollBar();
      }
      break;
    case AVM_UPDATESCROLL:
      UpdateScrollBar();
      return 0;
    case AVM_ITEMDBLCLK: {
      auto* cell = reinterpret_cast<CThumbView2*>(lParam);
      CThumbnail2* item = IsOwnCell(cell) ? cell->GetThumbnail() : nullptr;
      if (item) OnDblClk(item->GetInfo()->aiPath);
      break;
    }
    case AVM_FOCUSCHANGED:
      NotifyParent(ACM_FOCUSCHANGED, reinterpret_cast<WPARAM>(hwnd), lParam);
      break;
    case AVM_ITEMDROP:
      OnItemDrop(reinterpret_cast<CThumbView2*>(wParam), reinterpret_cast<tagDRAGNOTIFY*>(lParam));
      break;
    case AVM_ITEMRBUTTONDOWN:
      NotifyParent(ACM_CONTEXTMENU, wParam, lParam);
      break;
    case WM_TIMER:
      if (wParam == kAutoScrollTimer) OnAutoScroll();
      break;
    case AVM_DRAGNOTIFY:
      OnDragNotify(reinterpret_cast<tagDRAGNOTIFY*>(lParam));
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void CAlbumCtrl::NotifyParent(UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND parent = m_hWnd ? GetParent(m_hWnd) : nullptr;
  if (parent) SendMessageA(parent, msg, wParam, lParam);
}

// Cell pointers arrive in messages: only the view's own cells are trusted.
bool CAlbumCtrl::IsOwnCell(CThumbView2* cell) {
  if (!cell || !m_pAlbum || !m_pAlbum->m_ppViews) return false;
  for (int i = 0; i < m_pAlbum->m_nViewCount; ++i) {
    if (m_pAlbum->m_ppViews[i] == cell) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Creation and layout

HWND CAlbumCtrl::CreateScrollBar(int x, int y, int width, int height, bool vertical) {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(m_hWnd, GWLP_HINSTANCE));
  // Docked, the view lies over the bar: the bar must not paint over it.
  DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | (vertical ? SBS_VERT : SBS_HORZ);
  HWND bar = CreateWindowExA(0, "SCROLLBAR", nullptr, style, x, y, width, height, m_hWnd, nullptr, instance, nullptr);
  if (!bar) return nullptr;
  WNDPROC previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(bar, GWLP_WNDPROC));
  if (!g_scrollBarProc) g_scrollBarProc = previous;
  if (previous == g_scrollBarProc) {
    SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ScrollBarProc));
  }
  SetScrollRange(bar, SB_CTL, 0, 100, FALSE);
  SetScrollPos(bar, SB_CTL, 0, FALSE);
  ShowWindow(bar, SW_SHOW);
  return bar;
}

int CAlbumCtrl::OnInitCtrl(HWND window) {
  if (!window || m_pAlbum) return 0;
  char className[256] = "";
  GetClassNameA(window, className, sizeof(className));
  tagAlbumViewCreateInfo aci;
  int slot = GetAlbumCtrlACI(&aci, className);
  if (slot < 0) return 0;
  m_hWnd = window;

  RECT client{};
  GetClientRect(window, &client);
  const int width = client.right;
  const int height = client.bottom;
  int viewWidth = width;
  int viewHeight = height;
  const bool vertical = aci.avcScroll == 1;
  if (m_hScroll) DestroyWindow(m_hScroll);
  if (vertical) {
    viewWidth = width > kBarThickness ? width - kBarThickness : 0;
    m_hScroll = CreateScrollBar(viewWidth, 0, kBarThickness, height, true);
  } else {
    viewHeight = height > kBarThickness ? height - kBarThickness : 0;
    m_hScroll = CreateScrollBar(0, viewHeight, width, kBarThickness, false);
  }

  // The manager's and the options' configurations take their grid from the
  // control's size, for every control of their class made afterwards too.
  if (slot == kManSlot || slot == kOptionSlot) {
    const int pitchX = aci.avcHGap + (slot == kManSlot ? 70 : 36);
    const int pitchY = aci.avcVGap + (slot == kManSlot ? 108 : 36);
    // A control too small for one cell still gets one: the options'
    // configuration has no cell size to grow a grid from later.
    aci.avcRows = pitchY > 0 && viewHeight / pitchY > 1 ? viewHeight / pitchY : 1;
    aci.avcCols = pitchX > 0 && viewWidth / pitchX > 1 ? viewWidth / pitchX : 1;
    g_slots[slot].aci.avcRows = aci.avcRows;
    g_slots[slot].aci.avcCols = aci.avcCols;
    viewWidth = aci.avcCols * pitchX;
    viewHeight = aci.avcRows * pitchY;
  }

  CAlbum* album = new (std::nothrow) CAlbum(window, RECT{0, 0, viewWidth, viewHeight}, aci);
  if (!album) return 0;
  if (!album->GetViewWindow()) {
    delete album;
    return 0;
  }
  m_pAlbum = album;

  char text[128] = "";
  GetWindowTextA(window, text, sizeof(text));
  if (text[0] && strcmp(text, "NULL") != 0) m_pAlbum->Load(text);
  return 1;
}

void CAlbumCtrl::OnSize(int width, int height) {
  HWND view = ViewWindow();
  if (!view) return;
  const UINT quiet = SWP_NOACTIVATE | SWP_NOREDRAW;
  switch (m_nDockMode) {
    case ALBUM_DOCKED_VERTICAL:
    case ALBUM_DOCKED_HORIZONTAL: {
      // The bar lies under the whole control; the view leaves its arrows free.
      // It takes the toolbar library's flat look (a bar that already has it
      // keeps it); without the library it stays a standard bar.
      if (m_hScroll) {
        SetWindowPos(m_hScroll, HWND_BOTTOM, 0, 0, width, height, quiet);
        if (GetToolbarLibrary().SubclassScroll) GetToolbarLibrary().SubclassScroll(m_hScroll, 1, 1);
      }
      const int inner = 2 * kDockedArrow;
      if (m_nDockMode == ALBUM_DOCKED_VERTICAL) {
        SetWindowPos(view, nullptr, 0, kDockedArrow, width, height > inner ? height - inner : 0, quiet | SWP_NOZORDER);
      } else {
        SetWindowPos(view, nullptr, kDockedArrow, 0, width > inner ? width - inner : 0, height, quiet | SWP_NOZORDER);
      }
      break;
    }
    default: {
      if (!m_hScroll) return;
      int x = 0, y = 0;
      if (m_pAlbum->GetACI()->avcScroll == 1) {
        x = width > kBarThickness ? width - kBarThickness : 0;
      } else {
        y = height > kBarThickness ? height - kBarThickness : 0;
      }
      SetWindowPos(m_hScroll, nullptr, x, y, width - x, height - y, quiet | SWP_NOZORDER);
      SetWindowPos(view, nullptr, 0, 0, x > 0 ? x : width, y > 0 ? y : height, quiet | SWP_NOZORDER);
      break;
    }
  }
  m_pAlbum->UpDataThumbListView(-1);
  RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CAlbumCtrl::OnSizing(unsigned edge, RECT* rect) {
  HWND view = ViewWindow();
  if (!view || !rect) return;
  int marginX = 0, marginY = 0;
  switch (m_nDockMode) {
    case ALBUM_DOCKED_VERTICAL:
      marginY = 2 * kDockedArrow;
      break;
    case ALBUM_DOCKED_HORIZONTAL:
      marginX = 2 * kDockedArrow;
      break;
    default:
      if (m_pAlbum->GetACI()->avcScroll == 1) {
        marginX = kBarThickness;
      } else {
        marginY = kBarThickness;
      }
      break;
  }
  RECT answer{0, 0, (rect->right - rect->left) - marginX, (rect->bottom - rect->top) - marginY};
  SendMessageA(view, WM_SIZING, edge, reinterpret_cast<LPARAM>(&answer));
  const int width = answer.right - answer.left;
  const int height = answer.bottom - answer.top;
  switch (edge) {
    case WMSZ_LEFT:
    case WMSZ_TOPLEFT:
    case WMSZ_BOTTOMLEFT:
      rect->left = rect->right - marginX - width;
      break;
    case WMSZ_RIGHT:
    case WMSZ_TOPRIGHT:
    case WMSZ_BOTTOMRIGHT:
      rect->right = rect->left + marginX + width;
      break;
  }
  switch (edge) {
    case WMSZ_TOP:
    case WMSZ_TOPLEFT:
    case WMSZ_TOPRIGHT:
      rect->top = rect->bottom - marginY - height;
      break;
    case WMSZ_BOTTOM:
    case WMSZ_BOTTOMLEFT:
    case WMSZ_BOTTOMRIGHT:
      rect->bottom = rect->top + marginY + height;
      break;
  }
}

void CAlbumCtrl::SetDock(int mode) {
  if (mode == m_nDockMode) return;
  if (mode < ALBUM_UNDOCKED || mode > ALBUM_DOCKED_HORIZONTAL) return;
  const bool wasDocked = m_nDockMode != ALBUM_UNDOCKED;
  if (m_hScroll && wasDocked && GetToolbarLibrary().DeSubclassScroll) GetToolbarLibrary().DeSubclassScroll(m_hScroll);
  if (m_hScroll) DestroyWindow(m_hScroll);
  m_hScroll = nullptr;
  const bool vertical = mode != ALBUM_DOCKED_HORIZONTAL;
  if (m_pAlbum) m_pAlbum->GetACI()->avcScroll = vertical ? 1 : 2;
  if (m_hWnd) m_hScroll = CreateScrollBar(0, 0, 100, 100, vertical);
  m_nDockMode = mode;
}

// The bar shows which line of the album is the first visible one, from 0
// at the top to 100 when the last line is at the bottom.
void CAlbumCtrl::UpdateScrollBar() {
  if (!m_hScroll || !m_pAlbum) return;
  const tagAlbumViewCreateInfo* aci = m_pAlbum->GetACI();
  const int perLine = aci->avcScroll == 1 ? aci->avcCols : aci->avcRows;
  const int visibleLines = aci->avcScroll == 1 ? aci->avcRows : aci->avcCols;
  const int count = m_pAlbum->GetThumbNailCount();
  int position = 0;
  if (perLine > 0 && count > 0) {
    const long long totalLines = (static_cast<long long>(count) + perLine - 1) / perLine;
    if (totalLines > visibleLines) {
      const int first = m_pAlbum->GetFirstViewNailID();
      // Lines above the first visible item, counted from 0; a first item
      // that is unknown (-1) reads as the top.
      const long long linesAbove = first >= 1 ? (static_cast<long long>(first) + perLine - 2) / perLine : 0;
      position = Clamp(linesAbove * 100 / (totalLines - visibleLines), 0, 100);
    }
  }
  SetScrollPos(m_hScroll, SB_CTL, position, TRUE);
}

// ---------------------------------------------------------------------------
// Keys and items

void CAlbumCtrl::DoKeydown(unsigned key, long flags) {
  HWND view = ViewWindow();
  if (!view) return;
  switch (key) {
    case VK_RETURN:
      NotifyParent(ACM_SENDSELECTED, reinterpret_cast<WPARAM>(this), 0);
      break;
    case VK_SHIFT:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_END:
    case VK_HOME:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
      SendMessageA(view, WM_KEYDOWN, key, flags);
      break;
    case VK_DELETE:
    case VK_DECIMAL:
      NotifyParent(ACM_DELETESELECTED, reinterpret_cast<WPARAM>(this), 0);
      break;
    case 'D':
      if (ControlKeyDown()) NotifyParent(ACM_DELETESELECTED, reinterpret_cast<WPARAM>(this), 0);
      break;
  }
}

LRESULT CAlbumCtrl::OnDblClk(char* path) {
  if (!m_pAlbum || !path) return 0;
  char full[MAX_PATH] = "";
  // An item whose file cannot be found is reported under its stored path.
  if (!m_pAlbum->GetDocument()->GetThumbnailFullPath(path, full) && !full[0]) CopyText(full, path);
  HWND parent = m_hWnd ? GetParent(m_hWnd) : nullptr;
  return parent ? SendMessageA(parent, ACM_OPENITEM, reinterpret_cast<WPARAM>(full), 0) : 0;
}

// ---------------------------------------------------------------------------
// Drag and drop

// Puts the items after the album's last item. Without a position the view
// inserts before its focused item, so the focus is set aside for the call.
void CAlbumCtrl::AppendItems(CAlbumDoc2* items) {
  CThumbnail2* focus = m_pAlbum->m_pFocus;
  m_pAlbum->m_pFocus = nullptr;
  m_pAlbum->InsertFromTable(items, nullptr);
  m_pAlbum->m_pFocus = focus;
}

void CAlbumCtrl::OnItemDrop(CThumbView2* target, tagDRAGNOTIFY* record) {
  if (!record) return;
  record->ddHandled = 1;
  if (!m_pAlbum || !IsOwnCell(target)) {
    record->ddEffect = DRAG_EFFECT_REFUSED;
    return;
  }
  CAlbumDoc2* data = record->ddKind == DRAG_KIND_ITEMS ? record->ddData : nullptr;
  CThumbnail2* targetItem = target->GetThumbnail();
  if (data && data != m_pDragData) {
    record->ddEffect = DRAG_EFFECT_ACCEPTED;
    g_dropAccepted = 1;
    // An empty cell lies after the last item: the items go to the end.
    if (targetItem) {
      m_pAlbum->InsertFromTable(data, targetItem);
    } else {
      AppendItems(data);
    }
    // The target cell takes a plain click, which selects and focuses what it shows now.
    for (HWND cell = GetWindow(ViewWindow(), GW_CHILD); cell; cell = GetWindow(cell, GW_HWNDNEXT)) {
      if (GetWindowLongPtrA(cell, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(target)) {
        SendMessageA(cell, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        break;
      }
    }
    NotifyParent(ACM_CONTENTSCHANGED, 0, 0);
    return;
  }
  // Within one album, one item dropped on another moves there.
  if (record->ddKeys == 0 && data && targetItem && data->GetCount() == 1 && m_pAlbum->DoExchange(target)) {
    NotifyParent(ACM_CONTENTSCHANGED, 0, 0);
  }
  record->ddEffect = DRAG_EFFECT_REFUSED;
}

void CAlbumCtrl::OnDragNotify(tagDRAGNOTIFY* record) {
  if (!record) return;
  record->ddHandled = 1;
  switch (record->ddAction) {
    case DRAG_BEGIN: {
      delete m_pDragData;
      m_pDragData = nullptr;
      g_dropAccepted = 0;
      int copies = 0;
      if (m_pAlbum) {
        m_pDragData = new (std::nothrow) CAlbumDoc2;
        if (m_pDragData) copies = m_pAlbum->GetDragData(m_pDragData);
      }
      record->ddBeginResult = copies;
      if (copies == 0) {
        delete m_pDragData;
        m_pDragData = nullptr;
        record->ddData = nullptr;
        CancelDrag();
        break;
      }
      record->ddData = m_pDragData;
      break;
    }
    case DRAG_END: {
      delete m_pDragData;
      m_pDragData = nullptr;
      if (record->ddEffect == DRAG_EFFECT_ACCEPTED && g_dropAccepted) {
        // Ctrl at the release or now makes a copy: the doubt keeps the items.
        const bool copy = GetAsyncKeyState(VK_CONTROL) < 0 || (record->ddKeys & MK_CONTROL);
        if (!copy && m_pAlbum && m_pAlbum->RemoveSelected(0)) NotifyParent(ACM_CONTENTSCHANGED, 0, 0);
      }
      g_dropAccepted = 0;
      SetCursor(LoadCursor(nullptr, IDC_ARROW));
      break;
    }
    case DRAG_QUERY:
      record->ddEffect =
          record->ddKind == DRAG_KIND_ITEMS && m_pAlbum ? DRAG_EFFECT_ACCEPTED : DRAG_EFFECT_REFUSED;
      break;
    case DRAG_DROP: {
      CAlbumDoc2* data = record->ddData;
      if (record->ddKind == DRAG_KIND_ITEMS && data && data != m_pDragData && m_pAlbum) {
        g_dropAccepted = 1;
        record->ddEffect = DRAG_EFFECT_ACCEPTED;
        AppendItems(data);
        NotifyParent(ACM_CONTENTSCHANGED, 0, 0);
      } else {
        record->ddEffect = DRAG_EFFECT_REFUSED;
      }
      break;
    }
    case DRAG_OVER:
      if (!m_bAutoScroll && m_hWnd && SetTimer(m_hWnd, kAutoScrollTimer, kAutoScrollPeriod, nullptr)) {
        m_bAutoScroll = 1;
      }
      break;
  }
}

void CAlbumCtrl::StopAutoScroll() {
  if (m_bAutoScroll && m_hWnd) KillTimer(m_hWnd, kAutoScrollTimer);
  m_bAutoScroll = 0;
}

// While a drag holds the mouse inside the control, a cursor above or below
// the view scrolls it by one line per tick.
void CAlbumCtrl::OnAutoScroll() {
  HWND view = ViewWindow();
  POINT cursor{};
  RECT viewRect{}, controlRect{};
  GetCursorPos(&cursor);
  if (view) GetWindowRect(view, &viewRect);
  GetWindowRect(m_hWnd, &controlRect);
  const bool inside = cursor.x >= controlRect.left && cursor.x <= controlRect.right &&
                      cursor.y >= controlRect.top && cursor.y <= controlRect.bottom;
  const bool button = GetAsyncKeyState(VK_LBUTTON) < 0 || GetAsyncKeyState(VK_RBUTTON) < 0;
  if (!view || !GetCapture() || !inside || !button) {
    StopAutoScroll();
    return;
  }
  if (cursor.y >= viewRect.bottom) {
    SendMessageA(m_hWnd, WM_VSCROLL, SB_LINEDOWN, 0);
  } else if (cursor.y < viewRect.top) {
    SendMessageA(m_hWnd, WM_VSCROLL, SB_LINEUP, 0);
  }
}
