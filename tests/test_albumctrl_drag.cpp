// Drag and drop between album controls and within one, and the auto-scroll
// while a drag rests at a control's edge: real mouse input on shown,
// top-most windows, as a user drags.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "AlbumCtrlTestSupport.h"
#include "views/DragWindow.h"

using namespace ctrltest;
using namespace msgseq;

namespace {

enum Stream { kParentA = 1, kParentB, kBystander };

BOOL CALLBACK FindDragWindow(HWND window, LPARAM found) {
  char name[32] = "";
  GetClassNameA(window, name, sizeof(name));
  if (std::strcmp(name, "DDWDNCLASS") == 0) *reinterpret_cast<HWND*>(found) = window;
  return TRUE;
}

HWND DragWindow() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDragWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

POINT CentreOf(HWND window) { return ScreenCentre(window); }

POINT Offset(POINT p, int dx, int dy) { return POINT{p.x + dx, p.y + dy}; }

class AlbumDragTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder.RecordOnly({ACM_CONTENTSCHANGED});
    parentA = recorder.CreateTopWindow(kParentA, RECT{20, 20, 440, 340});
    parentB = recorder.CreateTopWindow(kParentB, RECT{470, 20, 890, 340});
    ASSERT_TRUE(parentA && parentB) << "expected both parent windows";
    a = controls.Make(parentA, "ManDlgAlbumCtrl", 10, 10, 400, 300);
    b = controls.Make(parentB, "ManDlgAlbumCtrl", 10, 10, 400, 300);
    ASSERT_TRUE(a && b && a->GetAlbum() && b->GetAlbum()) << "expected two album controls";
    Fill(a, "a", 6);
    Fill(b, "b", 3);
    ASSERT_TRUE(MakeForeground(parentA)) << "expected the first parent in the foreground";
    recorder.Flush();
  }

  void TearDown() override {
    if (buttonDown) LeftUp();
    CancelDrag();
    PumpUntilIdle();
    EXPECT_EQ(DragWindow(), nullptr) << "expected no drag window after the test";
    controls.Clear();
  }

  void MoveTo(POINT screen) {
    MoveCursor(screen);
    PumpUntilIdle();
  }

  void Click(HWND cell, bool withCtrl = false) {
    ASSERT_NE(cell, nullptr) << "expected a cell to click";
    MoveTo(CentreOf(cell));
    if (withCtrl) {
      WithCtrl({MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
      return;
    }
    LeftDown();
    PumpUntilIdle();
    LeftUp();
    PumpUntilIdle();
  }

  // Presses on the cell and moves past the drag distance: the drag runs.
  // The press lies away from the centre, where a click may just have
  // happened: the two would make a double click.
  void StartDrag(HWND cell) {
    ASSERT_NE(cell, nullptr) << "expected a cell to drag from";
    POINT centre = Offset(CentreOf(cell), 12, 12);
    MoveTo(centre);
    LeftDown();
    buttonDown = true;
    PumpUntilIdle();
    MoveTo(Offset(centre, GetSystemMetrics(SM_CXDRAG) + 2, GetSystemMetrics(SM_CYDRAG) + 2));
    ASSERT_NE(DragWindow(), nullptr) << "expected the drag to start";
  }

  void Drop(POINT screen, bool withCtrl = false) {
    MoveTo(Offset(screen, -1, 0));
    MoveTo(screen);
    if (withCtrl) {
      WithCtrl({MOUSEEVENTF_LEFTUP});
    } else {
      LeftUp();
    }
    buttonDown = false;
    PumpUntil([] { return DragWindow() == nullptr; }, 3000);
    EXPECT_EQ(DragWindow(), nullptr) << "expected the drag to end at the release";
  }

  // Selects items 2 and 3 of the first album and drags them.
  void DragTwo() {
    Click(CellOfItem(a, 2));
    Click(CellOfItem(a, 3), true);
    int count = 0;
    char (*paths)[260] = nullptr;
    ASSERT_EQ(a->GetAlbum()->GetSelectImageList(count, paths), 1) << "expected a selection";
    ToviMemFree(paths);
    ASSERT_EQ(count, 2) << "expected the Ctrl+click to add the second item";
    StartDrag(CellOfItem(a, 3));
  }

  size_t Changes(int stream) {
    size_t count = 0;
    for (const Recorded& r : recorder.Stream(stream)) count += r.message == ACM_CONTENTSCHANGED;
    return count;
  }

  POINT BarPoint(TestCtrl* ctrl) { return CentreOf(ctrl->Bar()); }

  Recorder recorder;
  HWND parentA = nullptr;
  HWND parentB = nullptr;
  Controls controls;
  TestCtrl* a = nullptr;
  TestCtrl* b = nullptr;
  bool buttonDown = false;
};

}  // namespace

