// The drag tracker and the invisible drag window. Album views drag items to
// each other without OLE: a press armed on a view becomes a drag once the
// mouse leaves the system drag rectangle; a hidden window then holds the
// capture and talks to the windows under the cursor with AVM_DRAGNOTIFY,
// all carrying the one drag record below.
#include "views/DragWindow.h"

#include <windowsx.h>

#include <cstdlib>

namespace {

const char kDragClassName[] = "DDWDNCLASS";
const char kDragWindowTitle[] = "ddwnd";

enum class Phase {
  Idle,       // no drag window
  Dragging,   // the drag window holds the capture and sends over/leave steps
  Releasing,  // the button went up: the drop protocol is running
  Ending,     // the drag is being closed; capture changes are our own
};

struct DragTracker {
  tagDRAGNOTIFY record{};
  HWND armed = nullptr;         // not owned: the view that saw the press
  int x0 = 0;                   // press position in the armed view's client area
  int y0 = 0;
  HWND source = nullptr;        // not owned: the view the drag started from
  HWND dragWindow = nullptr;    // owned: destroyed when the drag ends
  HWND lastTarget = nullptr;    // not owned: where the last over step stopped
  int kind = 0;                 // the armed data kind, put back into the record before every step
  WPARAM keys = 0;              // key flags of the drag window's last mouse message
  HHOOK keyboardHook = nullptr; // owned while a drag runs: Escape cancels it
  Phase phase = Phase::Idle;
  bool cancelRequested = false;  // CancelDrag arrived while the drop protocol ran
  bool sourceTold = false;       // the source has heard the end step, or refused the begin step
  bool classRegistered = false;
  HINSTANCE classInstance = nullptr;  // the instance the class was registered with
};

DragTracker g_drag;

bool IsCurrentDrag(HWND window) { return window && g_drag.dragWindow == window; }

// One protocol step: the fields every receiver relies on are set afresh,
// because the previous receiver may have written anything into the record.
void SendStep(HWND to, int action, WPARAM keys, int kind) {
  tagDRAGNOTIFY& record = g_drag.record;
  record.ddAction = action;
  record.ddKeys = static_cast<int>(keys);
  record.ddKind = kind;
  record.ddHandled = 0;
  SendMessageA(to, AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&record));
}

// The query and over steps also carry the cursor in the receiver's client
// coordinates.
void SendStepAt(HWND to, int action, WPARAM keys, int kind, POINT screen) {
  POINT client = screen;
  ScreenToClient(to, &client);
  g_drag.record.ddX = client.x;
  g_drag.record.ddY = client.y;
  SendStep(to, action, keys, kind);
}

// The source hears that the drag ended without a drop, unless it already
// heard the end or declined to take part.
void TellSourceNoDrop(WPARAM keys, int kind) {
  if (g_drag.sourceTold) return;
  g_drag.sourceTold = true;
  g_drag.record.ddEffect = DRAG_EFFECT_NONE;
  if (IsWindow(g_drag.source)) SendStep(g_drag.source, DRAG_END, keys, kind);
}

// Ends a drag that did not reach a drop (Escape, lost capture, CancelDrag,
// the window closed or destroyed by someone else): the last target of the
// over steps takes down its hover mark and the source forgets its drag data.
void NotifyAbandoned(bool leaveLastTarget) {
  g_drag.phase = Phase::Ending;
  const WPARAM keys = g_drag.keys;
  const int kind = g_drag.kind;
  HWND last = g_drag.lastTarget;
  g_drag.lastTarget = nullptr;
  if (leaveLastTarget && last && IsWindow(last)) SendStep(last, DRAG_LEAVE, keys, kind);
  TellSourceNoDrop(keys, kind);
}

void AbandonDrag(HWND self) {
  if (g_drag.phase != Phase::Dragging) return;
  NotifyAbandoned(true);
  if (IsWindow(self)) DestroyWindow(self);
}

POINT ToScreen(HWND self, LPARAM position) {
  POINT point = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  ClientToScreen(self, &point);
  return point;
}

LRESULT OnMouseMove(HWND self, WPARAM keys, LPARAM position) {
  if (g_drag.phase != Phase::Dragging) return 1;
  tagDRAGNOTIFY& record = g_drag.record;
  const int kind = g_drag.kind;
  const POINT screen = ToScreen(self, position);
  HWND target = WindowFromPoint(screen);
  g_drag.keys = keys;

  if (g_drag.lastTarget && target != g_drag.lastTarget) {
    HWND last = g_drag.lastTarget;
    g_drag.lastTarget = nullptr;
    if (IsWindow(last)) SendStep(last, DRAG_LEAVE, keys, kind);
    if (!IsCurrentDrag(self) || g_drag.phase != Phase::Dragging) return 1;
  }

  // The over step climbs from the window under the cursor while each
  // receiver answers it without accepting; the first one that ignores it
  // ends the climb. The marks are set after the leave step, so that a
  // previous target that ignores the leave cannot keep the new one from
  // hearing the over.
  record.ddHandled = 1;
  record.ddEffect = DRAG_EFFECT_REFUSED;
  while (record.ddEffect != DRAG_EFFECT_ACCEPTED && target && record.ddHandled == 1) {
    SendStepAt(target, DRAG_OVER, keys, kind, screen);
    if (!IsCurrentDrag(self) || g_drag.phase != Phase::Dragging) return 1;
    if (record.ddEffect == DRAG_EFFECT_ACCEPTED) break;
    target = GetParent(target);
  }
  g_drag.lastTarget = target;
  return 1;
}

