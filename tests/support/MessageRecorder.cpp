#include "MessageRecorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace msgseq {
namespace {

const char kRecorderProperty[] = "AlbumKitMessageRecorder";
const char kWindowClass[] = "AlbumKitRecordingWindow";

// The message our pump is dispatching: when it reaches a recording window
// unchanged it was posted; everything else arrived sent.
thread_local const MSG* t_dispatching = nullptr;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* recorder = static_cast<Recorder*>(GetPropA(window, kRecorderProperty));
  if (!recorder) return DefWindowProcA(window, message, wParam, lParam);
  try {
    recorder->Note(window, message, wParam, lParam);
    return recorder->Forward(window, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

bool RegisterWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

struct Name {
  UINT message;
  const char* name;
};

const Name kNames[] = {
    {WM_CREATE, "WM_CREATE"},
    {WM_DESTROY, "WM_DESTROY"},
    {WM_MOVE, "WM_MOVE"},
    {WM_SIZE, "WM_SIZE"},
    {WM_ACTIVATE, "WM_ACTIVATE"},
    {WM_SETFOCUS, "WM_SETFOCUS"},
    {WM_KILLFOCUS, "WM_KILLFOCUS"},
    {WM_ENABLE, "WM_ENABLE"},
    {WM_SETTEXT, "WM_SETTEXT"},
    {WM_GETTEXT, "WM_GETTEXT"},
    {WM_PAINT, "WM_PAINT"},
    {WM_CLOSE, "WM_CLOSE"},
    {WM_ERASEBKGND, "WM_ERASEBKGND"},
    {WM_SHOWWINDOW, "WM_SHOWWINDOW"},
    {WM_ACTIVATEAPP, "WM_ACTIVATEAPP"},
    {WM_CANCELMODE, "WM_CANCELMODE"},
    {WM_SETCURSOR, "WM_SETCURSOR"},
    {WM_MOUSEACTIVATE, "WM_MOUSEACTIVATE"},
    {WM_GETMINMAXINFO, "WM_GETMINMAXINFO"},
    {WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING"},
    {WM_WINDOWPOSCHANGED, "WM_WINDOWPOSCHANGED"},
    {WM_NOTIFY, "WM_NOTIFY"},
    {WM_GETICON, "WM_GETICON"},
    {WM_NCCREATE, "WM_NCCREATE"},
    {WM_NCDESTROY, "WM_NCDESTROY"},
    {WM_NCCALCSIZE, "WM_NCCALCSIZE"},
    {WM_NCHITTEST, "WM_NCHITTEST"},
    {WM_NCPAINT, "WM_NCPAINT"},
    {WM_NCACTIVATE, "WM_NCACTIVATE"},
    {WM_NCMOUSEMOVE, "WM_NCMOUSEMOVE"},
    {WM_KEYDOWN, "WM_KEYDOWN"},
    {WM_KEYUP, "WM_KEYUP"},
    {WM_CHAR, "WM_CHAR"},
    {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"},
    {WM_SYSKEYUP, "WM_SYSKEYUP"},
    {WM_COMMAND, "WM_COMMAND"},
    {WM_TIMER, "WM_TIMER"},
    {WM_HSCROLL, "WM_HSCROLL"},
    {WM_VSCROLL, "WM_VSCROLL"},
    {WM_MOUSEMOVE, "WM_MOUSEMOVE"},
    {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
    {WM_LBUTTONUP, "WM_LBUTTONUP"},
    {WM_LBUTTONDBLCLK, "WM_LBUTTONDBLCLK"},
    {WM_RBUTTONDOWN, "WM_RBUTTONDOWN"},
    {WM_RBUTTONUP, "WM_RBUTTONUP"},
    {WM_RBUTTONDBLCLK, "WM_RBUTTONDBLCLK"},
    {WM_MBUTTONDOWN, "WM_MBUTTONDOWN"},
    {WM_MBUTTONUP, "WM_MBUTTONUP"},
    {WM_MOUSEWHEEL, "WM_MOUSEWHEEL"},
    {WM_PARENTNOTIFY, "WM_PARENTNOTIFY"},
    {WM_CAPTURECHANGED, "WM_CAPTURECHANGED"},
    {WM_IME_SETCONTEXT, "WM_IME_SETCONTEXT"},
    {WM_IME_NOTIFY, "WM_IME_NOTIFY"},
    {WM_MOUSELEAVE, "WM_MOUSELEAVE"},
    {WM_NCMOUSELEAVE, "WM_NCMOUSELEAVE"},
    {WM_SYNCPAINT, "WM_SYNCPAINT"},
    {AVM_ITEMDBLCLK, "AVM_ITEMDBLCLK"},
    {AVM_ITEMLBUTTONDOWN, "AVM_ITEMLBUTTONDOWN"},
    {AVM_ITEMBUTTONUP, "AVM_ITEMBUTTONUP"},
    {AVM_UPDATESCROLL, "AVM_UPDATESCROLL"},
    {AVM_FOCUSCHANGED, "AVM_FOCUSCHANGED"},
    {AVM_ITEMDROP, "AVM_ITEMDROP"},
    {AVM_ITEMRBUTTONDOWN, "AVM_ITEMRBUTTONDOWN"},
    {AVM_HSCROLL, "AVM_HSCROLL"},
    {AVM_VSCROLL, "AVM_VSCROLL"},
    {AVM_DRAGNOTIFY, "AVM_DRAGNOTIFY"},
};

const char* ActionName(int action) {
  switch (action) {
    case DRAG_BEGIN: return "begin";
    case DRAG_END: return "end";
    case DRAG_QUERY: return "query";
    case DRAG_DROP: return "drop";
    case DRAG_OVER: return "over";
    case DRAG_LEAVE: return "leave";
  }
  return "?";
}

std::string Hex(unsigned long value) {
  std::ostringstream out;
  out << "0x" << std::hex << value;
  return out.str();
}

std::string DescribeExpected(const Expected& expected) {
  std::ostringstream out;
  out << MessageName(expected.message);
  if (expected.flags & action) out << "(" << ActionName(static_cast<int>(expected.lParam)) << ")";
  if (expected.flags & sent) out << " sent";
  if (expected.flags & posted) out << " posted";
  if (expected.flags & wparam) out << " wParam " << Hex(expected.wParam);
  if ((expected.flags & lparam) && !(expected.flags & action)) out << " lParam " << Hex(expected.lParam);
  if (expected.stream >= 0) out << " [stream " << expected.stream << "]";
  if (expected.flags & optional) out << " (optional)";
  return out.str();
}

bool Matches(const Expected& expected, const Recorded& got) {
  if (expected.message != got.message) return false;
  if ((expected.flags & (sent | posted)) && (expected.flags & (sent | posted)) != (got.flags & (sent | posted))) {
    return false;
  }
  if ((expected.flags & wparam) && expected.wParam != got.wParam) return false;
  if (expected.flags & action) {
    if (!got.hasDrag || got.drag.ddAction != static_cast<int>(expected.lParam)) return false;
  } else if ((expected.flags & lparam) && expected.lParam != got.lParam) {
    return false;
  }
  return expected.stream < 0 || expected.stream == got.stream;
}

void Compare(const std::vector<Recorded>& got, const Expected* expected, const char* context, const char* file,
             int line) {
  const Expected* table = expected;
  size_t index = 0;
  std::string problem;
  while (expected->message || index < got.size()) {
    if (!expected->message) {
      problem = "expected the end, got " + Describe(got[index]);
      break;
    }
    // An optional entry gives way when the entry after it takes the same
    // message: a repeated message that did not come is no mismatch.
    bool givesWay = (expected->flags & optional) && expected[1].message && index < got.size() &&
                    Matches(expected[1], got[index]) &&
                    (index + 1 >= got.size() || !Matches(expected[1], got[index + 1]));
    if (!givesWay && index < got.size() && Matches(*expected, got[index])) {
      ++expected;
      ++index;
      continue;
    }
    if (expected->flags & optional) {
      ++expected;
      continue;
    }
    problem = "expected " + DescribeExpected(*expected) + ", got " +
              (index < got.size() ? Describe(got[index]) : std::string("nothing more"));
    break;
  }
  if (problem.empty()) return;
  std::ostringstream out;
  out << context << ": message " << index << ": " << problem << "\n  expected sequence:\n";
  for (const Expected* e = table; e->message; ++e) out << "    " << DescribeExpected(*e) << "\n";
  out << "  recorded sequence:\n";
  for (const Recorded& r : got) out << "    " << Describe(r) << "\n";
  ADD_FAILURE_AT(file, line) << out.str();
}

void SendMouse(DWORD flags) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
}

void SendKey(WORD key, DWORD flags) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, 0));
  input.ki.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
}

void DispatchOne(const MSG& message) {
  const MSG* outer = t_dispatching;
  t_dispatching = &message;
  TranslateMessage(&message);
  DispatchMessageA(&message);
  t_dispatching = outer;
}

}  // namespace

Recorder::Recorder()
    : noise_{WM_PAINT,       WM_NCPAINT,     WM_ERASEBKGND,     WM_SYNCPAINT,  WM_NCHITTEST,      WM_GETICON,
             WM_SETCURSOR,   WM_MOUSEMOVE,   WM_NCMOUSEMOVE,    WM_TIMER,      0x0118 /* system timer */,
             WM_GETTEXT,     WM_GETTEXTLENGTH, WM_IME_SETCONTEXT, WM_IME_NOTIFY, WM_MOUSELEAVE,
             WM_NCMOUSELEAVE, WM_GETMINMAXINFO, WM_CTLCOLORBTN, WM_CTLCOLORSTATIC, WM_GETOBJECT,
             0x031F /* non-client rendering changed */} {}

Recorder::~Recorder() {
  std::vector<HWND> created;
  std::vector<std::pair<HWND, WNDPROC>> subclassed;
  for (auto& entry : windows_) {
    if (entry.second.created) {
      created.push_back(entry.first);
    } else {
      subclassed.emplace_back(entry.first, entry.second.previous);
    }
  }
  for (auto& entry : subclassed) {
    if (IsWindow(entry.first)) {
      SetWindowLongPtrA(entry.first, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(entry.second));
      RemovePropA(entry.first, kRecorderProperty);
    }
    windows_.erase(entry.first);
  }
  // Children go with their parents: destroy the top-level ones first and
  // only what is still there afterwards.
  for (HWND window : created) {
    if (IsWindow(window) && !(GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD)) DestroyWindow(window);
  }
  for (HWND window : created) {
    if (IsWindow(window)) DestroyWindow(window);
  }
}

HWND Recorder::CreateTopWindow(int stream, const RECT& screen, Responder responder) {
  if (!RegisterWindowClass()) return nullptr;
  HWND window = CreateWindowExA(WS_EX_TOPMOST, kWindowClass, "recording window", WS_POPUP | WS_VISIBLE,
                                screen.left, screen.top, screen.right - screen.left, screen.bottom - screen.top,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!window) return nullptr;
  if (!Subclass(window, stream, std::move(responder))) {
    DestroyWindow(window);
    return nullptr;
  }
  windows_[window].created = true;
  return window;
}

HWND Recorder::CreateChildWindow(int stream, HWND parent, const RECT& client, Responder responder) {
  if (!RegisterWindowClass()) return nullptr;
  HWND window = CreateWindowExA(0, kWindowClass, "recording child", WS_CHILD | WS_VISIBLE, client.left,
                                client.top, client.right - client.left, client.bottom - client.top, parent,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!window) return nullptr;
  if (!Subclass(window, stream, std::move(responder))) {
    DestroyWindow(window);
    return nullptr;
  }
  windows_[window].created = true;
  return window;
}

bool Recorder::Subclass(HWND window, int stream, Responder responder) {
  if (!IsWindow(window) || windows_.count(window)) return false;
  if (!SetPropA(window, kRecorderProperty, this)) return false;
  Window entry;
  entry.stream = stream;
  entry.responder = std::move(responder);
  entry.previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
  windows_[window] = std::move(entry);
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc));
  streams_[stream];
  return true;
}

