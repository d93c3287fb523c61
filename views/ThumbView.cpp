// The thumbnail cell window.
#include "ThumbView.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "DragWindow.h"
#include "components/resources/resource.h"
#include "manager/Module.h"
#include "platform/Gdi.h"
#include "platform/Memory.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/pixamo.h"
#include "platform/qil.h"

namespace {

const char kCellClass[] = "ThumbViewClass";
const int kMinimumCellSize = 16;
const int kClassIcon = 32513;

const COLORREF kCaptionHighlight = RGB(0, 0, 255);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kGrey = RGB(128, 128, 128);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kCardMark = RGB(0x33, 0, 0xFF);

// Captions are file names, not menu texts: an "&" is a letter.
const UINT kCaptionFormat = DT_CENTER | DT_NOPREFIX;

void DrawLines(HDC dc, std::initializer_list<POINT> points) {
  Polyline(dc, points.begin(), static_cast<int>(points.size()));
}

// A closed outline through four corners, drawn with the current pen.
void Outline(HDC dc, int left, int top, int right, int bottom) {
  DrawLines(dc, {{left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}});
}

int TextWidth(HDC dc, const char* text, size_t length) {
  SIZE size{};
  GetTextExtentPoint32A(dc, text, static_cast<int>(length), &size);
  return size.cx;
}

int TextHeight(HDC dc, const char* text) {
  SIZE size{};
  GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &size);
  if (size.cy == 0) {
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    size.cy = metrics.tmHeight;
  }
  return size.cy;
}

// Width and height of a packed DIB's picture; false when it cannot be read.
bool ReadPictureSize(void* picture, int* width, int* height) {
  if (!picture) return false;
  MemLock lock(picture);
  if (!lock || ToviMemSize(picture) < sizeof(BITMAPINFOHEADER)) return false;
  const BITMAPINFOHEADER* header = lock.as<BITMAPINFOHEADER>();
  *width = header->biWidth;
  *height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
  return *width > 0 && *height > 0;
}

// The stock brush a background index names, or null. Only brushes: a stock
// pen or font index would change the outline instead of filling.
HGDIOBJ FillBrush(int index) {
  if (index < 0) return nullptr;
  HGDIOBJ fill = GetStockObject(index);
  return fill && GetObjectType(fill) == OBJ_BRUSH ? fill : nullptr;
}

// Centres a width x height picture in area; offsets that would be negative
// are 0 and the picture is then cut to the area.
RECT CentrePicture(const RECT& area, int width, int height) {
  int dx = (area.right - area.left - width) / 2;
  int dy = (area.bottom - area.top - height) / 2;
  if (dx < 0) dx = 0;
  if (dy < 0) dy = 0;
  RECT placed;
  placed.left = area.left + dx;
  placed.top = area.top + dy;
  placed.right = placed.left + width < area.right - dx ? placed.left + width : area.right - dx;
  placed.bottom = placed.top + height < area.bottom - dy ? placed.top + height : area.bottom - dy;
  return placed;
}

// The classic caption's name line: the whole name when it fits in room,
// else the longest base prefix that fits with the extension part, its last
// letter replaced by "~". The extension part is the last four characters.
std::string ShortenClassicName(HDC dc, const char* name, int room) {
  size_t length = strlen(name);
  size_t extLength = length < 4 ? length : 4;
  size_t baseLength = length - extLength;
  const char* ext = name + baseLength;
  int extWidth = TextWidth(dc, ext, extLength);
  size_t k = baseLength;
  while (k > 1 && TextWidth(dc, name, k) + extWidth > room) --k;
  if (k == baseLength) return name;
  std::string shown(name, k - 1);
  shown += '~';
  shown += ext;
  return shown;
}

// The framed card caption's base name: whole when prefix, base and extension
// fit in room; otherwise cut to the length k that fits, keeping the base's
// last three characters (the "~1" tail of a short name) after its first k - 3.
std::string ShortenCardBase(HDC dc, const std::string& prefix, const std::string& base,
                            const std::string& ext, int room) {
  int fixedWidth = TextWidth(dc, prefix.c_str(), prefix.size()) + TextWidth(dc, ext.c_str(), ext.size());
  size_t n = base.size();
  size_t k = n;
  while (k > 1 && fixedWidth + TextWidth(dc, base.c_str(), k) > room) --k;
  if (k == n) return base;
  if (k < 3) return base.substr(0, k);
  return base.substr(0, k - 3) + base.substr(n - 3);
}

}  // namespace

