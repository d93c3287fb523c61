// Message-sequence recording for window tests: expected sequences are
// zero-terminated tables, recording windows keep one stream each, and a
// check prints both sequences with message names on a mismatch.
//
//   static const msgseq::Expected kDrop[] = {
//     { AVM_DRAGNOTIFY, sent|action, 0, DRAG_QUERY },
//     { AVM_DRAGNOTIFY, sent|action, 0, DRAG_DROP },
//     { 0 } };
//   ok_sequence(recorder, kTarget, kDrop, "drop on the target");
//
// Input: the helpers below move the real cursor (SetCursorPos, for which
// Wine queues a WM_MOUSEMOVE) and press buttons and keys with SendInput, so
// messages go through the system's routing and capture like a user's. Under
// Wine the routing follows the foreground window's thread: a test makes one
// of its windows the foreground first (MakeForeground). With that, Wine on
// Xvfb delivers moves, buttons and keys, capture included, so the helpers
// never fall back to posting WM_ messages to a window.
#pragma once

#include <windows.h>

#include <album.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace msgseq {

enum Flags : unsigned {
  sent = 0x1,      // arrived through SendMessage or from the system directly
  posted = 0x2,    // taken from the queue and dispatched
  wparam = 0x4,    // compare wParam
  lparam = 0x8,    // compare lParam
  optional = 0x10, // may be missing
  action = 0x20,   // AVM_DRAGNOTIFY: lParam of the table holds the expected ddAction
};

struct Expected {
  UINT message = 0;  // 0 ends a table
  unsigned flags = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  int stream = -1;   // in merged checks: the stream it must arrive in (-1: any)
};

struct Recorded {
  HWND window = nullptr;
  int stream = 0;
  UINT message = 0;
  unsigned flags = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  bool hasDrag = false;
  tagDRAGNOTIFY drag{};  // AVM_DRAGNOTIFY: the record as it was when the step arrived
  unsigned order = 0;    // arrival order across all streams
};

// Answers a message for a recording window: true when it produced *result;
// false passes the message on to the window's own procedure.
using Responder = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)>;

class Recorder {
 public:
  Recorder();
  ~Recorder();  // destroys the windows it created, restores the subclassed ones
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // A visible, top-most popup at the given screen rectangle, recording into
  // stream. Null when the window cannot be made.
  HWND CreateTopWindow(int stream, const RECT& screen, Responder responder = {});
  // A visible child at the given rectangle of the parent's client area.
  HWND CreateChildWindow(int stream, HWND parent, const RECT& client, Responder responder = {});
  // Records what reaches an existing window (of this thread) into stream.
  bool Subclass(HWND window, int stream, Responder responder = {});
  void SetResponder(HWND window, Responder responder);

  // Noise that is never recorded unless asked for (WM_PAINT, WM_NCHITTEST,
  // WM_SETCURSOR, WM_MOUSEMOVE, WM_TIMER, ...).
  void Record(UINT message);   // record it after all
  void Ignore(UINT message);   // never record it
  // When set, only these messages are recorded.
  void RecordOnly(std::initializer_list<UINT> messages);

  const std::vector<Recorded>& Stream(int stream) const;
  std::vector<Recorded> Merged() const;  // all streams in arrival order
  void Flush();

  // Used by the recording window procedure.
  void Note(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Forward(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  struct Window {
    int stream = 0;
    WNDPROC previous = nullptr;  // the window's own procedure
    Responder responder;
    bool created = false;        // owned: destroyed with the recorder
  };
  bool Wanted(UINT message) const;

  std::map<HWND, Window> windows_;
  std::map<int, std::vector<Recorded>> streams_;
  std::set<UINT> noise_;
  std::set<UINT> only_;
  unsigned next_ = 0;
};

// Text for a message: its name, and the drag action for AVM_DRAGNOTIFY.
std::string Describe(const Recorded& message);
std::string MessageName(UINT message);

// Compares one stream (or all streams in order) with a zero-terminated
// table; on a mismatch adds a gtest failure at file:line with both sequences.
void CheckSequence(const Recorder& recorder, int stream, const Expected* expected, const char* context,
                   const char* file, int line);
void CheckMerged(const Recorder& recorder, const Expected* expected, const char* context, const char* file,
                 int line);

// Dispatches everything that is queued now.
void PumpUntilIdle();
// Dispatches messages until done() holds or timeoutMs passes; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Makes the window the foreground and focus window (input goes to its thread).
bool MakeForeground(HWND window);

// Real input at screen coordinates.
void MoveCursor(POINT screen);
void MoveCursor(HWND window, POINT client);  // a point of the window's client area
void LeftDown();
void LeftUp();
void KeyDown(WORD key);
void KeyUp(WORD key);
// Button actions (MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP) made with Ctrl
// held, all in one SendInput call: Ctrl down, the actions, Ctrl up. Wine
// sets its modifier keys from the X server's keyboard whenever the X server
// reports a window entered or focused, and there the test's Ctrl is never
// down; on a busy machine such a report can be handled between a separate
// KeyDown and the button, and the button then goes without Ctrl. Nothing
// is handled between inputs of one call, and the buttons' messages carry
// MK_CONTROL as a user's would.
void WithCtrl(std::initializer_list<DWORD> buttons);

// The centre of a window's client area in screen coordinates.
POINT ScreenCentre(HWND window);

}  // namespace msgseq

#define ok_sequence(recorder, stream, expected, context) \
  ::msgseq::CheckSequence((recorder), (stream), (expected), (context), __FILE__, __LINE__)
#define ok_merged(recorder, expected, context) \
  ::msgseq::CheckMerged((recorder), (expected), (context), __FILE__, __LINE__)