// Runs the drop protocol: query (bubbling up from the window under the
// cursor until one accepts), begin to the source, drop to the acceptor, end
// to the source. Receivers may call CancelDrag on the way; the window is
// closed only here, after the last step.
LRESULT OnButtonUp(HWND self, WPARAM keys, LPARAM position) {
  if (g_drag.phase != Phase::Dragging) return 1;
  g_drag.phase = Phase::Releasing;
  ReleaseCapture();
  tagDRAGNOTIFY& record = g_drag.record;
  const int kind = g_drag.kind;
  const POINT screen = ToScreen(self, position);
  HWND target = WindowFromPoint(screen);
  g_drag.lastTarget = nullptr;
  g_drag.keys = keys;
  record.ddEffect = DRAG_EFFECT_REFUSED;
  record.ddHandled = 1;

  while (record.ddEffect != DRAG_EFFECT_ACCEPTED && target && !g_drag.cancelRequested) {
    SendStepAt(target, DRAG_QUERY, keys, kind, screen);
    if (!IsCurrentDrag(self)) return 1;  // destroyed by a receiver: the source has been told
    if (record.ddEffect == DRAG_EFFECT_ACCEPTED) break;
    target = GetParent(target);
  }

  // An acceptor that did not mark the query handled counts as no acceptor.
  const bool accepted = target && record.ddEffect == DRAG_EFFECT_ACCEPTED && record.ddHandled;
  if (!accepted || g_drag.cancelRequested) {
    TellSourceNoDrop(keys, kind);
  } else {
    SendStep(g_drag.source, DRAG_BEGIN, keys, kind);
    if (!IsCurrentDrag(self)) return 1;
    if (!record.ddHandled && !g_drag.cancelRequested) {
      g_drag.sourceTold = true;  // the source declined the drag: nothing of it to undo
    } else if (g_drag.cancelRequested) {
      TellSourceNoDrop(keys, kind);
    } else {
      SendStep(target, DRAG_DROP, keys, kind);
      if (!IsCurrentDrag(self)) return 1;
      if (!record.ddHandled || g_drag.cancelRequested) {
        TellSourceNoDrop(keys, kind);
      } else {
        g_drag.sourceTold = true;
        SendStep(g_drag.source, DRAG_END, keys, kind);  // ddEffect as the acceptor left it
      }
    }
  }
  if (!IsCurrentDrag(self)) return 1;
  g_drag.phase = Phase::Ending;
  DestroyWindow(self);
  return 1;
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM key, LPARAM flags) {
  HHOOK hook = g_drag.keyboardHook;
  try {
    const bool keyDown = (flags & 0x80000000) == 0;
    if (code == HC_ACTION && key == VK_ESCAPE && keyDown && g_drag.phase == Phase::Dragging && g_drag.dragWindow) {
      SendMessageA(g_drag.dragWindow, WM_CLOSE, 0, 0);
      return 1;  // the Escape belonged to the drag, not to the focused window
    }
  } catch (...) {
  }
  return CallNextHookEx(hook, code, key, flags);
}

void ForgetDragWindow() {
  if (g_drag.keyboardHook) UnhookWindowsHookEx(g_drag.keyboardHook);
  g_drag.keyboardHook = nullptr;
  g_drag.dragWindow = nullptr;
  g_drag.source = nullptr;
  g_drag.lastTarget = nullptr;
  g_drag.cancelRequested = false;
  g_drag.phase = Phase::Idle;
}