// ---------------------------------------------------------------------------

int CThumbviewRegister(HINSTANCE instance) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = &CThumbView2::WindowProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = sizeof(LONG);
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kClassIcon));
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszMenuName = nullptr;
  wc.lpszClassName = kCellClass;
  wc.hIconSm = nullptr;
  return RegisterClassExA(&wc) ? 1 : 0;
}

LRESULT CALLBACK CThumbView2::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  try {
    if (msg == WM_CREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
      auto* cell = static_cast<CThumbView2*>(create->lpCreateParams);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cell));
      // Messages sent while the window is being made already need it.
      if (cell) cell->m_hWnd = hwnd;
      return 0;
    }
    auto* cell = reinterpret_cast<CThumbView2*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!cell) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
      // The window may go before the object (with its parent): the object
      // must not close it again. The tooltip belongs to the top-level
      // window, not to the cell, so it would outlive the cell: close it now.
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      if (cell->m_hWnd == hwnd) {
        if (cell->m_hTipWnd) DestroyWindow(cell->m_hTipWnd);
        cell->m_hWnd = nullptr;
        cell->m_hTipWnd = nullptr;
        cell->m_bCapture = 0;
      }
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    return cell->CThumbnailWndProc(hwnd, msg, wParam, lParam);
  } catch (...) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

CThumbView2::CThumbView2(HWND parent, RECT place, tagAlbumViewCreateInfo& aci)
    : m_hWnd(nullptr),
      m_pThumbnail(nullptr),
      m_rcPicture{0, 0, 0, 0},
      m_bDragDrop(1),
      m_nBkColor(-1),
      m_hTipWnd(nullptr),
      m_bCapture(0),
      m_hDisplayDib(nullptr),
      m_hDisplaySource(nullptr),
      m_pDisplayItem(nullptr),
      m_sizeDisplayBox{0, 0},
      m_bShared(0) {
  memcpy(&m_aci, &aci, sizeof(m_aci));
  int width = place.right < kMinimumCellSize ? kMinimumCellSize : place.right;
  int height = place.bottom < kMinimumCellSize ? kMinimumCellSize : place.bottom;
  m_hWnd = CreateWindowExA(0, kCellClass, "NULL", WS_CHILD | WS_VISIBLE, place.left, place.top, width,
                           height, parent, nullptr, GetResourceModule(), this);
  if (!m_hWnd) return;
  ShowWindow(m_hWnd, SW_SHOW);
  if (m_aci.avcToolTip) DoCreateTipWnd();
}

CThumbView2::CThumbView2(const CThumbView2& other)
    : m_hWnd(other.m_hWnd),
      m_pThumbnail(other.m_pThumbnail),
      m_rcPicture(other.m_rcPicture),
      m_bDragDrop(other.m_bDragDrop),
      m_nBkColor(other.m_nBkColor),
      m_hTipWnd(other.m_hTipWnd),
      m_bCapture(other.m_bCapture),
      m_hDisplayDib(nullptr),
      m_hDisplaySource(nullptr),
      m_pDisplayItem(nullptr),
      m_sizeDisplayBox{0, 0},
      m_bShared(1) {
  memcpy(&m_aci, &other.m_aci, sizeof(m_aci));
}

CThumbView2& CThumbView2::operator=(const CThumbView2& other) {
  if (this == &other) return *this;
  DropDisplayCopy();
  if (m_hWnd != other.m_hWnd) {
    // This cell's own window and tooltip go now; the ones taken over stay
    // the other cell's.
    ReleaseWindows();
    m_bShared = 1;
  }
  m_hWnd = other.m_hWnd;
  m_pThumbnail = other.m_pThumbnail;
  memcpy(&m_aci, &other.m_aci, sizeof(m_aci));
  m_rcPicture = other.m_rcPicture;
  m_bDragDrop = other.m_bDragDrop;
  m_nBkColor = other.m_nBkColor;
  m_hTipWnd = other.m_hTipWnd;
  m_bCapture = other.m_bCapture;
  return *this;
}

CThumbView2::~CThumbView2() {
  ReleaseWindows();
  DropDisplayCopy();
}

