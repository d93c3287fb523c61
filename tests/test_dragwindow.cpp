// The drag tracker and the drag window, driven by real input: the cursor is
// moved with SetCursorPos and the button and keys pressed with SendInput,
// so the press, the capture and the release go through the system's own
// routing. The windows are shown and top-most, because WindowFromPoint
// sees nothing else, and every AVM_DRAGNOTIFY step is recorded per window
// with the drag record as it was when the step arrived.
#include <gtest/gtest.h>

#include "support/Processes.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "support/MessageRecorder.h"
#include "views/DragWindow.h"

namespace {

using namespace msgseq;

enum Stream { kSource = 1, kTarget, kSecondTarget, kChild };

// Once the drag window holds the capture, Wine repeats the last mouse move
// to it: an over step at the source that a system need not send.
const Expected kRepeatedMove = {AVM_DRAGNOTIFY, sent | action | optional, 0, DRAG_OVER, kSource};

// How a recording window takes part in the drag protocol.
struct Role {
  bool armsDrags = false;      // arms on a press and tests the start on moves, as a cell does
  bool handles = false;        // marks every step handled
  bool acceptsOver = false;    // ddEffect 2 on the over step
  bool acceptsQuery = false;   // ddEffect 2 on the drop query
  bool ignoresQuery = false;   // leaves the drop query alone even when it handles the rest
  bool refusesBegin = false;   // leaves the begin step unhandled
  bool cancelsInBegin = false; // calls CancelDrag in the begin step
  bool refusesDrop = false;    // leaves the drop step unhandled
  bool scribbles = false;      // writes nonsense into the record on every step
  int dragStarts = 0;          // TestDragStart answered true
  int escapes = 0;             // Escape key presses that reached the window
};

Responder Respond(Role* role) {
  return [role](HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (role->armsDrags && message == WM_LBUTTONDOWN) ArmDrag(window, wParam, lParam, DRAG_KIND_ITEMS);
    if (role->armsDrags && message == WM_MOUSEMOVE && TestDragStart(window, wParam, lParam)) ++role->dragStarts;
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) ++role->escapes;
    if (message != AVM_DRAGNOTIFY) return false;
    auto* record = reinterpret_cast<tagDRAGNOTIFY*>(lParam);
    const int step = record->ddAction;
    if (role->handles) record->ddHandled = 1;
    if (step == DRAG_OVER && role->acceptsOver) record->ddEffect = DRAG_EFFECT_ACCEPTED;
    if (step == DRAG_QUERY && role->ignoresQuery) record->ddHandled = 0;
    if (step == DRAG_QUERY && role->acceptsQuery) record->ddEffect = DRAG_EFFECT_ACCEPTED;
    if (step == DRAG_BEGIN && role->refusesBegin) record->ddHandled = 0;
    if (step == DRAG_BEGIN && role->cancelsInBegin) CancelDrag();
    if (step == DRAG_DROP && role->refusesDrop) record->ddHandled = 0;
    if (role->scribbles) {
      record->ddKind = 99;
      record->ddKeys = 0x4000;
      record->ddAction = 42;
    }
    *result = 0;
    return true;
  };
}

// A window that takes drops: it answers over, query and drop.
void MakeAcceptor(Role& role) {
  role.handles = true;
  role.acceptsOver = true;
  role.acceptsQuery = true;
}