// ---------------------------------------------------------------------------
// Between two albums

TEST_F(AlbumDragTest, MovingTwoItemsOntoAnEmptyCellAppendsThemThereAndRemovesThemHere) {
  Click(CellOfItem(b, 1));  // a focus in the target: the drop must still go to the end
  ASSERT_EQ(b->GetAlbum()->GetCurrentFocus(), 1) << "expected the target's focus on its first item";
  MakeForeground(parentA);
  recorder.Flush();
  DragTwo();
  HWND empty = EmptyCell(b);
  ASSERT_NE(empty, nullptr) << "the target shows empty cells";
  Drop(CentreOf(empty));
  EXPECT_EQ(Names(b), "b1 b2 b3 a2 a3") << "the target gains both items at its end";
  EXPECT_EQ(Names(a), "a1 a4 a5 a6") << "the source loses them";
  EXPECT_EQ(Changes(kParentA), 1u) << "the source's parent hears of the change once";
  EXPECT_EQ(Changes(kParentB), 1u) << "the target's parent hears of the change once";
  EXPECT_FALSE(a->HasDragData()) << "the source let go of its drag data";
}

TEST_F(AlbumDragTest, ADropOnTheFreeAreaAppendsAndCtrlCopiesInsteadOfMoving) {
  Click(CellOfItem(b, 2));
  MakeForeground(parentA);
  recorder.Flush();
  DragTwo();
  Drop(BarPoint(b), true);  // the bar belongs to the control's free area
  EXPECT_EQ(Names(b), "b1 b2 b3 a2 a3") << "the copies go to the end, not before the focus";
  EXPECT_EQ(Names(a), "a1 a2 a3 a4 a5 a6") << "with Ctrl the source keeps its items";
  EXPECT_EQ(Changes(kParentA), 0u) << "nothing changed in the source";
  EXPECT_EQ(Changes(kParentB), 1u) << "the target's parent hears of the change";
}

TEST_F(AlbumDragTest, ADropOnAnItemInsertsBeforeItAndSelectsWhatItsCellNowShows) {
  Click(CellOfItem(a, 2));
  StartDrag(CellOfItem(a, 2));
  HWND target = CellOfItem(b, 2);
  ASSERT_NE(target, nullptr);
  Drop(CentreOf(target));
  EXPECT_EQ(Names(b), "b1 a2 b2 b3") << "inserted before the item it was dropped on";
  EXPECT_EQ(Names(a), "a1 a3 a4 a5 a6") << "moved out of the source";
  EXPECT_EQ(b->GetAlbum()->GetCurrentFocus(), 2) << "the target cell was clicked: it shows the new item";
  EXPECT_EQ(Changes(kParentA), 1u);
  EXPECT_EQ(Changes(kParentB), 1u);
}