void CThumbView2::ReleaseWindows() {
  if (!m_bShared) {
    if (m_hTipWnd) DestroyWindow(m_hTipWnd);
    if (m_hWnd) SendMessageA(m_hWnd, WM_CLOSE, 0, 0);
  }
  m_hTipWnd = nullptr;
  m_hWnd = nullptr;
}

int CThumbView2::Attach(CThumbnail2* item) {
  m_pThumbnail = item;
  if (item != m_pDisplayItem) DropDisplayCopy();
  if (!m_hWnd) return 0;
  InvalidateRect(m_hWnd, nullptr, TRUE);
  if (m_hTipWnd) SendMessageA(m_hTipWnd, TTM_ACTIVATE, item ? 1 : 0, 0);
  return UpdateWindow(m_hWnd) ? 1 : 0;
}

CThumbnail2* CThumbView2::GetThumbnail() { return m_pThumbnail; }

void CThumbView2::SetDragDrop(int dragDrop) { m_bDragDrop = dragDrop; }

int CThumbView2::SetThumbViewBkColor(int index) {
  int previous = m_nBkColor;
  m_nBkColor = index;
  // A fill covers the whole cell, so no erase is needed; without one the
  // class background must wipe out the previous fill.
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, FillBrush(index) ? FALSE : TRUE);
  return previous;
}

void CThumbView2::SetSelect(int select) {
  if (!m_pThumbnail) return;
  m_pThumbnail->SetSelect(select);
  InvalidateView();
}

int CThumbView2::IsSelect() { return m_pThumbnail ? m_pThumbnail->IsSelect() : 0; }

void CThumbView2::InvalidateView() {
  if (!m_hWnd) return;
  RECT client;
  GetClientRect(m_hWnd, &client);
  const RECT& p = m_rcPicture;
  const RECT bands[] = {
      {0, 0, client.right, p.top + 2},
      {0, 0, p.left + 2, p.bottom - 2},
      {p.right - 2, 0, client.right, p.bottom - 2},
      {0, p.bottom - 2, client.right, client.bottom},
  };
  for (const RECT& band : bands) InvalidateRect(m_hWnd, &band, TRUE);
}

// ---------------------------------------------------------------------------
// Messages

long CThumbView2::CThumbnailWndProc(HWND hwnd, unsigned msg, unsigned wParam, long lParam) {
  switch (msg) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_NOTIFY:
      SetTip(msg, wParam, lParam);
      break;
    case WM_MOUSEMOVE:
      if (m_bDragDrop && TestDragStart(hwnd, wParam, lParam)) {
        SetCursor(LoadCursorA(GetResourceModule(), MAKEINTRESOURCEA(IDC_DRAGCURSOR)));
      }
      OnMouse(msg, wParam, lParam);
      break;
    case WM_LBUTTONDOWN:
      if (m_bDragDrop) ArmDrag(hwnd, wParam, lParam, DRAG_KIND_ITEMS);
      OnMouse(msg, wParam, lParam);
      break;
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case AVM_ITEMLBUTTONDOWN:
      OnMouse(msg, wParam, lParam);
      break;
    case WM_CAPTURECHANGED:
      // Someone else took the mouse (a message box, the drag window): the
      // next release must not give away a capture that is no longer ours.
      if (reinterpret_cast<HWND>(lParam) != hwnd) m_bCapture = 0;
      break;
    case AVM_DRAGNOTIFY:
      if (m_bDragDrop) OnDragNotify(wParam, lParam);
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void CThumbView2::OnMouse(unsigned msg, unsigned wParam, long lParam) {
  SetTip(msg, wParam, lParam);
  UINT report = 0;
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      // With drag and drop the drag window takes the mouse when a drag starts.
      if (!m_bDragDrop && !m_bCapture) {
        SetCapture(m_hWnd);
        m_bCapture = 1;
      }
      report = msg == WM_LBUTTONDOWN ? AVM_ITEMLBUTTONDOWN : AVM_ITEMRBUTTONDOWN;
      break;
    case AVM_ITEMLBUTTONDOWN:
      report = AVM_ITEMLBUTTONDOWN;
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      if (m_bCapture && GetCapture() == m_hWnd && ReleaseCapture()) m_bCapture = 0;
      report = AVM_ITEMBUTTONUP;
      break;
    case WM_LBUTTONDBLCLK:
      report = AVM_ITEMDBLCLK;
      break;
    default:
      return;
  }
  SendMessageA(GetParent(m_hWnd), report, wParam, reinterpret_cast<LPARAM>(this));
}

