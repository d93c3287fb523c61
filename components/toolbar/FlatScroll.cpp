// The flat scroll-bar look. The real scroll bar control stays in charge of
// its range, position, page and keyboard; this subclass paints it flat
// (arrows, track and thumb without 3D edges, the part under the mouse lit)
// and takes over the mouse, because the control's own tracking draws the
// classic look straight onto the screen while it runs. Clicks and drags
// send the parent exactly the codes the standard bar sends: SB_LINEUP /
// SB_LINEDOWN on the arrows and SB_PAGEUP / SB_PAGEDOWN on the track, both
// repeated while held, SB_THUMBTRACK while the thumb moves and
// SB_THUMBPOSITION when it is let go (SB_THUMBTRACK already at the grab),
// and SB_ENDSCROLL at the end of each.
#include <windows.h>

#include <windowsx.h>

#include <new>

#include "components/toolbar/Internal.h"
#include "platform/Gdi.h"
#include "platform/tevrin.h"

namespace {

const char kStateProperty[] = "TevrinFlatScroll";
const UINT_PTR kRepeatTimer = 0x7E71;
const UINT kFirstRepeatDelay = 300;
const UINT kRepeatDelay = 60;
// An arrow is as long as the bar is thick, but no longer than this: a docked
// album control lays its bar under the whole view and leaves 22 pixels free
// at each end, which is where the arrows must be.
const int kMaxArrow = 22;
const int kMinThumb = 8;

enum Part { kNoPart, kLineUp, kPageUp, kThumb, kPageDown, kLineDown };

struct FlatScroll {
  WNDPROC original = nullptr;  // not owned: the procedure before ours
  // False after a DeSubclassScroll that could not unhook because another
  // subclass came after ours: the bar then behaves as if never subclassed.
  bool active = true;
  bool flat = true;
  bool hotTrack = true;
  bool leaveTracked = false;
  Part hot = kNoPart;
  Part pressed = kNoPart;  // the part held down with the mouse
  int grab = 0;            // thumb drag: cursor offset inside the thumb
  int dragThumb = 0;       // thumb drag: where the thumb is drawn
  int dragValue = 0;       // thumb drag: the position last sent
};

struct Geometry {
  bool vertical = true;
  int length = 0;     // along the bar
  int thickness = 0;  // across it
  int arrow = 0;
  int trackStart = 0;
  int trackEnd = 0;
  bool hasThumb = false;
  int thumbStart = 0;
  int thumbLength = 0;
  int minimum = 0;
  int range = 0;  // positions the thumb can take, minus one
  int position = 0;
};

FlatScroll* StateOf(HWND bar) { return static_cast<FlatScroll*>(GetPropA(bar, kStateProperty)); }

int Clamp(long long value, int low, int high) {
  if (value < low) return low;
  if (value > high) return high;
  return static_cast<int>(value);
}

Geometry Measure(HWND bar) {
  Geometry g;
  RECT client{};
  GetClientRect(bar, &client);
  g.vertical = (GetWindowLongA(bar, GWL_STYLE) & SBS_VERT) != 0;
  g.length = g.vertical ? client.bottom : client.right;
  g.thickness = g.vertical ? client.right : client.bottom;
  g.arrow = g.thickness < kMaxArrow ? g.thickness : kMaxArrow;
  if (g.arrow > g.length / 2) g.arrow = g.length / 2;
  g.trackStart = g.arrow;
  g.trackEnd = g.length - g.arrow;

  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL;
  if (!GetScrollInfo(bar, SB_CTL, &info)) return g;
  const long long span = static_cast<long long>(info.nMax) - info.nMin + 1;
  const long long page = info.nPage;
  const long long range = span - (page > 1 ? page : 1);
  const int track = g.trackEnd - g.trackStart;
  if (span <= 0 || range <= 0 || !IsWindowEnabled(bar)) return g;
  long long thumb = page > 0 ? track * page / span : g.arrow;
  if (thumb < kMinThumb) thumb = kMinThumb;
  if (thumb >= track) return g;
  g.hasThumb = true;
  g.thumbLength = static_cast<int>(thumb);
  g.minimum = info.nMin;
  g.range = static_cast<int>(range);
  g.position = Clamp(info.nPos, info.nMin, static_cast<int>(info.nMin + range));
  g.thumbStart = g.trackStart + static_cast<int>((track - thumb) * (g.position - info.nMin) / range);
  return g;
}

// The position that puts the thumb's leading edge at thumbStart.
int ValueAt(const Geometry& g, int thumbStart) {
  const int free = g.trackEnd - g.trackStart - g.thumbLength;
  if (free <= 0) return g.minimum;
  const long long offset = Clamp(thumbStart - g.trackStart, 0, free);
  return g.minimum + static_cast<int>((offset * g.range + free / 2) / free);
}

int Along(const Geometry& g, POINT point) { return g.vertical ? point.y : point.x; }

Part HitTest(HWND bar, const Geometry& g, POINT point) {
  RECT client{};
  GetClientRect(bar, &client);
  if (!PtInRect(&client, point)) return kNoPart;
  const int at = Along(g, point);
  if (at < g.trackStart) return kLineUp;
  if (at >= g.trackEnd) return kLineDown;
  if (!g.hasThumb) return at < (g.trackStart + g.trackEnd) / 2 ? kPageUp : kPageDown;
  if (at < g.thumbStart) return kPageUp;
  if (at < g.thumbStart + g.thumbLength) return kThumb;
  return kPageDown;
}

int CodeOf(Part part) {
  switch (part) {
    case kLineUp: return SB_LINEUP;
    case kPageUp: return SB_PAGEUP;
    case kPageDown: return SB_PAGEDOWN;
    case kLineDown: return SB_LINEDOWN;
    default: return SB_ENDSCROLL;
  }
}

void Notify(HWND bar, int code, int position = 0) {
  const bool vertical = (GetWindowLongA(bar, GWL_STYLE) & SBS_VERT) != 0;
  SendMessageA(GetParent(bar), vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, position),
               reinterpret_cast<LPARAM>(bar));
}