BOOL CALLBACK CollectDragWindow(HWND window, LPARAM list) {
  char name[32] = "";
  GetClassNameA(window, name, sizeof(name));
  if (std::strcmp(name, "DDWDNCLASS") == 0) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::vector<HWND> DragWindows() {
  std::vector<HWND> found;
  EnumThreadWindows(GetCurrentThreadId(), CollectDragWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND DragWindow() {
  std::vector<HWND> windows = DragWindows();
  return windows.empty() ? nullptr : windows.front();
}

// The steps one stream received, in order.
std::vector<Recorded> Steps(const Recorder& recorder, int stream) {
  std::vector<Recorded> steps;
  for (const Recorded& message : recorder.Stream(stream)) {
    if (message.hasDrag) steps.push_back(message);
  }
  return steps;
}

const Recorded* FindStep(const Recorder& recorder, int stream, int action) {
  for (const Recorded& message : recorder.Stream(stream)) {
    if (message.hasDrag && message.drag.ddAction == action) return &message;
  }
  return nullptr;
}

class DragWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dragX_ = GetSystemMetrics(SM_CXDRAG);
    dragY_ = GetSystemMetrics(SM_CYDRAG);
    recorder_.RecordOnly({WM_LBUTTONDOWN, AVM_DRAGNOTIFY});
    source_ = recorder_.CreateTopWindow(kSource, RECT{100, 100, 300, 300}, Respond(&sourceRole_));
    target_ = recorder_.CreateTopWindow(kTarget, RECT{400, 100, 600, 300}, Respond(&targetRole_));
    ASSERT_TRUE(source_ && target_) << "Expected the test windows, got none";
    ASSERT_TRUE(MakeForeground(source_)) << "Expected the source window in the foreground";
    sourceRole_.armsDrags = true;
    sourceRole_.handles = true;
    MoveTo(source_, kPress);
    recorder_.Flush();
  }

  void TearDown() override {
    if (buttonDown_) LeftUp();
    CancelDrag();
    PumpUntilIdle();
    EXPECT_EQ(DragWindow(), nullptr) << "Expected no drag window after the test, got one";
  }

  void MoveTo(HWND window, POINT client) {
    MoveCursor(window, client);
    PumpUntilIdle();
  }

  void Press(HWND window, POINT client) {
    MoveTo(window, client);
    LeftDown();
    buttonDown_ = true;
    PumpUntilIdle();
  }

  void Release() {
    LeftUp();
    buttonDown_ = false;
    PumpUntil([] { return DragWindow() == nullptr; }, 2000);
  }

  // Ctrl is pressed with the release, in one go (see WithCtrl).
  void ReleaseWithCtrl() {
    WithCtrl({MOUSEEVENTF_LEFTUP});
    buttonDown_ = false;
    PumpUntil([] { return DragWindow() == nullptr; }, 2000);
  }

  // Presses in the source and moves right by the drag distance.
  void StartDrag() {
    Press(source_, kPress);
    MoveTo(source_, POINT{kPress.x + dragX_, kPress.y});
    ASSERT_NE(DragWindow(), nullptr) << "Expected a drag window after moving " << dragX_ << " pixels";
  }

  // The drag window is gone and nobody kept the mouse.
  void ExpectClosed() {
    EXPECT_EQ(DragWindow(), nullptr) << "Expected the drag window closed, got one";
    EXPECT_EQ(GetCapture(), nullptr) << "Expected the capture released, got a capture window";
  }

  static constexpr POINT kPress = {50, 50};
  int dragX_ = 0;
  int dragY_ = 0;
  Recorder recorder_;
  Role sourceRole_;
  Role targetRole_;
  HWND source_ = nullptr;
  HWND target_ = nullptr;
  bool buttonDown_ = false;
};

constexpr POINT DragWindowTest::kPress;

// --- Starting a drag --------------------------------------------------------

TEST_F(DragWindowTest, MovesInsideTheDragRectangleStartNothing) {
  Press(source_, kPress);
  MoveTo(source_, POINT{kPress.x + dragX_ - 1, kPress.y + dragY_ - 1});
  MoveTo(source_, POINT{kPress.x - (dragX_ - 1), kPress.y - (dragY_ - 1)});
  EXPECT_EQ(sourceRole_.dragStarts, 0) << "Expected no drag start inside the drag rectangle";
  EXPECT_EQ(DragWindow(), nullptr) << "Expected no drag window inside the drag rectangle, got one";
  Release();
  EXPECT_TRUE(Steps(recorder_, kSource).empty()) << "Expected no protocol step without a drag, got "
                                                 << Steps(recorder_, kSource).size();
}

TEST_F(DragWindowTest, TheHorizontalDistanceAloneStartsTheDrag) {
  Press(source_, kPress);
  MoveTo(source_, POINT{kPress.x - dragX_, kPress.y});
  EXPECT_EQ(sourceRole_.dragStarts, 1) << "Expected one drag start after moving " << dragX_ << " pixels left";
  HWND dragWindow = DragWindow();
  ASSERT_NE(dragWindow, nullptr) << "Expected a drag window, got none";
  EXPECT_EQ(GetCapture(), dragWindow) << "Expected the drag window to hold the capture";
  EXPECT_FALSE(IsWindowVisible(dragWindow)) << "Expected the drag window hidden, got a visible one";
  char title[16] = "";
  GetWindowTextA(dragWindow, title, sizeof(title));
  EXPECT_STREQ(title, "ddwnd");
  EXPECT_EQ(GetDragRecord()->ddKind, DRAG_KIND_ITEMS) << "Expected the armed kind in the record";

  // Registered with the source window's instance, never shown: a plain class.
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "DDWDNCLASS", &windowClass))
      << "Expected the class registered with the source's instance";
  EXPECT_EQ(windowClass.style, 0u);
  EXPECT_EQ(windowClass.hbrBackground, GetStockObject(WHITE_BRUSH)) << "Expected the white stock brush";

  Release();
  ExpectClosed();
}