void CThumbView2::OnDragNotify(unsigned wParam, long lParam) {
  auto* record = reinterpret_cast<tagDRAGNOTIFY*>(lParam);
  if (!record) return;
  record->ddHandled = 1;
  switch (record->ddAction) {
    case DRAG_DROP:
      if (m_pThumbnail) {
        InvalidateRect(m_hWnd, nullptr, TRUE);
        UpdateWindow(m_hWnd);
      }
      SendMessageA(GetParent(m_hWnd), AVM_ITEMDROP, reinterpret_cast<WPARAM>(this), lParam);
      break;
    case DRAG_OVER:
      if (m_pThumbnail && m_aci.avcStyle == 4 && record->ddKind == DRAG_KIND_ITEMS) {
        DrawHoverMark();
        record->ddEffect = DRAG_EFFECT_ACCEPTED;
      }
      break;
    case DRAG_LEAVE:
      if (m_aci.avcStyle == 4 && m_pThumbnail) {
        InvalidateRect(m_hWnd, nullptr, TRUE);
        UpdateWindow(m_hWnd);
      }
      break;
    default:
      SendMessageA(GetParent(m_hWnd), AVM_DRAGNOTIFY, wParam, lParam);
      break;
  }
}

// The framed card's hover mark: drawn straight onto the window, and painted
// over by the next WM_PAINT (the leave step asks for one).
void CThumbView2::DrawHoverMark() {
  gdi::ScopedGetDC window(m_hWnd);
  if (!window) return;
  HDC dc = window.dc();
  RECT r;
  GetClientRect(m_hWnd, &r);
  r.right -= 1;
  {
    gdi::ScopedPen red(CreatePen(PS_SOLID, 1, kRed));
    gdi::ScopedSelect pen(dc, red.get());
    if (pen) Outline(dc, r.left + 4, r.top + 4, r.right - 4, r.bottom - 20);
  }
  RECT box{r.left + 6, r.bottom - 16, r.right - 10, 16};
  CThumbTextOut_Net(dc, box, kRed);
}

// ---------------------------------------------------------------------------
// Tooltips

HWND CThumbView2::DoCreateTipWnd() {
  if (m_hTipWnd || !m_hWnd) return m_hTipWnd;
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  m_hTipWnd = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                              GetResourceModule(), nullptr);
  if (!m_hTipWnd) return nullptr;
  TTTOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_ABSOLUTE;
  tool.hwnd = m_hWnd;
  tool.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
  GetClientRect(m_hWnd, &tool.rect);
  tool.hinst = GetResourceModule();
  tool.lpszText = LPSTR_TEXTCALLBACKA;
  if (!SendMessageA(m_hTipWnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool))) return nullptr;
  return m_hTipWnd;
}