COLORREF Mix(COLORREF a, COLORREF b, int percentOfB) {
  auto channel = [&](int x, int y) { return (x * (100 - percentOfB) + y * percentOfB) / 100; };
  return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
             channel(GetBValue(a), GetBValue(b)));
}

void Fill(HDC dc, const RECT& rect, COLORREF colour) {
  gdi::ScopedBrush brush(CreateSolidBrush(colour));
  FillRect(dc, &rect, brush.get());
}

// A rectangle of the bar given along and across its axis.
RECT PartRect(const Geometry& g, int start, int end, int inset = 0) {
  if (g.vertical) return RECT{inset, start, g.thickness - inset, end};
  return RECT{start, inset, end, g.thickness - inset};
}

void DrawArrow(HDC dc, const Geometry& g, const RECT& cell, bool towardStart, COLORREF colour) {
  const int width = cell.right - cell.left;
  const int height = cell.bottom - cell.top;
  int half = (width < height ? width : height) / 3;
  if (half < 2) half = 2;
  const int cx = cell.left + width / 2;
  const int cy = cell.top + height / 2;
  POINT points[3];
  const int tip = half / 2 + 1;
  if (g.vertical) {
    const int dir = towardStart ? -1 : 1;
    points[0] = POINT{cx, cy + dir * tip};
    points[1] = POINT{cx - half, cy - dir * (half - tip)};
    points[2] = POINT{cx + half, cy - dir * (half - tip)};
  } else {
    const int dir = towardStart ? -1 : 1;
    points[0] = POINT{cx + dir * tip, cy};
    points[1] = POINT{cx - dir * (half - tip), cy - half};
    points[2] = POINT{cx - dir * (half - tip), cy + half};
  }
  gdi::ScopedBrush brush(CreateSolidBrush(colour));
  gdi::ScopedPen pen(CreatePen(PS_SOLID, 1, colour));
  gdi::ScopedSelect selectBrush(dc, brush.get());
  gdi::ScopedSelect selectPen(dc, pen.get());
  Polygon(dc, points, 3);
}

