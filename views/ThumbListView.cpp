// The thumbnail list view window.
#include "ThumbListView.h"

#include <string.h>

#include <new>

#include "Album.h"
#include "DragWindow.h"
#include "components/resources/resource.h"
#include "manager/Module.h"
#include "platform/Text.h"

namespace {

const char kListClass[] = "CThumbListView2";

// The default per-process quota of window handles: a grid beyond it cannot
// be made, and trying would only stall the thread.
const long long kMaxCells = 10000;

// The configuration of a list view made from a dialog template.
tagAlbumViewCreateInfo DefaultConfiguration() {
  tagAlbumViewCreateInfo aci;
  memset(&aci, 0, sizeof(aci));
  aci.avcRows = 5;
  aci.avcCols = 5;
  aci.avcHGap = 16;
  aci.avcVGap = 16;
  aci.avcScroll = 2;
  aci.avcSelect = 2;
  aci.avcStyle = 3;
  aci.avcLayout = 1;
  aci.avcCaption = 1;
  aci.avcBkMode = 2;
  aci.avcFont.lfHeight = -15;
  aci.avcFont.lfWeight = FW_NORMAL;
  aci.avcFont.lfOutPrecision = OUT_STROKE_PRECIS;
  aci.avcFont.lfClipPrecision = CLIP_STROKE_PRECIS;
  aci.avcFont.lfQuality = DRAFT_QUALITY;
  aci.avcFont.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
  SetLocaleFont(&aci.avcFont);
  return aci;
}

// rows x columns, or 0 when either is not positive or the grid is too large.
int CellCount(const tagAlbumViewCreateInfo& aci) {
  long long count = static_cast<long long>(aci.avcRows) * aci.avcCols;
  if (aci.avcRows <= 0 || aci.avcCols <= 0 || count > kMaxCells) return 0;
  return static_cast<int>(count);
}

void ClientSize(HWND hwnd, int* width, int* height) {
  RECT client{};
  GetClientRect(hwnd, &client);
  *width = client.right - client.left;
  *height = client.bottom - client.top;
}

}  // namespace

void SetLocaleFont(LOGFONTA* font) {
  if (!font) return;
  char language[260] = "";
  GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE, language, sizeof(language));
  if (lstrcmpiA(language, "Japanese") == 0) {
    font->lfCharSet = 1;
    CopyText(font->lfFaceName, "MS UI Gothic");
    return;
  }
  CopyText(font->lfFaceName, "Arial");
  if (lstrcmpiA(language, "Chinese(Taiwan)") == 0) {
    font->lfCharSet = CHINESEBIG5_CHARSET;
  } else if (lstrcmpiA(language, "Chinese") == 0) {
    font->lfCharSet = GB2312_CHARSET;
  } else if (lstrcmpiA(language, "English") == 0) {
    font->lfCharSet = ANSI_CHARSET;
  }
}

int CThumbListViewRegister(HINSTANCE instance) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = &CThumbListView2::WindowProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = sizeof(LONG);
  wc.hInstance = instance;
  wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszMenuName = nullptr;
  wc.lpszClassName = kListClass;
  wc.hIconSm = nullptr;
  return RegisterClassExA(&wc) ? 1 : 0;
}

void RegisterViewClasses(HINSTANCE instance) {
  CThumbviewRegister(instance);
  CThumbListViewRegister(instance);
}

void UnregisterViewClasses(HINSTANCE instance) {
  UnregisterClassA(kListClass, instance);
  UnregisterClassA("ThumbViewClass", instance);
}