TEST_F(AlbumDragTest, NothingIsLostWhenNoWindowTakesTheItems) {
  HWND bystander = recorder.CreateTopWindow(kBystander, RECT{300, 400, 500, 600});
  ASSERT_NE(bystander, nullptr);
  MakeForeground(parentA);
  DragTwo();
  Drop(CentreOf(bystander));
  EXPECT_EQ(Names(a), "a1 a2 a3 a4 a5 a6") << "a refused drop keeps the items in the source";
  EXPECT_EQ(Names(b), "b1 b2 b3") << "and adds nothing elsewhere";
  EXPECT_EQ(Changes(kParentA), 0u) << "no change to report";
  EXPECT_FALSE(a->HasDragData()) << "the source let go of its drag data";
}

// ---------------------------------------------------------------------------
// Within one album

TEST_F(AlbumDragTest, OneItemDroppedOnAnotherOfItsAlbumMovesThere) {
  Click(CellOfItem(a, 2));
  StartDrag(CellOfItem(a, 2));
  Drop(CentreOf(CellOfItem(a, 5)));
  EXPECT_EQ(Names(a), "a1 a3 a4 a5 a2 a6") << "item 2 lands right after item 5";
  EXPECT_EQ(Changes(kParentA), 1u) << "the exchange is reported";
  EXPECT_EQ(Names(b), "b1 b2 b3");
}

TEST_F(AlbumDragTest, DropsInsideTheSameAlbumThatAreNoExchangeChangeNothing) {
  DragTwo();
  Drop(CentreOf(CellOfItem(a, 5)));
  EXPECT_EQ(Names(a), "a1 a2 a3 a4 a5 a6") << "two items on one cell: no exchange";

  Click(CellOfItem(a, 1));
  StartDrag(CellOfItem(a, 1));
  Drop(BarPoint(a));
  EXPECT_EQ(Names(a), "a1 a2 a3 a4 a5 a6") << "a drop on the album's own free area";
  EXPECT_EQ(Changes(kParentA), 0u) << "nothing to report";
}

// ---------------------------------------------------------------------------
// Auto-scroll

TEST_F(AlbumDragTest, ADragRestingBelowTheViewScrollsUntilItLeavesTheControl) {
  Fill(a, "a", 30, 7);
  a->SetDock(ALBUM_DOCKED_VERTICAL);
  SetWindowPos(a->Window(), nullptr, 0, 0, 400, 290, SWP_NOMOVE | SWP_NOZORDER);
  SendMessageA(a->Window(), WM_VSCROLL, SB_TOP, 0);
  ASSERT_EQ(a->GetAlbum()->GetFirstViewNailID(), 1) << "expected the album at its top";
  recorder.RecordOnly({ACM_CONTENTSCHANGED, WM_VSCROLL});
  recorder.Subclass(a->Window(), kParentA);

  StartDrag(CellOfItem(a, 1));
  RECT view{};
  GetWindowRect(a->View(), &view);
  MoveTo(POINT{view.left + 40, view.bottom + 8});  // on the lower arrow of the docked bar
  EXPECT_TRUE(PumpUntil([this] { return a->GetAlbum()->GetFirstViewNailID() > 1; }, 3000))
      << "expected the album to scroll while the drag rests below the view";
  EXPECT_TRUE(a->AutoScrolling()) << "the timer runs while the cursor stays";

  RECT outside{};
  GetWindowRect(parentA, &outside);
  MoveTo(POINT{outside.left + 5, outside.bottom - 3});
  EXPECT_TRUE(PumpUntil([this] { return !a->AutoScrolling(); }, 3000))
      << "expected the timer to stop once the cursor left the control";
  recorder.Flush();
  const int first = a->GetAlbum()->GetFirstViewNailID();
  Drop(POINT{outside.left + 5, outside.bottom - 3});
  EXPECT_EQ(a->GetAlbum()->GetFirstViewNailID(), first) << "no scrolling after the timer stopped";
  for (const Recorded& r : recorder.Stream(kParentA)) {
    EXPECT_NE(r.message, static_cast<UINT>(WM_VSCROLL)) << "no scroll request after the timer stopped";
  }
  EXPECT_EQ(a->GetAlbum()->GetThumbNailCount(), 36) << "a drop outside keeps every item";
}