LRESULT HandleDragMessage(HWND self, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      g_drag.dragWindow = self;
      g_drag.phase = Phase::Dragging;
      SetCapture(self);
      g_drag.keyboardHook = SetWindowsHookExA(WH_KEYBOARD, KeyboardHook, nullptr, GetCurrentThreadId());
      return 1;
    case WM_MOUSEMOVE:
      return OnMouseMove(self, wParam, lParam);
    case WM_LBUTTONUP:
      return OnButtonUp(self, wParam, lParam);
    case WM_CAPTURECHANGED:
      // Another window took the mouse (a menu, a message box, the host):
      // the drag cannot see the release any more.
      if (IsCurrentDrag(self) && reinterpret_cast<HWND>(lParam) != self) AbandonDrag(self);
      return 0;
    case WM_CANCELMODE:
      if (IsCurrentDrag(self)) AbandonDrag(self);
      return 0;
    case WM_CLOSE:
      if (IsCurrentDrag(self) && g_drag.phase == Phase::Releasing) {
        g_drag.cancelRequested = true;  // the drop protocol finishes and closes
        return 0;
      }
      if (IsCurrentDrag(self) && g_drag.phase == Phase::Dragging) {
        AbandonDrag(self);
        return 0;
      }
      break;
    case WM_DESTROY:
      if (IsCurrentDrag(self)) {
        // Destroyed from outside while the drag ran: still say goodbye.
        if (g_drag.phase == Phase::Dragging) NotifyAbandoned(true);
        if (g_drag.phase == Phase::Releasing) NotifyAbandoned(false);
        g_drag.phase = Phase::Ending;
        if (GetCapture() == self) ReleaseCapture();
      }
      return 0;
    case WM_NCDESTROY:
      if (IsCurrentDrag(self)) ForgetDragWindow();
      break;
  }
  return DefWindowProcA(self, message, wParam, lParam);
}

LRESULT CALLBACK DragWindowProc(HWND self, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return HandleDragMessage(self, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

bool RegisterDragClass(HINSTANCE instance) {
  if (g_drag.classRegistered) return true;
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = 0;
  windowClass.lpfnWndProc = DragWindowProc;
  windowClass.hInstance = instance;
  // The window is never shown: missing icon and cursor resources are fine.
  windowClass.hIcon = LoadIconA(instance, "mi");
  windowClass.hCursor = LoadCursorA(instance, MAKEINTRESOURCEA(32648));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = kDragClassName;
  if (!RegisterClassExA(&windowClass)) return false;
  g_drag.classRegistered = true;
  g_drag.classInstance = instance;
  return true;
}

}  // namespace

static_assert(sizeof(WNDCLASSEXA) == 48, "the drag window class record is 48 bytes");

tagDRAGNOTIFY* GetDragRecord() { return &g_drag.record; }

void ArmDrag(HWND window, WPARAM /*keyFlags*/, LPARAM position, int kind) {
  if (g_drag.phase != Phase::Idle) return;  // one drag at a time; its kind stays
  g_drag.armed = window;
  g_drag.x0 = GET_X_LPARAM(position);
  g_drag.y0 = GET_Y_LPARAM(position);
  g_drag.record.ddKind = kind;
}

bool TestDragStart(HWND window, WPARAM keyFlags, LPARAM position) {
  try {
    if (!(keyFlags & MK_LBUTTON)) {
      g_drag.armed = nullptr;
      return false;
    }
    if (!window || window != g_drag.armed || g_drag.phase != Phase::Idle) return false;
    const int dx = GET_X_LPARAM(position) - g_drag.x0;
    const int dy = GET_Y_LPARAM(position) - g_drag.y0;
    if (std::abs(dx) < GetSystemMetrics(SM_CXDRAG) && std::abs(dy) < GetSystemMetrics(SM_CYDRAG)) return false;

    g_drag.armed = nullptr;
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    if (!RegisterDragClass(instance)) return false;

    g_drag.source = window;
    g_drag.kind = g_drag.record.ddKind;
    g_drag.keys = keyFlags;
    g_drag.lastTarget = nullptr;
    g_drag.cancelRequested = false;
    g_drag.sourceTold = false;
    // Left over from the previous drag: its data belonged to that source.
    g_drag.record.ddData = nullptr;
    g_drag.record.ddBeginResult = 0;
    g_drag.record.ddEffect = DRAG_EFFECT_REFUSED;
    // Created with the registering instance: a class is found by its name
    // and the instance it was registered with.
    HWND dragWindow = CreateWindowExA(0, kDragClassName, kDragWindowTitle, 0, 0, 0, 0, 0, nullptr, nullptr,
                                      g_drag.classInstance, nullptr);
    if (!dragWindow) {
      g_drag.source = nullptr;
      return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

bool CancelDrag() {
  g_drag.armed = nullptr;
  HWND dragWindow = g_drag.dragWindow;
  if (!dragWindow) return true;
  if (GetCapture() == dragWindow) ReleaseCapture();
  SendMessageA(dragWindow, WM_CLOSE, 0, 0);
  return true;
}

void ReleaseDragWindowClass() {
  HWND dragWindow = g_drag.dragWindow;
  if (dragWindow && GetWindowThreadProcessId(dragWindow, nullptr) == GetCurrentThreadId()) {
    g_drag.phase = Phase::Ending;  // the component is going away: no more steps
    DestroyWindow(dragWindow);
  }
  if (g_drag.classRegistered && UnregisterClassA(kDragClassName, g_drag.classInstance)) {
    g_drag.classRegistered = false;
    g_drag.classInstance = nullptr;
  }
}