LRESULT CALLBACK CThumbListView2::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  try {
    auto* view = reinterpret_cast<CThumbListView2*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_CREATE) {
      view = static_cast<CThumbListView2*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
      if (!view) {
        // Made from a dialog template: the window brings its own album
        // view, which goes when the window goes.
        tagAlbumViewCreateInfo aci = DefaultConfiguration();
        view = new (std::nothrow) CAlbum(hwnd, aci);
        if (!view) return -1;
      }
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
    }
    if (!view) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_DESTROY && view->m_bSelfOwned) {
      long result = view->ThumbListWndProc(hwnd, msg, wParam, lParam);
      delete view;
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      return result;
    }
    if (msg == WM_NCDESTROY) {
      // The window went before its creator deleted the object.
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      if (view->m_hWnd == hwnd) view->m_hWnd = nullptr;
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    return view->ThumbListWndProc(hwnd, msg, wParam, lParam);
  } catch (...) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

CThumbListView2::CThumbListView2(HWND parent, RECT place, tagAlbumViewCreateInfo& aci)
    : m_hWnd(nullptr),
      m_bSelfOwned(0),
      m_nViewCount(0),
      m_ppViews(nullptr),
      m_bDragDrop(1),
      m_nBkColor(-1),
      m_bShared(0) {
  memcpy(&m_aci, &aci, sizeof(m_aci));
  HWND hwnd = CreateWindowExA(0, kListClass, nullptr, WS_CHILD | WS_VISIBLE, place.left, place.top,
                              place.right, place.bottom, parent, nullptr, GetResourceModule(), this);
  if (hwnd) {
    m_hWnd = hwnd;
    ShowWindow(hwnd, SW_SHOW);
  }
}

CThumbListView2::CThumbListView2(HWND existing, tagAlbumViewCreateInfo& aci)
    : m_hWnd(existing),
      m_bSelfOwned(1),
      m_nViewCount(0),
      m_ppViews(nullptr),
      m_bDragDrop(1),
      m_nBkColor(-1),
      m_bShared(0) {
  memcpy(&m_aci, &aci, sizeof(m_aci));
}

CThumbListView2::CThumbListView2(const CThumbListView2& other)
    : m_hWnd(other.m_hWnd),
      m_bSelfOwned(other.m_bSelfOwned),
      m_nViewCount(other.m_nViewCount),
      m_ppViews(other.m_ppViews),
      m_bDragDrop(other.m_bDragDrop),
      m_nBkColor(other.m_nBkColor),
      m_bShared(1) {
  memcpy(&m_aci, &other.m_aci, sizeof(m_aci));
}

CThumbListView2& CThumbListView2::operator=(const CThumbListView2& other) {
  if (this == &other) return *this;
  if (m_ppViews != other.m_ppViews || m_hWnd != other.m_hWnd) {
    // This view's own cells go now, and its window no longer reaches it.
    CThumbListView2::OnDestroy(WM_DESTROY, 0, 0);
    if (m_hWnd && m_hWnd != other.m_hWnd &&
        GetWindowLongPtrA(m_hWnd, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this)) {
      SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
    }
    m_bShared = 1;
  }
  m_hWnd = other.m_hWnd;
  m_bSelfOwned = other.m_bSelfOwned;
  m_nViewCount = other.m_nViewCount;
  m_ppViews = other.m_ppViews;
  memcpy(&m_aci, &other.m_aci, sizeof(m_aci));
  m_bDragDrop = other.m_bDragDrop;
  m_nBkColor = other.m_nBkColor;
  return *this;
}

CThumbListView2::~CThumbListView2() {
  OnDestroy(WM_DESTROY, 0, 0);
  if (m_hWnd && GetWindowLongPtrA(m_hWnd, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this)) {
    SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
  }
}

tagAlbumViewCreateInfo* CThumbListView2::GetACI() { return &m_aci; }

void CThumbListView2::SetThumbViewBkColor(int index) {
  m_nBkColor = index;
  if (!m_ppViews) return;
  for (int i = 0; i < m_nViewCount; ++i) {
    if (m_ppViews[i]) m_ppViews[i]->SetThumbViewBkColor(index);
  }
}