TEST_F(DragWindowTest, TheVerticalDistanceAloneStartsTheDrag) {
  Press(source_, kPress);
  MoveTo(source_, POINT{kPress.x + 1, kPress.y + dragY_});
  EXPECT_EQ(sourceRole_.dragStarts, 1) << "Expected one drag start after moving " << dragY_ << " pixels down";
  ASSERT_NE(DragWindow(), nullptr) << "Expected a drag window, got none";
  EXPECT_EQ(GetCapture(), DragWindow()) << "Expected the drag window to hold the capture";
  Release();
  ExpectClosed();
}

TEST_F(DragWindowTest, MovingWithoutTheButtonDisarms) {
  Press(source_, kPress);
  LeftUp();
  buttonDown_ = false;
  PumpUntilIdle();
  MoveTo(source_, POINT{kPress.x + 3 * dragX_, kPress.y});
  EXPECT_EQ(sourceRole_.dragStarts, 0) << "Expected no drag start without the button";
  // Had the press stayed armed, this move with the button flag would start one.
  const LPARAM farAway = MAKELPARAM(kPress.x + 3 * dragX_, kPress.y);
  EXPECT_FALSE(TestDragStart(source_, MK_LBUTTON, farAway)) << "Expected the tracker disarmed";
  EXPECT_EQ(DragWindow(), nullptr) << "Expected no drag window, got one";
}

TEST_F(DragWindowTest, OnlyTheArmedWindowStartsADragAndOnlyOneRuns) {
  ArmDrag(source_, MK_LBUTTON, MAKELPARAM(kPress.x, kPress.y), DRAG_KIND_ITEMS);
  EXPECT_FALSE(TestDragStart(target_, MK_LBUTTON, MAKELPARAM(kPress.x + 20, kPress.y)))
      << "Expected no drag from a window that was not armed";

  StartDrag();
  ArmDrag(target_, MK_LBUTTON, MAKELPARAM(10, 10), 7);
  EXPECT_FALSE(TestDragStart(target_, MK_LBUTTON, MAKELPARAM(40, 40))) << "Expected no second drag";
  EXPECT_EQ(DragWindows().size(), 1u) << "Expected one drag window";
  EXPECT_EQ(GetDragRecord()->ddKind, DRAG_KIND_ITEMS) << "Expected the running drag to keep its kind";
  Release();
  ExpectClosed();
}

// --- The drop protocol -------------------------------------------------------

TEST_F(DragWindowTest, ADropOnAnAcceptingWindowRunsOverQueryBeginDropEnd) {
  MakeAcceptor(targetRole_);
  StartDrag();
  MoveTo(source_, POINT{120, 60});
  MoveTo(target_, POINT{20, 30});
  MoveTo(target_, POINT{30, 40});
  Release();

  static const Expected kDrop[] = {
      {WM_LBUTTONDOWN, posted | wparam, MK_LBUTTON, 0, kSource},
      kRepeatedMove,
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_OVER, kSource},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_OVER, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_OVER, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_QUERY, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_BEGIN, kSource},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_DROP, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_END, kSource},
      {0}};
  ok_merged(recorder_, kDrop, "drop on an accepting window");

  const Recorded* begin = FindStep(recorder_, kSource, DRAG_BEGIN);
  const Recorded* end = FindStep(recorder_, kSource, DRAG_END);
  ASSERT_TRUE(begin && end);
  EXPECT_EQ(begin->drag.ddEffect, DRAG_EFFECT_ACCEPTED) << "Expected the begin step only after an acceptance";
  EXPECT_EQ(end->drag.ddEffect, DRAG_EFFECT_ACCEPTED) << "Expected the end step to report the accepted drop";
  for (const Recorded& step : recorder_.Merged()) {
    if (!step.hasDrag) continue;
    EXPECT_EQ(step.drag.ddKind, DRAG_KIND_ITEMS) << Describe(step);
    EXPECT_EQ(step.drag.ddHandled, 0) << "Expected ddHandled cleared before " << Describe(step);
    const int keys = step.drag.ddAction == DRAG_OVER ? MK_LBUTTON : 0;
    EXPECT_EQ(step.drag.ddKeys, keys) << "Expected the keys of the mouse message in " << Describe(step);
  }
  ExpectClosed();
}