void Recorder::SetResponder(HWND window, Responder responder) {
  auto found = windows_.find(window);
  if (found != windows_.end()) found->second.responder = std::move(responder);
}

void Recorder::Record(UINT message) { noise_.erase(message); }

void Recorder::Ignore(UINT message) { noise_.insert(message); }

void Recorder::RecordOnly(std::initializer_list<UINT> messages) { only_ = messages; }

bool Recorder::Wanted(UINT message) const {
  if (!only_.empty()) return only_.count(message) != 0;
  return noise_.count(message) == 0;
}

const std::vector<Recorded>& Recorder::Stream(int stream) const {
  static const std::vector<Recorded> kEmpty;
  auto found = streams_.find(stream);
  return found == streams_.end() ? kEmpty : found->second;
}

std::vector<Recorded> Recorder::Merged() const {
  std::vector<Recorded> all;
  for (const auto& stream : streams_) all.insert(all.end(), stream.second.begin(), stream.second.end());
  std::sort(all.begin(), all.end(), [](const Recorded& a, const Recorded& b) { return a.order < b.order; });
  return all;
}

void Recorder::Flush() {
  for (auto& stream : streams_) stream.second.clear();
}

void Recorder::Note(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto found = windows_.find(window);
  if (found == windows_.end() || !Wanted(message)) return;
  Recorded entry;
  entry.window = window;
  entry.stream = found->second.stream;
  entry.message = message;
  entry.wParam = wParam;
  entry.lParam = lParam;
  const MSG* dispatching = t_dispatching;
  if (dispatching && dispatching->hwnd == window && dispatching->message == message &&
      dispatching->wParam == wParam && dispatching->lParam == lParam) {
    entry.flags = posted;
    t_dispatching = nullptr;  // a nested identical send is a send
  } else {
    entry.flags = sent;
  }
  // The drag record is reused for every step: keep it as this step saw it.
  if (message == AVM_DRAGNOTIFY && lParam) {
    entry.hasDrag = true;
    entry.drag = *reinterpret_cast<const tagDRAGNOTIFY*>(lParam);
  }
  entry.order = next_++;
  streams_[entry.stream].push_back(entry);
}