void CThumbListView2::SetDragDrop(int dragDrop) {
  m_bDragDrop = dragDrop;
  if (!m_ppViews) return;
  for (int i = 0; i < m_nViewCount; ++i) {
    if (m_ppViews[i]) m_ppViews[i]->SetDragDrop(dragDrop);
  }
}

// ---------------------------------------------------------------------------
// Messages

long CThumbListView2::ThumbListWndProc(HWND hwnd, unsigned msg, unsigned wParam, long lParam) {
  switch (msg) {
    case WM_CREATE:
      m_hWnd = hwnd;
      OnCreate(msg, wParam, lParam);
      break;
    case WM_SIZE:
      OnSize(msg, wParam, lParam);
      break;
    case WM_SIZING:
      OnSizing(msg, wParam, lParam);
      break;
    case WM_KEYDOWN:
      OnKeyDown(msg, wParam, lParam);
      break;
    case WM_KEYUP:
      OnKeyUp(msg, wParam, lParam);
      break;
    case WM_HSCROLL:
    case WM_VSCROLL:
      OnScroll(msg, wParam, lParam);
      return 0;
    case AVM_HSCROLL:
      OnScroll(WM_HSCROLL, wParam, lParam);
      return 0;
    case AVM_VSCROLL:
      OnScroll(WM_VSCROLL, wParam, lParam);
      return 0;
    case WM_MOUSEMOVE:
      if (m_bDragDrop && TestDragStart(hwnd, wParam, lParam)) {
        SetCursor(LoadCursorA(GetResourceModule(), MAKEINTRESOURCEA(IDC_DRAGCURSOR)));
      }
      break;
    case WM_LBUTTONDOWN:
      if (m_bDragDrop) ArmDrag(hwnd, wParam, lParam, DRAG_KIND_ITEMS);
      break;
    case AVM_ITEMDBLCLK:
    case AVM_ITEMLBUTTONDOWN:
    case AVM_ITEMBUTTONUP:
    case AVM_ITEMRBUTTONDOWN:
      OnMouse(msg, wParam, lParam);
      break;
    case AVM_ITEMDROP:
    case AVM_DRAGNOTIFY:
      if (m_bDragDrop) SendMessageA(GetParent(hwnd), msg, wParam, lParam);
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void CThumbListView2::OnMouse(unsigned msg, unsigned wParam, long lParam) {
  switch (msg) {
    case AVM_ITEMDBLCLK:
    case AVM_ITEMLBUTTONDOWN:
    case AVM_ITEMBUTTONUP:
    case AVM_ITEMRBUTTONDOWN:
      SendMessageA(GetParent(m_hWnd), msg, wParam, lParam);
      break;
  }
}

void CThumbListView2::OnScroll(unsigned, unsigned, long) {}

void CThumbListView2::OnKeyDown(unsigned, unsigned, long) {}

void CThumbListView2::OnKeyUp(unsigned, unsigned, long) {}

// ---------------------------------------------------------------------------
// Grid

void CThumbListView2::MakeCells(int count, int width, int height) {
  m_ppViews = new (std::nothrow) CThumbView2*[count];
  if (!m_ppViews) return;
  m_nViewCount = count;
  RECT place{100, 100, width, height};
  for (int i = 0; i < count; ++i) {
    // A cell that cannot be made stays a null entry, skipped everywhere.
    m_ppViews[i] = new (std::nothrow) CThumbView2(m_hWnd, place, m_aci);
  }
}

bool CThumbListView2::GetFirstCellSize(int* width, int* height) {
  if (!m_ppViews || m_nViewCount <= 0 || !m_ppViews[0] || !m_ppViews[0]->m_hWnd) return false;
  RECT cell;
  if (!GetWindowRect(m_ppViews[0]->m_hWnd, &cell)) return false;
  *width = cell.right - cell.left;
  *height = cell.bottom - cell.top;
  return true;
}

void CThumbListView2::OnCreate(unsigned, unsigned, long) {
  if (m_ppViews) OnDestroy(WM_DESTROY, 0, 0);
  m_nViewCount = 0;
  int width = 0, height = 0;
  ClientSize(m_hWnd, &width, &height);
  int cellWidth = m_aci.avcCols ? width / m_aci.avcCols - m_aci.avcHGap : 0;
  int cellHeight = m_aci.avcRows ? height / m_aci.avcRows - m_aci.avcVGap : 0;
  if (m_aci.avcBkMode == 1) {
    // The class background changes for every list view made afterwards.
    SetClassLongPtrA(m_hWnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(GetStockObject(NULL_BRUSH)));
  }
  InvalidateRect(m_hWnd, nullptr, TRUE);
  int count = CellCount(m_aci);
  if (count > 0) MakeCells(count, cellWidth, cellHeight);
}

void CThumbListView2::OnDestroy(unsigned, unsigned, long) {
  if (m_bShared) {
    // A copy lets go of the original's cells; cells it makes from now on
    // are its own.
    m_ppViews = nullptr;
    m_bShared = 0;
    return;
  }
  if (!m_ppViews) return;
  for (int i = 0; i < m_nViewCount; ++i) delete m_ppViews[i];
  delete[] m_ppViews;
  m_ppViews = nullptr;
}

int CThumbListView2::ResetLayout(tagAlbumViewCreateInfo aci) {
  memcpy(&m_aci, &aci, sizeof(m_aci));
  int width = 0, height = 0;
  ClientSize(m_hWnd, &width, &height);

  int cellWidth = 0, cellHeight = 0;
  bool recompute = !GetFirstCellSize(&cellWidth, &cellHeight) || m_aci.avcLayout == 2;
  if (!recompute) {
    int pitchX = cellWidth + m_aci.avcHGap;
    int pitchY = cellHeight + m_aci.avcVGap;
    // Cells that no longer tile the client area exactly are made again to fit it.
    recompute = pitchX <= 0 || pitchY <= 0 || width % pitchX + height % pitchY != 0;
  }
  if (recompute) {
    cellWidth = m_aci.avcCols ? width / m_aci.avcCols - m_aci.avcHGap : 0;
    cellHeight = m_aci.avcRows ? height / m_aci.avcRows - m_aci.avcVGap : 0;
  }

  OnDestroy(WM_DESTROY, 0, 0);
  m_nViewCount = 0;
  int count = CellCount(m_aci);
  if (count == 0) return 0;

  MakeCells(count, cellWidth, cellHeight);
  if (!m_ppViews) return 0;
  for (int i = 0; i < m_nViewCount; ++i) {
    if (!m_ppViews[i]) continue;
    m_ppViews[i]->SetDragDrop(m_bDragDrop);
    if (m_nBkColor >= 0) m_ppViews[i]->SetThumbViewBkColor(m_nBkColor);
  }

  int y = m_aci.avcVGap / 2;
  for (int row = 0; row < m_aci.avcRows; ++row) {
    int x = m_aci.avcHGap / 2;
    for (int column = 0; column < m_aci.avcCols; ++column) {
      CThumbView2* cell = m_ppViews[row * m_aci.avcCols + column];
      if (cell && cell->m_hWnd) {
        SetWindowPos(cell->m_hWnd, nullptr, x, y, 0, 0,
                     SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOZORDER | SWP_NOACTIVATE);
      }
      x += cellWidth + m_aci.avcHGap;
    }
    y += cellHeight + m_aci.avcVGap;
  }
  return m_nViewCount;
}

// ---------------------------------------------------------------------------
// Sizing

void CThumbListView2::OnSize(unsigned, unsigned, long lParam) {
  if (m_aci.avcLayout == 1) {
    unsigned width = LOWORD(lParam);
    unsigned height = HIWORD(lParam);
    int pitchX = m_aci.avcCellWidth + m_aci.avcHGap;
    int pitchY = m_aci.avcCellHeight + m_aci.avcVGap;
    // A configuration without a cell size keeps its grid: its gaps alone are
    // no pitch (a 300-pixel control would get seventeen 16-pixel columns).
    if (m_aci.avcCellWidth > 0 && pitchX > 0) m_aci.avcCols = static_cast<int>(width / static_cast<unsigned>(pitchX));
    if (m_aci.avcCellHeight > 0 && pitchY > 0) m_aci.avcRows = static_cast<int>(height / static_cast<unsigned>(pitchY));
  }
  ResetLayout(m_aci);
  SendMessageA(GetParent(m_hWnd), AVM_UPDATESCROLL, reinterpret_cast<WPARAM>(m_hWnd), 0);
}

void CThumbListView2::OnSizing(unsigned, unsigned wParam, long lParam) {
  auto* rect = reinterpret_cast<RECT*>(lParam);
  if (!rect) return;
  RECT window{}, client{};
  GetWindowRect(m_hWnd, &window);
  GetClientRect(m_hWnd, &client);
  int frameWidth = (window.right - window.left) - client.right;
  int frameHeight = (window.bottom - window.top) - client.bottom;
  int width = rect->right - rect->left;
  int height = rect->bottom - rect->top;

  bool left = wParam == WMSZ_LEFT || wParam == WMSZ_TOPLEFT || wParam == WMSZ_BOTTOMLEFT;
  bool right = wParam == WMSZ_RIGHT || wParam == WMSZ_TOPRIGHT || wParam == WMSZ_BOTTOMRIGHT;
  bool top = wParam == WMSZ_TOP || wParam == WMSZ_TOPLEFT || wParam == WMSZ_TOPRIGHT;
  bool bottom = wParam == WMSZ_BOTTOM || wParam == WMSZ_BOTTOMLEFT || wParam == WMSZ_BOTTOMRIGHT;

  if (m_aci.avcLayout == 1) {
    int cellWidth = m_aci.avcCellWidth, cellHeight = m_aci.avcCellHeight;
    // Before the first cells exist, the configured cell size is the pitch.
    GetFirstCellSize(&cellWidth, &cellHeight);
    int pitchX = cellWidth + m_aci.avcHGap;
    int pitchY = cellHeight + m_aci.avcVGap;
    // Without a pitch there is no grid to snap to along that direction.
    if (pitchX > 0) {
      int columns = static_cast<int>((width + 0.01 - frameWidth) + 0.5) / pitchX;
      if (columns < 1) columns = 1;
      int target = columns * pitchX + frameWidth;
      if (left) rect->left = rect->right - target;
      if (right) rect->right = rect->left + target;
    }
    if (pitchY > 0) {
      int rows = static_cast<int>((height + 0.01 - frameHeight) + 0.5) / pitchY;
      if (rows < 1) rows = 1;
      int target = rows * pitchY + frameHeight;
      if (top) rect->top = rect->bottom - target;
      if (bottom) rect->bottom = rect->top + target;
    }
    return;
  }

  int minimumWidth = (m_aci.avcHGap + 16) * m_aci.avcCols + frameWidth;
  if (width < minimumWidth) {
    if (left) rect->left = rect->right - minimumWidth;
    if (right) rect->right = rect->left + minimumWidth;
  }
  int minimumHeight = (m_aci.avcVGap + 16) * m_aci.avcRows + frameHeight;
  if (height < minimumHeight) {
    if (top) rect->top = rect->bottom - minimumHeight;
    if (bottom) rect->bottom = rect->top + minimumHeight;
  }
}

int CThumbListView2::AdjustWindowSize(int& width, int& height) {
  RECT proposed{0, 0, width, height};
  SendMessageA(m_hWnd, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&proposed));
  width = proposed.right - proposed.left;
  height = proposed.bottom - proposed.top;
  if (width < 0) width = -width;
  if (height < 0) height = -height;
  return 1;
}
