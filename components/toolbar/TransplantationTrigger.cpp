// The move trigger of a docked manager: a small grip that carries the
// manager's frame with the mouse. The frame is the owner dialog's parent
// when the dialog is a child (the host's dock frame), else the top-level
// window that holds the dialog. The drag is tracked here with the mouse
// captured rather than in the system's modal move loop, so that the frame
// moves by exactly the mouse's travel and a drag can be driven by input.
// Like the system's move loop, a drag that moves the frame brackets the
// moves with WM_ENTERSIZEMOVE and WM_EXITSIZEMOVE to the frame, at whose end
// a dock frame may dock where it was dropped. A double click sends the frame
// WM_NCLBUTTONDBLCLK on its caption, the gesture with which a dock frame lets
// its content go.
#include <windows.h>

#include <windowsx.h>

#include <new>

#include "components/toolbar/Internal.h"
#include "platform/Gdi.h"
#include "platform/tevrin.h"

namespace {

const char kTriggerClass[] = "TevrinTransplantationTrigger";

struct Trigger {
  HWND owner = nullptr;  // not owned: the manager dialog
  bool dragging = false;
  bool hot = false;
  bool moved = false;  // the frame has moved in this drag
  POINT start{};      // cursor at the press, screen coordinates
  RECT frameStart{};  // frame at the press, in its parent's client coordinates
  HWND frame = nullptr;
};

Trigger* StateOf(HWND window) { return reinterpret_cast<Trigger*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

HWND FrameOf(HWND owner) {
  if (!owner || !IsWindow(owner)) return nullptr;
  if (GetWindowLongA(owner, GWL_STYLE) & WS_CHILD) return GetParent(owner);
  return GetAncestor(owner, GA_ROOT);
}

// The window's rectangle where SetWindowPos takes it: its parent's client
// coordinates for a child, the screen for a top-level window.
RECT PlacedRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  HWND parent = (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) ? GetParent(window) : nullptr;
  if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Where the cursor was when the message was posted, on the screen. The
// client coordinates of a mouse message would shift under the grip as the
// frame it sits in moves.
POINT MessageScreenPoint() {
  const DWORD position = GetMessagePos();
  return POINT{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
}

void Paint(HWND window, const Trigger& state, HDC dc) {
  RECT client{};
  GetClientRect(window, &client);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  gdi::ScopedBrush background(CreateSolidBrush(state.hot || state.dragging ? GetSysColor(COLOR_3DLIGHT) : face));
  FillRect(dc, &client, background.get());
  if (state.hot || state.dragging) FrameRect(dc, &client, GetSysColorBrush(COLOR_3DSHADOW));
  // A field of raised dots, the usual sign of something that can be gripped.
  const int pitch = 4;
  const int columns = (client.right - 6) / pitch;
  const int rows = (client.bottom - 6) / pitch;
  const int left = (client.right - columns * pitch) / 2 + 1;
  const int top = (client.bottom - rows * pitch) / 2 + 1;
  HBRUSH highlight = GetSysColorBrush(COLOR_3DHILIGHT);
  HBRUSH shadow = GetSysColorBrush(COLOR_3DDKSHADOW);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const int x = left + column * pitch;
      const int y = top + row * pitch;
      RECT light{x, y, x + 2, y + 2};
      RECT dark{x + 1, y + 1, x + 3, y + 3};
      FillRect(dc, &dark, shadow);
      FillRect(dc, &light, highlight);
    }
  }
}

void EndDrag(HWND window, Trigger& state) {
  if (!state.dragging) return;
  state.dragging = false;  // first: releasing the capture comes back here
  if (GetCapture() == window) ReleaseCapture();
  InvalidateRect(window, nullptr, FALSE);
  if (state.moved) {
    state.moved = false;
    if (IsWindow(state.frame)) SendMessageA(state.frame, WM_EXITSIZEMOVE, 0, 0);
  }
}

LRESULT CALLBACK TriggerProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* state = new (std::nothrow) Trigger;
    if (!state) return FALSE;
    state->owner = static_cast<HWND>(create->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    return DefWindowProcA(window, msg, wParam, lParam);
  }
  Trigger* state = StateOf(window);
  if (!state) return DefWindowProcA(window, msg, wParam, lParam);
  switch (msg) {
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      delete state;
      return 0;
    case WM_PAINT: {
      gdi::ScopedPaint paint(window);
      if (paint) Paint(window, *state, paint.dc());
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SETCURSOR:
      SetCursor(LoadCursorA(nullptr, IDC_SIZEALL));
      return TRUE;
    case WM_LBUTTONDOWN: {
      state->frame = FrameOf(state->owner);
      if (!state->frame) return 0;
      state->start = MessageScreenPoint();
      state->frameStart = PlacedRect(state->frame);
      state->dragging = true;
      SetCapture(window);
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    }
    case WM_MOUSEMOVE: {
      if (!state->dragging) {
        if (!state->hot) {
          state->hot = true;
          TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
          TrackMouseEvent(&track);
          InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
      }
      if (!IsWindow(state->frame)) {
        EndDrag(window, *state);
        return 0;
      }
      const POINT cursor = MessageScreenPoint();
      if (cursor.x == state->start.x && cursor.y == state->start.y) return 0;
      if (!state->moved) {
        state->moved = true;
        SendMessageA(state->frame, WM_ENTERSIZEMOVE, 0, 0);
        if (!state->dragging || !IsWindow(state->frame)) return 0;
      }
      const int x = state->frameStart.left + cursor.x - state->start.x;
      const int y = state->frameStart.top + cursor.y - state->start.y;
      SetWindowPos(state->frame, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_MOUSELEAVE:
      state->hot = false;
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
      EndDrag(window, *state);
      return 0;
    case WM_LBUTTONDBLCLK: {
      EndDrag(window, *state);
      HWND frame = FrameOf(state->owner);
      if (!frame) return 0;
      const POINT cursor = MessageScreenPoint();
      SendMessageA(frame, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(cursor.x, cursor.y));
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcA(window, msg, wParam, lParam);
}

bool IsTrigger(HWND window) {
  char name[40] = "";
  return window && IsWindow(window) && GetClassNameA(window, name, sizeof(name)) &&
         lstrcmpiA(name, kTriggerClass) == 0;
}

}  // namespace

namespace tevrin {

bool RegisterTriggerClass() {
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExA(OwnModule(), kTriggerClass, &existing)) return true;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = TriggerProc;
  wc.hInstance = OwnModule();
  wc.hCursor = LoadCursorA(nullptr, IDC_SIZEALL);
  wc.lpszClassName = kTriggerClass;
  return RegisterClassExA(&wc) != 0;
}

void UnregisterTriggerClass() { UnregisterClassA(kTriggerClass, OwnModule()); }

}  // namespace tevrin

// The windows beside the grip are the ones the manager hides while docked
// and shows again undocked; the grip goes above every sibling, them too, so
// that none of them covers it.
TEVRIN_API HWND CreateTransplantationTrigger(int x, int y, int width, int height, HWND owner, int /*windowCount*/,
                                             const HWND* /*windows*/) {
  if (!owner || !IsWindow(owner) || width <= 0 || height <= 0) return nullptr;
  if (!tevrin::RegisterTriggerClass()) return nullptr;
  HWND trigger = CreateWindowExA(0, kTriggerClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, y, width,
                                 height, owner, nullptr, tevrin::OwnModule(), owner);
  if (!trigger) return nullptr;
  SetWindowPos(trigger, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return trigger;
}

TEVRIN_API void FreeTransplantation(HWND trigger) {
  if (IsTrigger(trigger)) DestroyWindow(trigger);
}