LRESULT Recorder::Forward(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto found = windows_.find(window);
  if (found == windows_.end()) return DefWindowProcA(window, message, wParam, lParam);
  WNDPROC previous = found->second.previous;
  Responder responder = found->second.responder;  // may replace itself while it runs
  LRESULT result = 0;
  if (message != WM_NCDESTROY && responder && responder(window, message, wParam, lParam, &result)) return result;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    RemovePropA(window, kRecorderProperty);
    windows_.erase(window);
  }
  return CallWindowProcA(previous, window, message, wParam, lParam);
}

std::string MessageName(UINT message) {
  for (const Name& name : kNames) {
    if (name.message == message) return name.name;
  }
  return Hex(message);
}

std::string Describe(const Recorded& message) {
  std::ostringstream out;
  out << MessageName(message.message);
  if (message.hasDrag) {
    const tagDRAGNOTIFY& drag = message.drag;
    out << "(" << ActionName(drag.ddAction) << ") keys " << Hex(drag.ddKeys) << " at (" << drag.ddX << ","
        << drag.ddY << ") effect " << drag.ddEffect << " kind " << drag.ddKind;
  } else {
    out << " wParam " << Hex(message.wParam) << " lParam " << Hex(message.lParam);
  }
  out << ((message.flags & posted) ? " posted" : " sent") << " [stream " << message.stream << "]";
  return out.str();
}