void Paint(HWND bar, const FlatScroll& state, HDC dc) {
  const Geometry g = Measure(bar);
  const bool enabled = IsWindowEnabled(bar) != FALSE;
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const COLORREF accent = GetSysColor(COLOR_HIGHLIGHT);
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  const COLORREF glyph = enabled ? GetSysColor(COLOR_BTNTEXT) : GetSysColor(COLOR_GRAYTEXT);
  auto partColour = [&](Part part, COLORREF rest) {
    if (!enabled) return rest;
    if (state.pressed == part) return Mix(rest, accent, 55);
    if (state.hotTrack && state.hot == part && state.pressed == kNoPart) return Mix(rest, accent, 25);
    return rest;
  };

  // The arrows stand out a shade from the track, without edges.
  const COLORREF arrowFace = Mix(face, shadow, 18);
  Fill(dc, PartRect(g, 0, g.length), face);
  const RECT up = PartRect(g, 0, g.arrow);
  const RECT down = PartRect(g, g.trackEnd, g.length);
  Fill(dc, up, partColour(kLineUp, arrowFace));
  Fill(dc, down, partColour(kLineDown, arrowFace));
  if (state.pressed == kPageUp || state.pressed == kPageDown) {
    // The held page area darkens up to the thumb, as the classic bar does.
    const int thumbStart = g.hasThumb ? g.thumbStart : (g.trackStart + g.trackEnd) / 2;
    const int thumbEnd = g.hasThumb ? g.thumbStart + g.thumbLength : thumbStart;
    const RECT page = state.pressed == kPageUp ? PartRect(g, g.trackStart, thumbStart)
                                               : PartRect(g, thumbEnd, g.trackEnd);
    Fill(dc, page, Mix(face, shadow, 30));
  }
  DrawArrow(dc, g, up, true, glyph);
  DrawArrow(dc, g, down, false, glyph);
  if (g.hasThumb) {
    const int start = state.pressed == kThumb ? state.dragThumb : g.thumbStart;
    const int inset = g.thickness >= 10 ? 2 : 0;
    const RECT thumb = PartRect(g, start + 1, start + g.thumbLength - 1, inset);
    Fill(dc, thumb, partColour(kThumb, Mix(face, shadow, 55)));
    if (!state.flat) {
      RECT edge = thumb;
      DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
    }
  }
  if (!state.flat) {
    RECT edgeUp = up, edgeDown = down;
    DrawEdge(dc, &edgeUp, state.pressed == kLineUp ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    DrawEdge(dc, &edgeDown, state.pressed == kLineDown ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  }
  if (GetFocus() == bar) {
    RECT client{};
    GetClientRect(bar, &client);
    DrawFocusRect(dc, &client);
  }
}

// Paints through a memory bitmap so that a held button does not flicker.
void OnPaint(HWND bar, const FlatScroll& state, HDC target) {
  RECT client{};
  GetClientRect(bar, &client);
  gdi::ScopedMemoryDC memory(target);
  gdi::ScopedBitmap bitmap(CreateCompatibleBitmap(target, client.right > 0 ? client.right : 1,
                                                  client.bottom > 0 ? client.bottom : 1));
  if (!memory || !bitmap) {
    Paint(bar, state, target);
    return;
  }
  {
    gdi::ScopedSelect select(memory.dc(), bitmap.get());
    Paint(bar, state, memory.dc());
    BitBlt(target, 0, 0, client.right, client.bottom, memory.dc(), 0, 0, SRCCOPY);
  }
}

void Invalidate(HWND bar) { InvalidateRect(bar, nullptr, FALSE); }

// Ends a press: the repeat stops, the capture goes, and the parent hears the
// end of the scroll (after the thumb's last position for a thumb drag).
void EndPress(HWND bar, FlatScroll& state, bool notify) {
  const Part part = state.pressed;
  if (part == kNoPart) return;
  state.pressed = kNoPart;  // first, so that losing the capture below does not end it twice
  KillTimer(bar, kRepeatTimer);
  if (GetCapture() == bar) ReleaseCapture();
  if (notify) {
    if (part == kThumb) Notify(bar, SB_THUMBPOSITION, state.dragValue);
    Notify(bar, SB_ENDSCROLL);
  }
  Invalidate(bar);
}

void OnButtonDown(HWND bar, FlatScroll& state, POINT point) {
  if (!IsWindowEnabled(bar)) return;
  const Geometry g = Measure(bar);
  const Part part = HitTest(bar, g, point);
  if (part == kNoPart) return;
  if (GetWindowLongA(bar, GWL_STYLE) & WS_TABSTOP) SetFocus(bar);
  SetCapture(bar);
  state.pressed = part;
  if (part == kThumb) {
    state.grab = Along(g, point) - g.thumbStart;
    state.dragThumb = g.thumbStart;
    state.dragValue = g.position;
    // The standard bar reports the grab at once, before any move.
    Notify(bar, SB_THUMBTRACK, g.position);
  } else {
    Notify(bar, CodeOf(part));
    SetTimer(bar, kRepeatTimer, kFirstRepeatDelay, nullptr);
  }
  Invalidate(bar);
}

void OnMouseMove(HWND bar, FlatScroll& state, POINT point) {
  const Geometry g = Measure(bar);
  if (state.pressed == kThumb) {
    if (!g.hasThumb) return;
    const int thumb = Clamp(Along(g, point) - state.grab, g.trackStart, g.trackEnd - g.thumbLength);
    const int value = ValueAt(g, thumb);
    if (thumb != state.dragThumb) {
      state.dragThumb = thumb;
      Invalidate(bar);
    }
    if (value != state.dragValue) {
      state.dragValue = value;
      Notify(bar, SB_THUMBTRACK, value);
    }
    return;
  }
  if (state.pressed != kNoPart || !state.hotTrack) return;
  const Part part = HitTest(bar, g, point);
  if (part != state.hot) {
    state.hot = part;
    Invalidate(bar);
  }
  if (!state.leaveTracked) {
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, bar, 0};
    state.leaveTracked = TrackMouseEvent(&track) != FALSE;
  }
}

// Held arrows and page areas repeat while the cursor stays on them; a page
// area stops once the thumb has come under the cursor.
void OnRepeat(HWND bar, FlatScroll& state) {
  if (state.pressed == kNoPart || state.pressed == kThumb) {
    KillTimer(bar, kRepeatTimer);
    return;
  }
  POINT cursor{};
  GetCursorPos(&cursor);
  ScreenToClient(bar, &cursor);
  if (HitTest(bar, Measure(bar), cursor) == state.pressed) Notify(bar, CodeOf(state.pressed));
  SetTimer(bar, kRepeatTimer, kRepeatDelay, nullptr);
}

LRESULT CALLBACK FlatScrollProc(HWND bar, UINT msg, WPARAM wParam, LPARAM lParam) {
  FlatScroll* state = StateOf(bar);
  if (!state) return DefWindowProcA(bar, msg, wParam, lParam);
  const WNDPROC original = state->original;
  if (msg == WM_NCDESTROY) {
    // Destroyed while still subclassed: unhook on the way out.
    RemovePropA(bar, kStateProperty);
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(bar, GWLP_WNDPROC)) == FlatScrollProc) {
      SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    }
    delete state;
    return CallWindowProcA(original, bar, msg, wParam, lParam);
  }
  if (!state->active) return CallWindowProcA(original, bar, msg, wParam, lParam);

  switch (msg) {
    case WM_PAINT: {
      gdi::ScopedPaint paint(bar);
      if (paint) OnPaint(bar, *state, paint.dc());
      return 0;
    }
    case WM_PRINTCLIENT:
      OnPaint(bar, *state, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      OnButtonDown(bar, *state, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(bar, *state, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
      EndPress(bar, *state, true);
      return 0;
    case WM_MOUSELEAVE:
      state->leaveTracked = false;
      if (state->hot != kNoPart) {
        state->hot = kNoPart;
        Invalidate(bar);
      }
      return 0;
    case WM_TIMER:
      if (wParam != kRepeatTimer) break;
      OnRepeat(bar, *state);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      // No blinking caret over the thumb: the focus shows as a dotted frame.
      Invalidate(bar);
      return 0;
    // The control repaints itself straight onto the screen when told to
    // redraw: it is told not to, and the flat look is painted instead.
    case SBM_SETPOS: {
      const LRESULT result = CallWindowProcA(original, bar, msg, wParam, FALSE);
      if (lParam) Invalidate(bar);
      return result;
    }
    case SBM_SETRANGEREDRAW: {
      const LRESULT result = CallWindowProcA(original, bar, SBM_SETRANGE, wParam, lParam);
      Invalidate(bar);
      return result;
    }
    case SBM_SETSCROLLINFO: {
      const LRESULT result = CallWindowProcA(original, bar, msg, FALSE, lParam);
      if (wParam) Invalidate(bar);
      return result;
    }
    case SBM_ENABLE_ARROWS:
    case WM_ENABLE:
    case WM_SIZE:
    case WM_STYLECHANGED: {
      const LRESULT result = CallWindowProcA(original, bar, msg, wParam, lParam);
      Invalidate(bar);
      return result;
    }
    default:
      break;
  }
  return CallWindowProcA(original, bar, msg, wParam, lParam);
}

bool IsScrollBarControl(HWND window) {
  char name[16] = "";
  if (!window || !IsWindow(window) || !GetClassNameA(window, name, sizeof(name))) return false;
  if (lstrcmpiA(name, "ScrollBar") != 0) return false;
  // Size boxes and grips look like no bar at all.
  return (GetWindowLongA(window, GWL_STYLE) & (SBS_SIZEBOX | SBS_SIZEGRIP)) == 0;
}

}  // namespace

TEVRIN_API int SubclassScroll(HWND scrollBar, int flat, int hotTrack) {
  if (!IsScrollBarControl(scrollBar)) return 0;
  FlatScroll* state = StateOf(scrollBar);
  if (state) {
    // Already ours: a docked control hands its bar over on every resize.
    state->active = true;
    state->flat = flat != 0;
    state->hotTrack = hotTrack != 0;
    Invalidate(scrollBar);
    return 1;
  }
  state = new (std::nothrow) FlatScroll;
  if (!state) return 0;
  state->flat = flat != 0;
  state->hotTrack = hotTrack != 0;
  state->original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(scrollBar, GWLP_WNDPROC));
  if (!state->original || !SetPropA(scrollBar, kStateProperty, state)) {
    delete state;
    return 0;
  }
  SetWindowLongPtrA(scrollBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FlatScrollProc));
  Invalidate(scrollBar);
  return 1;
}

TEVRIN_API int DeSubclassScroll(HWND scrollBar) {
  if (!scrollBar || !IsWindow(scrollBar)) return 0;
  FlatScroll* state = StateOf(scrollBar);
  if (!state) return 0;
  EndPress(scrollBar, *state, false);
  state->hot = kNoPart;
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(scrollBar, GWLP_WNDPROC)) == FlatScrollProc) {
    SetWindowLongPtrA(scrollBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(state->original));
    RemovePropA(scrollBar, kStateProperty);
    delete state;
  } else {
    // Someone subclassed the bar after us; taking our procedure out would
    // cut theirs off, so ours stays in the chain and only passes through.
    state->active = false;
  }
  InvalidateRect(scrollBar, nullptr, TRUE);
  return 1;
}