void CThumbView2::SetTip(unsigned msg, unsigned wParam, long lParam) {
  if (msg == WM_MOUSEMOVE) {
    if (!m_hTipWnd) return;
    MSG relayed{};
    relayed.hwnd = m_hWnd;
    relayed.message = WM_MOUSEMOVE;
    relayed.wParam = wParam;
    relayed.lParam = lParam;
    relayed.time = 0;
    relayed.pt.x = LOWORD(lParam);
    relayed.pt.y = HIWORD(lParam);
    SendMessageA(m_hTipWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    return;
  }
  if (msg != WM_NOTIFY || !lParam || !m_pThumbnail) return;
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  if (header->code != TTN_NEEDTEXTA) return;
  auto* request = reinterpret_cast<NMTTDISPINFOA*>(lParam);
  char text[sizeof(request->szText)] = "";
  if (m_aci.avcToolTip) {
    const tagALBUMINFOHEADER* info = m_pThumbnail->GetInfo();
    snprintf(text, sizeof(text), "%ux%u", static_cast<unsigned>(info->aiWidth),
             static_cast<unsigned>(info->aiHeight));
  }
  CopyText(request->szText, text);
  request->lpszText = request->szText;
}

// ---------------------------------------------------------------------------
// Painting: classic style

void CThumbView2::OnPaint() {
  if (m_aci.avcStyle == 4) {
    OnPaint_Net();
    return;
  }
  RECT r;
  GetClientRect(m_hWnd, &r);
  gdi::ScopedPaint paint(m_hWnd);
  if (!paint) return;
  HDC dc = paint.dc();

  if (HGDIOBJ fill = FillBrush(m_nBkColor)) {
    gdi::ScopedSelect brush(dc, fill);
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
  }

  gdi::ScopedSelect nullBrush(dc, GetStockObject(NULL_BRUSH));
  gdi::ScopedFont font(CreateFontIndirectA(&m_aci.avcFont));
  if (!font) return;
  gdi::ScopedSelect fontSelection(dc, font.get());

  if (m_aci.avcStyle == 3) {
    gdi::ScopedPen grey(CreatePen(PS_SOLID, 1, kGrey));
    gdi::ScopedSelect greyPen(dc, grey.get());
    DrawLines(dc, {{r.left + 1, r.bottom - 1}, {r.right - 1, r.bottom - 1}, {r.right - 1, r.top + 1}});
    gdi::ScopedSelect whitePen(dc, GetStockObject(WHITE_PEN));
    DrawLines(dc, {{r.right - 1, r.top + 1}, {r.left + 1, r.top + 1}, {r.left + 1, r.bottom - 1}});
  } else if (m_aci.avcStyle == 2) {
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
  }

  if (!m_pThumbnail) return;
  void* picture = m_pThumbnail->GetDib();
  int w = 0, h = 0;
  if (!ReadPictureSize(picture, &w, &h)) return;

  RECT p = CentrePicture(r, w, h);
  m_rcPicture = p;
  QilDibDisplay(dc, &p, picture, 0, 0, 0);

  if (!m_pThumbnail->m_bExist) {
    gdi::ScopedPen red(CreatePen(PS_SOLID, 1, kRed));
    gdi::ScopedSelect redPen(dc, red.get());
    Arc(dc, 4, 4, 12, 12, 0, 0, 0, 0);
    DrawLines(dc, {{2, 2}, {14, 14}});
    DrawLines(dc, {{14, 2}, {2, 14}});
  }

  if (m_aci.avcStyle == 3) {
    gdi::ScopedPen grey(CreatePen(PS_SOLID, 1, kGrey));
    gdi::ScopedSelect greyPen(dc, grey.get());
    DrawLines(dc, {{p.left - 1, p.bottom}, {p.left - 1, p.top - 1}, {p.right + 1, p.top - 1}});
    gdi::ScopedSelect whitePen(dc, GetStockObject(WHITE_PEN));
    DrawLines(dc, {{p.right, p.top}, {p.right, p.bottom}, {p.left - 2, p.bottom}});
  }

  if (m_aci.avcSelect != 1 && m_aci.avcStyle != 3 && m_pThumbnail->m_bFouse) {
    gdi::ScopedPen dotted(CreatePen(PS_DOT, 1, kRed));
    gdi::ScopedSelect dottedPen(dc, dotted.get());
    Outline(dc, p.left + 1, p.top + 1, p.right - 1, p.bottom - 1);
  }

  if (IsSelect()) {
    if (m_aci.avcStyle == 3) {
      RECT inset{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
      DrawEdge(dc, &inset, EDGE_SUNKEN, BF_RECT);
    } else {
      int width = (r.right - 1 > 50 || r.bottom - 1 > 50) ? 2 : 1;
      gdi::ScopedPen black(CreatePen(PS_SOLID, width, kBlack));
      gdi::ScopedSelect blackPen(dc, black.get());
      Outline(dc, r.left, r.top, r.right - 1, r.bottom - 1);
    }
  }

  if (m_aci.avcCaption != 3) CThumbTextOut(dc, r);
}

void CThumbView2::CThumbTextOut(HDC dc, RECT& r) {
  gdi::ScopedBrush highlight(CreateSolidBrush(kCaptionHighlight));
  if (!highlight) return;
  gdi::ScopedBkMode transparent(dc, TRANSPARENT);

  int nameTop = 0;
  if (m_aci.avcCaption == 1) {
    const char* path = m_pThumbnail->GetInfo()->aiPath;
    const char* slash = strrchr(path, '\\');
    const char* name = slash ? slash + 1 : path;
    std::string shown = ShortenClassicName(dc, name, r.right - r.right / 10);
    int height = TextHeight(dc, shown.empty() ? " " : shown.c_str());
    RECT box{r.right / 20, r.bottom - height - 4, r.right - r.right / 20, r.bottom - 4};
    nameTop = box.top;
    if (m_pThumbnail->m_bFouse) {
      gdi::ScopedSelect brush(dc, highlight.get());
      Rectangle(dc, box.left, box.top, box.right, box.bottom);
      gdi::ScopedTextColor white(dc, kWhite);
      DrawTextA(dc, shown.c_str(), -1, &box, kCaptionFormat);
    } else {
      DrawTextA(dc, shown.c_str(), -1, &box, kCaptionFormat);
    }
  }

  char number[16];
  snprintf(number, sizeof(number), "%d", m_pThumbnail->GetID());
  int boxWidth = TextWidth(dc, number, strlen(number)) + 4;
  int height = TextHeight(dc, number);
  RECT box;
  if (m_aci.avcCaption == 1) {
    box.top = nameTop - height - 1;
    box.bottom = nameTop - 1;
  } else {
    box.top = r.bottom - height * 12 / 10;
    box.bottom = box.top + height * 11 / 10;
  }
  box.left = (r.right - boxWidth) / 2;
  box.right = r.right - box.left;
  if (IsSelect()) {
    FillRect(dc, &box, highlight.get());
    gdi::ScopedTextColor white(dc, kWhite);
    DrawTextA(dc, number, -1, &box, kCaptionFormat);
  } else {
    DrawTextA(dc, number, -1, &box, kCaptionFormat);
  }
}

// ---------------------------------------------------------------------------
// Painting: framed card style

void CThumbView2::OnPaint_Net() {
  RECT r;
  GetClientRect(m_hWnd, &r);
  r.right -= 1;
  gdi::ScopedPaint paint(m_hWnd);
  if (!paint) return;
  HDC dc = paint.dc();

  {
    gdi::ScopedPen white(CreatePen(PS_SOLID, 1, kWhite));
    gdi::ScopedPen grey(CreatePen(PS_SOLID, 1, kGrey));
    gdi::ScopedPen black(CreatePen(PS_SOLID, 1, kBlack));
    gdi::ScopedSelect whitePen(dc, white.get());
    DrawLines(dc, {{r.left + 2, r.bottom - 2}, {r.right - 2, r.bottom - 2}, {r.right - 2, r.top + 2}});
    gdi::ScopedSelect greyPen(dc, grey.get());
    DrawLines(dc, {{r.right - 2, r.top + 2}, {r.left + 2, r.top + 2}, {r.left + 2, r.bottom - 2}});
    gdi::ScopedSelect blackPen(dc, black.get());
    Outline(dc, r.left + 3, r.top + 3, r.right - 3, r.bottom - 3);
    DrawLines(dc, {{r.left + 3, r.bottom - 19}, {r.right - 3, r.bottom - 19}});
    if (IsSelect()) {
      gdi::ScopedPen mark(CreatePen(PS_SOLID, 1, kCardMark));
      gdi::ScopedSelect markPen(dc, mark.get());
      Outline(dc, r.left + 4, r.top + 4, r.right - 4, r.bottom - 20);
    }
  }

  if (!m_pThumbnail) return;
  void* picture = m_pThumbnail->GetDib();
  int w = 0, h = 0;
  if (!ReadPictureSize(picture, &w, &h)) return;
  {
    gdi::ScopedSelect nullBrush(dc, GetStockObject(NULL_BRUSH));
    RECT area{r.left + 5, r.top + 5, r.right - 5, r.bottom - 21};
    RECT p = CentrePicture(area, w, h);
    m_rcPicture = p;

    RECT fit{r.left + 6, r.top + 5, r.right - 5, r.bottom - 21};
    int fw = fit.right - fit.left;
    int fh = fit.bottom - fit.top;
    const tagALBUMINFOHEADER* info = m_pThumbnail->GetInfo();
    bool rescale = fw > 0 && fh > 0 &&
                   (fw < w || fh < h || (fw > w && fh > h && (info->aiWidth > fw || info->aiHeight > fh)));
    void* copy = rescale ? GetDisplayCopy(picture, w, h, fw, fh) : nullptr;
    int cw = 0, ch = 0;
    if (copy && ReadPictureSize(copy, &cw, &ch)) {
      RECT shown;
      shown.left = fit.left + (fw - cw) / 2;
      shown.right = shown.left + cw;
      shown.top = fit.top + (fh - ch) / 2;
      shown.bottom = shown.top + ch;
      QilDibDisplay(dc, &shown, copy, 0, 0, 0);
    } else {
      QilDibDisplay(dc, &p, picture, 0, 0, 0);
    }
  }

  RECT box{r.left + 6, r.bottom - 16, r.right - 10, 16};
  CThumbTextOut_Net(dc, box, m_pThumbnail->m_bFouse ? kCardMark : 0);
}

void* CThumbView2::GetDisplayCopy(void* picture, int w, int h, int fw, int fh) {
  if (m_hDisplayDib && m_pDisplayItem == m_pThumbnail && m_hDisplaySource == picture &&
      m_sizeDisplayBox.cx == fw && m_sizeDisplayBox.cy == fh) {
    return m_hDisplayDib;
  }
  DropDisplayCopy();
  // Ratios in 1/256 units, rounded; the picture keeps its proportions and
  // fills the box in one direction.
  long long rx = (w * 256LL + fw / 2) / fw;
  long long ry = (h * 256LL + fh / 2) / fh;
  int newWidth, newHeight;
  if (rx < ry) {
    newWidth = static_cast<int>(w * 256LL / ry);
    newHeight = fh;
  } else {
    newWidth = fw;
    newHeight = static_cast<int>(rx ? h * 256LL / rx : fh);
  }
  // A sliver of a picture still shows as one pixel rather than failing.
  if (newWidth < 1) newWidth = 1;
  if (newHeight < 1) newHeight = 1;

  LONG xPelsPerMeter = 0;
  {
    MemLock lock(picture);
    if (!lock) return nullptr;
    xPelsPerMeter = lock.as<BITMAPINFOHEADER>()->biXPelsPerMeter;
  }
  OwnedMem copy(ProcessResample(picture, newWidth, newHeight, xPelsPerMeter));
  if (!copy) return nullptr;
  WORD bits = 0;
  {
    MemLock lock(copy.get());
    if (!lock) return nullptr;
    bits = lock.as<BITMAPINFOHEADER>()->biBitCount;
  }
  if (bits != 24) {
    copy.reset(ProcessConvertTo24BitColor(copy.get()));
    if (!copy) return nullptr;
  }
  m_hDisplayDib = copy.release();
  m_hDisplaySource = picture;
  m_pDisplayItem = m_pThumbnail;
  m_sizeDisplayBox = SIZE{fw, fh};
  return m_hDisplayDib;
}

void CThumbView2::DropDisplayCopy() {
  if (m_hDisplayDib) ToviMemFree(m_hDisplayDib);
  m_hDisplayDib = nullptr;
  m_hDisplaySource = nullptr;
  m_pDisplayItem = nullptr;
  m_sizeDisplayBox = SIZE{0, 0};
}

void CThumbView2::CThumbTextOut_Net(HDC dc, RECT& box, COLORREF colour) {
  if (!m_pThumbnail) return;
  LOGFONTA face = m_aci.avcFont;
  face.lfCharSet = DEFAULT_CHARSET;
  gdi::ScopedFont font(CreateFontIndirectA(&face));
  if (!font) return;
  gdi::ScopedSelect fontSelection(dc, font.get());

  const char* path = m_pThumbnail->GetInfo()->aiPath;
  char shortPath[MAX_PATH];
  DWORD length = GetShortPathNameA(path, shortPath, sizeof(shortPath));
  const char* name = (length > 0 && length < sizeof(shortPath)) ? shortPath : path;
  SplitPathParts parts;
  SplitAlbumPathParts(name, &parts);

  char prefix[24];
  snprintf(prefix, sizeof(prefix), "%d. ", m_pThumbnail->GetID());
  std::string text = prefix;
  text += ShortenCardBase(dc, prefix, parts.fname, parts.ext, box.right);
  text += parts.ext;

  RECT shown{box.left, box.top, box.left + box.right, box.top + box.bottom};
  gdi::ScopedBkMode transparent(dc, TRANSPARENT);
  if (colour) {
    gdi::ScopedTextColor textColour(dc, colour);
    DrawTextA(dc, text.c_str(), -1, &shown, kCaptionFormat);
  } else {
    DrawTextA(dc, text.c_str(), -1, &shown, kCaptionFormat);
  }
}