TEST_F(DragWindowTest, ReleasingWhereNobodyListensTellsTheSourceOnlyTheEnd) {
  MoveTo(target_, POINT{10, 10});  // the target ignores the protocol altogether
  recorder_.Flush();
  StartDrag();
  MoveTo(target_, POINT{50, 50});
  Release();

  static const Expected kSourceSteps[] = {
      {WM_LBUTTONDOWN, posted, 0, 0},
      kRepeatedMove,
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_END},
      {0}};
  ok_sequence(recorder_, kSource, kSourceSteps, "source of a drop nobody took");
  static const Expected kTargetSteps[] = {
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_OVER},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_QUERY},
      {0}};
  ok_sequence(recorder_, kTarget, kTargetSteps, "window that ignores the protocol");
  const Recorded* end = FindStep(recorder_, kSource, DRAG_END);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(end->drag.ddEffect, DRAG_EFFECT_NONE) << "Expected ddEffect 1 when nobody accepted";
  ExpectClosed();
}

TEST_F(DragWindowTest, AnAcceptanceWithoutTheHandledMarkIsNoAcceptance) {
  targetRole_.acceptsQuery = true;  // sets ddEffect 2 but never ddHandled
  StartDrag();
  MoveTo(target_, POINT{50, 50});
  Release();
  static const Expected kSourceSteps[] = {
      {WM_LBUTTONDOWN, posted, 0, 0},
      kRepeatedMove,
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_END},
      {0}};
  ok_sequence(recorder_, kSource, kSourceSteps, "source when the acceptor did not mark the query");
  EXPECT_EQ(FindStep(recorder_, kTarget, DRAG_DROP), nullptr) << "Expected no drop step";
  ExpectClosed();
}

TEST_F(DragWindowTest, ASourceThatRefusesTheBeginStopsTheDrop) {
  sourceRole_.refusesBegin = true;
  MakeAcceptor(targetRole_);
  StartDrag();
  MoveTo(target_, POINT{50, 50});
  Release();
  static const Expected kSourceSteps[] = {
      {WM_LBUTTONDOWN, posted, 0, 0},
      kRepeatedMove,
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_BEGIN},
      {0}};
  ok_sequence(recorder_, kSource, kSourceSteps, "source refusing the begin step");
  static const Expected kTargetSteps[] = {
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_OVER},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_QUERY},
      {0}};
  ok_sequence(recorder_, kTarget, kTargetSteps, "target when the source refused");
  ExpectClosed();
}

TEST_F(DragWindowTest, ASourceThatCancelsInTheBeginStepGetsTheEndWithoutADrop) {
  sourceRole_.cancelsInBegin = true;
  MakeAcceptor(targetRole_);
  StartDrag();
  MoveTo(target_, POINT{50, 50});
  Release();
  static const Expected kSteps[] = {
      {WM_LBUTTONDOWN, posted, 0, 0, kSource},
      kRepeatedMove,
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_OVER, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_QUERY, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_BEGIN, kSource},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_END, kSource},
      {0}};
  ok_merged(recorder_, kSteps, "source cancelling in the begin step");
  const Recorded* end = FindStep(recorder_, kSource, DRAG_END);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(end->drag.ddEffect, DRAG_EFFECT_NONE) << "Expected ddEffect 1 after the cancel";
  ExpectClosed();
}

TEST_F(DragWindowTest, ATargetThatRefusesTheDropLeavesTheSourceWithNoDrop) {
  MakeAcceptor(targetRole_);
  targetRole_.refusesDrop = true;
  StartDrag();
  MoveTo(target_, POINT{50, 50});
  Release();
  static const Expected kSourceSteps[] = {
      {WM_LBUTTONDOWN, posted, 0, 0},
      kRepeatedMove,
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_BEGIN},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_END},
      {0}};
  ok_sequence(recorder_, kSource, kSourceSteps, "source when the drop was refused");
  const Recorded* end = FindStep(recorder_, kSource, DRAG_END);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(end->drag.ddEffect, DRAG_EFFECT_NONE) << "Expected ddEffect 1 when the drop was refused";
  ExpectClosed();
}

