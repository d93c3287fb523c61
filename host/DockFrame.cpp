// The host's dock frame around one album manager dialog.
#include "DockFrame.h"

#include <album.h>

#include "WindowShot.h"

namespace {

const char kFrameClass[] = "AlbumHostDockFrame";
const DWORD kFloatStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
// Docked, the frame keeps a small caption: double-clicking it lets the
// manager float again, as the manager's move trigger does.
const DWORD kDockStyle = WS_CHILD | WS_CAPTION | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
const DWORD kExStyle = WS_EX_TOOLWINDOW;
// Posted to itself once the dialog has let the frame go: the dialog is in
// the middle of its own WM_DESTROY then, and it is the frame's child.
const UINT kDestroyLater = WM_APP + 0x41;

DWORD Pack(int width, int height) {
  return MAKELONG(static_cast<WORD>(width), static_cast<WORD>(height));
}

// The frame's borders and caption around a client rectangle: left and top
// come back negative.
RECT Insets(HWND frame) {
  RECT insets{0, 0, 0, 0};
  AdjustWindowRectEx(&insets, static_cast<DWORD>(GetWindowLongA(frame, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(frame, GWL_EXSTYLE)));
  return insets;
}

}  // namespace

HWND DockFrame::Create(HWND mainWindow, HWND dialog, int stagger) {
  static const bool registered = RegisterDemoWindowClass(kFrameClass, &DockFrame::Procedure);
  if (!registered || !IsWindow(mainWindow) || !IsWindow(dialog)) return nullptr;

  // The dialog was sized for its own borders; inside the frame it keeps the
  // same client area and the frame wears the borders.
  RECT client{};
  GetClientRect(dialog, &client);
  RECT outer = client;
  AdjustWindowRectEx(&outer, kFloatStyle, FALSE, kExStyle);
  POINT at{40 + 24 * (stagger % 8), 40 + 24 * (stagger % 8)};
  ClientToScreen(mainWindow, &at);
  char title[128] = "";
  GetWindowTextA(dialog, title, sizeof(title));

  auto* self = new DockFrame(mainWindow, dialog);
  HWND frame = CreateWindowExA(kExStyle, kFrameClass, title, kFloatStyle, at.x, at.y, outer.right - outer.left,
                               outer.bottom - outer.top, mainWindow, nullptr, GetModuleHandleA(nullptr), self);
  if (!frame) {
    delete self;
    return nullptr;
  }
  GetWindowRect(frame, &self->floatRect_);

  LONG style = GetWindowLongA(dialog, GWL_STYLE);
  style &= ~static_cast<LONG>(WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  SetWindowLongA(dialog, GWL_STYLE, style | WS_CHILD);
  SetWindowLongA(dialog, GWL_EXSTYLE, GetWindowLongA(dialog, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
  SetParent(dialog, frame);
  self->fitting_ = true;
  SetWindowPos(dialog, nullptr, 0, 0, client.right, client.bottom,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  self->fitting_ = false;
  return frame;
}

DockFrame* DockFrame::FromWindow(HWND frame) {
  if (!frame || !IsWindow(frame)) return nullptr;
  char name[40] = "";
  GetClassNameA(frame, name, sizeof(name));
  if (lstrcmpiA(name, kFrameClass) != 0) return nullptr;
  return reinterpret_cast<DockFrame*>(GetWindowLongPtrA(frame, GWLP_USERDATA));
}

SIZE DockFrame::Extra() const {
  RECT insets = Insets(frame_);
  return SIZE{insets.right - insets.left, insets.bottom - insets.top};
}

DWORD DockFrame::Ask(UINT message, int side, DWORD size) const {
  if (!IsWindow(dialog_)) return 0;
  DWORD answer = size;
  SendMessageA(dialog_, message, static_cast<WPARAM>(side), reinterpret_cast<LPARAM>(&answer));
  return answer;
}

void DockFrame::SetFloating(bool floating) {
  const LONG visible = GetWindowLongA(frame_, GWL_STYLE) & WS_VISIBLE;
  if (floating) {
    // A child becomes top-level by losing its parent first; its owner is
    // then set through the parent slot, which means owner for a popup.
    SetParent(frame_, nullptr);
    SetWindowLongA(frame_, GWL_STYLE, static_cast<LONG>(kFloatStyle) | visible);
    SetWindowLongPtrA(frame_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(main_));
  } else {
    SetWindowLongA(frame_, GWL_STYLE, static_cast<LONG>(kDockStyle) | visible);
    SetParent(frame_, main_);
  }
}

void DockFrame::Dock(int side) {
  if (side != DOCK_FLOAT && side != DOCK_LEFT && side != DOCK_RIGHT && side != DOCK_TOP && side != DOCK_BOTTOM) return;
  if (side == DOCK_FLOAT) {
    if (side_ == DOCK_FLOAT) return;
    side_ = DOCK_FLOAT;
    fitting_ = true;
    SetFloating(true);
    RECT dialogRect{};
    GetWindowRect(dialog_, &dialogRect);
    const DWORD answer =
        Ask(DFM_LAYOUT, DOCK_FLOAT, Pack(dialogRect.right - dialogRect.left, dialogRect.bottom - dialogRect.top));
    const SIZE extra = Extra();
    SetWindowPos(frame_, HWND_TOP, floatRect_.left, floatRect_.top, LOWORD(answer) + extra.cx,
                 HIWORD(answer) + extra.cy, SWP_FRAMECHANGED);
    fitting_ = false;
    SendMessageA(main_, WM_DOCKFRAMECHANGED, reinterpret_cast<WPARAM>(frame_), 0);
    return;
  }
  if (side_ == DOCK_FLOAT) {
    GetWindowRect(frame_, &floatRect_);
    SetFloating(false);
  }
  side_ = side;
  lastDockedSide_ = side;
  SendMessageA(main_, WM_DOCKFRAMECHANGED, reinterpret_cast<WPARAM>(frame_), 0);
}

int DockFrame::NearestSide() const {
  RECT client{}, frame{};
  GetClientRect(main_, &client);
  GetWindowRect(frame_, &frame);
  MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&frame), 2);
  const LONG x = (frame.left + frame.right) / 2, y = (frame.top + frame.bottom) / 2;
  const struct {
    int side;
    LONG distance;
  } edges[] = {{DOCK_LEFT, x - client.left},
               {DOCK_RIGHT, client.right - x},
               {DOCK_TOP, y - client.top},
               {DOCK_BOTTOM, client.bottom - y}};
  int nearest = edges[0].side;
  LONG best = edges[0].distance;
  for (const auto& edge : edges) {
    if (edge.distance < best) {
      best = edge.distance;
      nearest = edge.side;
    }
  }
  return nearest;
}

void DockFrame::PlaceDocked(RECT* rest) {
  if (side_ == DOCK_FLOAT || !IsWindowVisible(frame_) || !IsWindow(dialog_)) return;
  const SIZE extra = Extra();
  RECT dialogRect{};
  GetWindowRect(dialog_, &dialogRect);
  const bool vertical = side_ == DOCK_LEFT || side_ == DOCK_RIGHT;
  int width = vertical ? dialogRect.right - dialogRect.left : (rest->right - rest->left) - extra.cx;
  int height = vertical ? (rest->bottom - rest->top) - extra.cy : dialogRect.bottom - dialogRect.top;
  // Never propose less than the dialog can show for this side.
  const DWORD minimum = Ask(DFM_GETMINSIZE, side_, 0);
  if (width < LOWORD(minimum)) width = LOWORD(minimum);
  if (height < HIWORD(minimum)) height = HIWORD(minimum);

  fitting_ = true;
  const DWORD answer = Ask(DFM_LAYOUT, side_, Pack(width, height));
  const int frameWidth = LOWORD(answer) + extra.cx;
  const int frameHeight = HIWORD(answer) + extra.cy;
  int x = rest->left, y = rest->top;
  switch (side_) {
    case DOCK_LEFT:
      rest->left += frameWidth;
      break;
    case DOCK_RIGHT:
      x = rest->right - frameWidth;
      rest->right = x;
      break;
    case DOCK_TOP:
      rest->top += frameHeight;
      break;
    case DOCK_BOTTOM:
      y = rest->bottom - frameHeight;
      rest->bottom = y;
      break;
  }
  SetWindowPos(frame_, nullptr, x, y, frameWidth, frameHeight, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  fitting_ = false;
}

void DockFrame::FitAroundDialog() {
  if (fitting_ || !IsWindow(dialog_)) return;
  RECT dialogRect{};
  GetWindowRect(dialog_, &dialogRect);
  const SIZE extra = Extra();
  fitting_ = true;
  SetWindowPos(frame_, nullptr, 0, 0, dialogRect.right - dialogRect.left + extra.cx,
               dialogRect.bottom - dialogRect.top + extra.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  fitting_ = false;
  if (side_ != DOCK_FLOAT) PostMessageA(main_, WM_DOCKFRAMECHANGED, reinterpret_cast<WPARAM>(frame_), 0);
}

// The dialog fits a dragged size to whole thumbnail cells; it is asked with
// its own rectangle inside the frame's and the answer is turned back.
void DockFrame::OnSizing(WPARAM edge, RECT* dragged) {
  if (!dragged || !IsWindow(dialog_)) return;
  const RECT insets = Insets(frame_);
  RECT inner{dragged->left - insets.left, dragged->top - insets.top, dragged->right - insets.right,
             dragged->bottom - insets.bottom};
  SendMessageA(dialog_, WM_SIZING, edge, reinterpret_cast<LPARAM>(&inner));
  *dragged = RECT{inner.left + insets.left, inner.top + insets.top, inner.right + insets.right,
                  inner.bottom + insets.bottom};
}

void DockFrame::OnMinMaxInfo(MINMAXINFO* info) {
  if (!info || side_ != DOCK_FLOAT) return;
  const DWORD minimum = Ask(DFM_GETMINSIZE, DOCK_FLOAT, 0);
  if (!minimum) return;
  const SIZE extra = Extra();
  info->ptMinTrackSize.x = LOWORD(minimum) + extra.cx;
  info->ptMinTrackSize.y = HIWORD(minimum) + extra.cy;
}

// Closing asks the dialog first: it answers -1 in the record when it may
// go (after its save question). The dialog then destroys itself and
// releases this frame. Non-zero back means the close was refused.
LRESULT DockFrame::OnClose() {
  if (!IsWindow(dialog_)) {
    DestroyWindow(frame_);
    return 0;
  }
  int record[2] = {0, 0};
  SendMessageA(dialog_, DFM_QUERYCLOSE, 0, reinterpret_cast<LPARAM>(record));
  if (record[0] != -1) return 1;
  DestroyWindow(dialog_);
  return 0;
}

LRESULT CALLBACK DockFrame::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<DockFrame*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->frame_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<DockFrame*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!self) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    delete self;
    return DefWindowProcA(window, message, wParam, lParam);
  }
  return self->OnMessage(message, wParam, lParam);
}

LRESULT DockFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      if (IsWindow(dialog_) && wParam != SIZE_MINIMIZED) {
        SetWindowPos(dialog_, nullptr, 0, 0, LOWORD(lParam), HIWORD(lParam), SWP_NOZORDER | SWP_NOACTIVATE);
      }
      return 0;
    case WM_SIZING:
      OnSizing(wParam, reinterpret_cast<RECT*>(lParam));
      return TRUE;
    case WM_GETMINMAXINFO:
      OnMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
      return 0;
    case WM_ACTIVATE:
      if (IsWindow(dialog_)) {
        SendMessageA(dialog_, DFM_ACTIVATE, wParam, 0);
        // The frame takes the focus when it is activated; the album grid
        // is where a user of the manager types.
        if (LOWORD(wParam) != WA_INACTIVE) SetFocusToAbm(dialog_);
        return 0;
      }
      break;
    case WM_MOUSEACTIVATE:
      // Docked, the frame is a child and never activated itself.
      if (side_ != DOCK_FLOAT && IsWindow(dialog_)) SendMessageA(dialog_, DFM_ACTIVATE, WA_CLICKACTIVE, 0);
      break;
    case WM_NCLBUTTONDBLCLK:
      if (wParam == HTCAPTION) {
        Dock(side_ == DOCK_FLOAT ? lastDockedSide_ : DOCK_FLOAT);
        return 0;
      }
      break;
    case WM_EXITSIZEMOVE:
      // Dropped after a drag by the manager's move trigger: a docked frame
      // docks along the main window's edge nearest to where it was let go.
      if (side_ != DOCK_FLOAT) Dock(NearestSide());
      return 0;
    case WM_CLOSE:
      return OnClose();
    case DFM_SIZED:
      FitAroundDialog();
      return 0;
    case DFM_SHOW:
      ShowWindow(frame_, wParam ? (side_ == DOCK_FLOAT ? SW_SHOW : SW_SHOWNA) : SW_HIDE);
      if (side_ != DOCK_FLOAT) PostMessageA(main_, WM_DOCKFRAMECHANGED, reinterpret_cast<WPARAM>(frame_), 0);
      return 0;
    case kDestroyLater:
      DestroyWindow(frame_);
      return 0;
    case WM_DESTROY:
      going_ = true;
      SendMessageA(main_, WM_DOCKFRAMECHANGED, reinterpret_cast<WPARAM>(frame_), 1);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(frame_, message, wParam, lParam);
}

void DockFrame::Release() {
  dialog_ = nullptr;
  if (going_) return;
  ShowWindow(frame_, SW_HIDE);
  PostMessageA(frame_, kDestroyLater, 0, 0);
}