void CheckSequence(const Recorder& recorder, int stream, const Expected* expected, const char* context,
                   const char* file, int line) {
  Compare(recorder.Stream(stream), expected, context, file, line);
}

void CheckMerged(const Recorder& recorder, const Expected* expected, const char* context, const char* file,
                 int line) {
  Compare(recorder.Merged(), expected, context, file, line);
}

void PumpUntilIdle() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchOne(message);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    PumpUntilIdle();
    if (done()) return true;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
  }
}

bool MakeForeground(HWND window) {
  SetForegroundWindow(window);
  SetActiveWindow(window);
  SetFocus(window);
  PumpUntil([window] { return GetForegroundWindow() == window; }, 2000);
  return GetForegroundWindow() == window;
}

void MoveCursor(POINT screen) { SetCursorPos(screen.x, screen.y); }

void MoveCursor(HWND window, POINT client) {
  ClientToScreen(window, &client);
  MoveCursor(client);
}

void LeftDown() { SendMouse(MOUSEEVENTF_LEFTDOWN); }

void LeftUp() { SendMouse(MOUSEEVENTF_LEFTUP); }

// Each waits until the key's state has changed, so that the mouse and key
// messages that follow carry it even on a busy machine.
void KeyDown(WORD key) {
  SendKey(key, 0);
  PumpUntil([key] { return (GetAsyncKeyState(key) & 0x8000) != 0; }, 2000);
}

void WithCtrl(std::initializer_list<DWORD> buttons) {
  std::vector<INPUT> inputs;
  INPUT key = {};
  key.type = INPUT_KEYBOARD;
  key.ki.wVk = VK_CONTROL;
  key.ki.wScan = static_cast<WORD>(MapVirtualKeyA(VK_CONTROL, 0));
  inputs.push_back(key);
  for (DWORD flags : buttons) {
    INPUT button = {};
    button.type = INPUT_MOUSE;
    button.mi.dwFlags = flags;
    inputs.push_back(button);
  }
  key.ki.dwFlags = KEYEVENTF_KEYUP;
  inputs.push_back(key);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  PumpUntilIdle();
}

void KeyUp(WORD key) {
  SendKey(key, KEYEVENTF_KEYUP);
  PumpUntil([key] { return (GetAsyncKeyState(key) & 0x8000) == 0; }, 2000);
}

POINT ScreenCentre(HWND window) {
  RECT client = {};
  GetClientRect(window, &client);
  POINT centre = {client.right / 2, client.bottom / 2};
  ClientToScreen(window, &centre);
  return centre;
}

}  // namespace msgseq