TEST_F(DragWindowTest, TheQueryClimbsFromAChildToTheParentThatAccepts) {
  MakeAcceptor(targetRole_);
  Role childRole;
  childRole.handles = true;  // passes the over step up, as a cell does
  childRole.ignoresQuery = true;
  HWND child = recorder_.CreateChildWindow(kChild, target_, RECT{20, 20, 120, 120}, Respond(&childRole));
  ASSERT_NE(child, nullptr);
  StartDrag();
  MoveTo(child, POINT{10, 15});
  Release();

  static const Expected kSteps[] = {
      {WM_LBUTTONDOWN, posted, 0, 0, kSource},
      kRepeatedMove,
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_OVER, kChild},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_OVER, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_QUERY, kChild},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_QUERY, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_BEGIN, kSource},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_DROP, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_END, kSource},
      {0}};
  ok_merged(recorder_, kSteps, "query bubbling from a child to its parent");

  // Each receiver gets the cursor in its own client coordinates.
  const Recorded* childQuery = FindStep(recorder_, kChild, DRAG_QUERY);
  const Recorded* parentQuery = FindStep(recorder_, kTarget, DRAG_QUERY);
  const Recorded* parentOver = FindStep(recorder_, kTarget, DRAG_OVER);
  ASSERT_TRUE(childQuery && parentQuery && parentOver);
  EXPECT_EQ(childQuery->drag.ddX, 10) << Describe(*childQuery);
  EXPECT_EQ(childQuery->drag.ddY, 15) << Describe(*childQuery);
  EXPECT_EQ(parentQuery->drag.ddX, 30) << Describe(*parentQuery);
  EXPECT_EQ(parentQuery->drag.ddY, 35) << Describe(*parentQuery);
  EXPECT_EQ(parentOver->drag.ddX, 30) << Describe(*parentOver);
  EXPECT_EQ(parentOver->drag.ddY, 35) << Describe(*parentOver);
  ExpectClosed();
}

TEST_F(DragWindowTest, MovingToAnotherTargetSendsLeaveToTheFirst) {
  MakeAcceptor(targetRole_);
  Role secondRole;
  MakeAcceptor(secondRole);
  HWND second = recorder_.CreateTopWindow(kSecondTarget, RECT{400, 400, 600, 600}, Respond(&secondRole));
  ASSERT_NE(second, nullptr);
  StartDrag();
  MoveTo(target_, POINT{50, 50});
  MoveTo(target_, POINT{60, 50});  // the same target: no leave
  MoveTo(second, POINT{50, 50});
  Release();

  static const Expected kSteps[] = {
      {WM_LBUTTONDOWN, posted, 0, 0, kSource},
      kRepeatedMove,
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_OVER, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_OVER, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_LEAVE, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_OVER, kSecondTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_QUERY, kSecondTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_BEGIN, kSource},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_DROP, kSecondTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_END, kSource},
      {0}};
  ok_merged(recorder_, kSteps, "moving from one target to another");
  ExpectClosed();
}

TEST_F(DragWindowTest, ATargetThatIgnoresTheLeaveDoesNotHideTheNextOne) {
  targetRole_.acceptsOver = true;  // accepts the over step without marking anything handled
  Role secondRole;
  MakeAcceptor(secondRole);
  HWND second = recorder_.CreateTopWindow(kSecondTarget, RECT{400, 400, 600, 600}, Respond(&secondRole));
  ASSERT_NE(second, nullptr);
  StartDrag();
  MoveTo(target_, POINT{50, 50});
  MoveTo(second, POINT{50, 50});
  static const Expected kSteps[] = {
      {WM_LBUTTONDOWN, posted, 0, 0, kSource},
      kRepeatedMove,
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_OVER, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_LEAVE, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_OVER, kSecondTarget},
      {0}};
  ok_merged(recorder_, kSteps, "first move onto a new target");
  Release();
  ExpectClosed();
}

TEST_F(DragWindowTest, CtrlHeldAtTheReleaseReachesEveryReleaseStep) {
  MakeAcceptor(targetRole_);
  StartDrag();
  MoveTo(target_, POINT{50, 50});
  ReleaseWithCtrl();
  int releaseSteps = 0;
  for (const Recorded& step : recorder_.Merged()) {
    if (!step.hasDrag || step.drag.ddAction == DRAG_OVER) continue;
    ++releaseSteps;
    EXPECT_EQ(step.drag.ddKeys, MK_CONTROL) << "Expected MK_CONTROL in " << Describe(step);
  }
  EXPECT_EQ(releaseSteps, 4) << "Expected query, begin, drop and end";
  ExpectClosed();
}

TEST_F(DragWindowTest, ReceiversCannotChangeWhatTheNextStepCarries) {
  MakeAcceptor(targetRole_);
  targetRole_.scribbles = true;
  StartDrag();
  MoveTo(target_, POINT{50, 50});
  Release();
  const Recorded* begin = FindStep(recorder_, kSource, DRAG_BEGIN);
  const Recorded* end = FindStep(recorder_, kSource, DRAG_END);
  ASSERT_TRUE(begin && end) << "Expected begin and end at the source";
  EXPECT_EQ(begin->drag.ddKind, DRAG_KIND_ITEMS) << Describe(*begin);
  EXPECT_EQ(begin->drag.ddKeys, 0) << Describe(*begin);
  EXPECT_EQ(end->drag.ddKind, DRAG_KIND_ITEMS) << Describe(*end);
  ExpectClosed();
}

// --- Ending a drag without a drop ---------------------------------------------

TEST_F(DragWindowTest, EscapeCancelsTheDrag) {
  MakeAcceptor(targetRole_);
  StartDrag();
  MoveTo(target_, POINT{50, 50});
  KeyDown(VK_ESCAPE);
  KeyUp(VK_ESCAPE);
  PumpUntil([] { return DragWindow() == nullptr; }, 2000);
  static const Expected kSteps[] = {
      {WM_LBUTTONDOWN, posted, 0, 0, kSource},
      kRepeatedMove,
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_OVER, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_LEAVE, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_END, kSource},
      {0}};
  ok_merged(recorder_, kSteps, "Escape during a drag");
  const Recorded* end = FindStep(recorder_, kSource, DRAG_END);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(end->drag.ddEffect, DRAG_EFFECT_NONE) << "Expected ddEffect 1 after Escape";
  EXPECT_EQ(sourceRole_.escapes, 0) << "Expected the drag to keep the Escape from the focused window";
  ExpectClosed();

  const size_t stepsAtCancel = recorder_.Merged().size();
  Release();  // the button goes up after the cancel: nothing more happens
  EXPECT_EQ(recorder_.Merged().size(), stepsAtCancel) << "Expected no step after the cancel";
}

TEST_F(DragWindowTest, LosingTheCaptureCancelsTheDrag) {
  MakeAcceptor(targetRole_);
  StartDrag();
  MoveTo(target_, POINT{50, 50});
  SetCapture(target_);  // as a menu or a message box would
  PumpUntilIdle();
  static const Expected kSteps[] = {
      {WM_LBUTTONDOWN, posted, 0, 0, kSource},
      kRepeatedMove,
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_OVER, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_LEAVE, kTarget},
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_END, kSource},
      {0}};
  ok_merged(recorder_, kSteps, "capture taken by another window");
  EXPECT_EQ(DragWindow(), nullptr) << "Expected the drag window closed";
  EXPECT_EQ(GetCapture(), target_) << "Expected the new capture left alone";
  ReleaseCapture();
}

TEST_F(DragWindowTest, CancelDragOutsideTheProtocolEndsTheDrag) {
  StartDrag();
  EXPECT_TRUE(CancelDrag());
  PumpUntilIdle();
  static const Expected kSourceSteps[] = {
      {WM_LBUTTONDOWN, posted, 0, 0},
      kRepeatedMove,
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_END},
      {0}};
  ok_sequence(recorder_, kSource, kSourceSteps, "CancelDrag while dragging");
  ExpectClosed();
  EXPECT_TRUE(CancelDrag()) << "Expected true without a drag too";

  // The tracker is idle again: the next press drags.
  Release();
  StartDrag();
  Release();
  ExpectClosed();
}

// --- The window class ----------------------------------------------------------

// The probe loads the component at run time, unloads it in the middle of a
// drag and once more after one; its exit code names the first broken check.
TEST(DragWindowClass, UnloadingTheComponentTakesTheDragWindowAndItsClassAlong) {
  int code = testproc::RunProgram("dragwindow_probe.exe");
  ASSERT_NE(code, -1) << "Expected the probe to start";
  ASSERT_NE(code, -2) << "Expected the probe to finish";
  EXPECT_EQ(code, 0) << "Expected exit code 0, got " << code << " (the number of the failed check)";
}

}  // namespace
