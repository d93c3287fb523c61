// The album view on screen: which items the cells show in both orientations,
// scrolling by every code, the keys, mouse selection with Ctrl, Shift and
// the deferred press, the focus and its notifications, the hit test, and
// the album view a template-made list window brings along.
#include "AlbumViewTest.h"

#include "manager/Module.h"

using namespace albumtest;
using msgseq::Expected;
using msgseq::lparam;
using msgseq::sent;
using msgseq::wparam;

namespace {

class AlbumView : public AlbumFixture {};

// The numbers every cell shows, in cell (row by row) order.
std::vector<int> ShownNumbers(TestAlbum* album) {
  std::vector<int> shown;
  for (int i = 0; i < album->CellCount(); ++i) shown.push_back(album->Shown(i));
  return shown;
}

// The numbers a vertical grid shows from first on, 0 past the end.
std::vector<int> Rows(int first, int cells, int count) {
  std::vector<int> shown;
  for (int k = 0; k < cells; ++k) shown.push_back(first + k <= count ? first + k : 0);
  return shown;
}

}  // namespace

// ---------------------------------------------------------------------------
// Attach step and cell mapping

TEST_F(AlbumView, VerticalGridShowsConsecutiveItemsRowByRow) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 10);
  EXPECT_EQ(album->GetFirstViewNailID(), 1);
  EXPECT_EQ(Join(ShownNumbers(album)), Join(Rows(1, 12, 10))) << "items 1-10, then two empty cells";
}

TEST_F(AlbumView, HorizontalGridFillsColumnsTopToBottom) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 2), 20);
  // Slot k sits in cell k / rows + (k mod rows) x columns: item 5 (slot 4)
  // is in the second row's second cell.
  EXPECT_EQ(album->Shown(1 * 4 + 1), 5) << "row 2, column 2";
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 4; ++column) {
      EXPECT_EQ(album->Shown(row * 4 + column), column * 3 + row + 1) << "row " << row << ", column " << column;
    }
  }
}

TEST_F(AlbumView, AnEmptyAlbumLeavesEveryCellEmpty) {
  TestAlbum* album = MakeAlbum(AlbumGrid(2, 2, 1), 0);
  EXPECT_EQ(album->UpDataThumbListView(-1), 1);
  EXPECT_EQ(Join(ShownNumbers(album)), Join({0, 0, 0, 0}));
  EXPECT_EQ(album->GetFirstViewNailID(), -1) << "no first item";
}

// ---------------------------------------------------------------------------
// Scrolling

TEST_F(AlbumView, BottomShowsTheLastFullPageInBothOrientations) {
  TestAlbum* twenty = MakeAlbum(AlbumGrid(3, 4, 1), 20);
  Scroll(twenty, SB_BOTTOM);
  EXPECT_EQ(twenty->GetFirstViewNailID(), 9) << "4 x 3 over 20 items: items 9-20";
  EXPECT_EQ(Join(ShownNumbers(twenty)), Join(Rows(9, 12, 20)));

  TestAlbum* full = MakeAlbum(AlbumGrid(3, 4, 1), 24);
  Scroll(full, SB_BOTTOM, 0, WM_VSCROLL);
  EXPECT_EQ(full->GetFirstViewNailID(), 13) << "24 items";

  // Columns scroll: 3 items per column, 4 columns shown, 7 columns in all.
  TestAlbum* across = MakeAlbum(AlbumGrid(3, 4, 2), 20);
  Scroll(across, SB_BOTTOM, 0, AVM_HSCROLL);
  EXPECT_EQ(across->GetFirstViewNailID(), 10) << "columns 4-7";
  EXPECT_EQ(across->Shown(2 * 4 + 3), 0) << "the last column holds 19 and 20 only";
  EXPECT_EQ(across->Shown(1 * 4 + 3), 20);
}

TEST_F(AlbumView, PagesLinesAndTopFollowTheGridArithmetic) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  Scroll(album, SB_PAGEDOWN);
  EXPECT_EQ(album->GetFirstViewNailID(), 13) << "a whole page down";
  Scroll(album, SB_PAGEDOWN);
  EXPECT_EQ(album->GetFirstViewNailID(), 21) << "fewer than a page left: the last page";
  EXPECT_EQ(Join(ShownNumbers(album)), Join(Rows(21, 12, 30)));
  Scroll(album, SB_PAGEDOWN);
  EXPECT_EQ(album->GetFirstViewNailID(), 21) << "at the end Page Down is refused";
  Scroll(album, SB_LINEDOWN);
  EXPECT_EQ(album->GetFirstViewNailID(), 21) << "nothing below the last line";
  Scroll(album, SB_PAGEUP);
  EXPECT_EQ(album->GetFirstViewNailID(), 9);
  Scroll(album, SB_LINEUP);
  EXPECT_EQ(album->GetFirstViewNailID(), 5);
  Scroll(album, SB_PAGEUP);
  EXPECT_EQ(album->GetFirstViewNailID(), 1);
  Scroll(album, SB_LINEUP);
  EXPECT_EQ(album->GetFirstViewNailID(), 1) << "line up at the top is refused";
  Scroll(album, SB_LINEDOWN);
  EXPECT_EQ(album->GetFirstViewNailID(), 5);
  Scroll(album, SB_TOP);
  EXPECT_EQ(album->GetFirstViewNailID(), 1);
  Scroll(album, SB_ENDSCROLL);
  EXPECT_EQ(album->GetFirstViewNailID(), 1) << "end of scrolling changes nothing";
}

TEST_F(AlbumView, ThumbPositionMapsOntoLinesAndTheHorizontalMessageMatchesTheBarMessage) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  // 8 lines, 3 shown: 4 x ((5 x 50) / 100) + 1.
  Scroll(album, SB_THUMBTRACK, 50);
  EXPECT_EQ(album->GetFirstViewNailID(), 9);
  Scroll(album, SB_THUMBPOSITION, 50);
  EXPECT_EQ(album->GetFirstViewNailID(), 9) << "the position already shown changes nothing";
  Scroll(album, SB_THUMBPOSITION, 100);
  EXPECT_EQ(album->GetFirstViewNailID(), 21);

  TestAlbum* bar = MakeAlbum(AlbumGrid(3, 4, 2), 30);
  TestAlbum* message = MakeAlbum(AlbumGrid(3, 4, 2), 30);
  SendMessageA(bar->Window(), WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 50), MAKELPARAM(100, 0));
  Scroll(message, SB_THUMBTRACK, 50, AVM_HSCROLL);
  EXPECT_EQ(bar->GetFirstViewNailID(), 10) << "3 x ((6 x 50) / 100) + 1";
  EXPECT_EQ(message->GetFirstViewNailID(), bar->GetFirstViewNailID());
}

TEST_F(AlbumView, ThumbPositionsOutsideTheRangeAreBoundedAndAnEmptyRangeIsIgnored) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  Scroll(album, SB_THUMBTRACK, 50, AVM_VSCROLL, 0);
  EXPECT_EQ(album->GetFirstViewNailID(), 1) << "range 0: nothing to map";
  Scroll(album, SB_THUMBTRACK, 900);
  EXPECT_EQ(album->GetFirstViewNailID(), 21) << "beyond the range: the last page";
  EXPECT_EQ(Join(ShownNumbers(album)), Join(Rows(21, 12, 30)));
}

TEST_F(AlbumView, ThumbMappingOverALongAlbumDoesNotOverflow) {
  // One item per line: 40,000 lines times position 65,535 is past 2^31.
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 1, 1), 40000, false);
  Scroll(album, SB_THUMBTRACK, 65535, AVM_VSCROLL, 65535);
  EXPECT_EQ(album->GetFirstViewNailID(), 39998) << "the last page";
  EXPECT_EQ(Join(ShownNumbers(album)), Join({39998, 39999, 40000}));
  Scroll(album, SB_THUMBTRACK, 32768, AVM_VSCROLL, 65535);
  EXPECT_EQ(album->GetFirstViewNailID(), static_cast<int>(39997LL * 32768 / 65535 + 1));
}

// ---------------------------------------------------------------------------
// Keys

TEST_F(AlbumView, PageDownMovesTheFocusAPageAndShowsItsRowLast) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  Click(album, 2);
  ASSERT_EQ(album->GetCurrentFocus(), 3);
  recorder.Flush();
  Key(album, VK_NEXT);
  EXPECT_EQ(album->GetCurrentFocus(), 15);
  EXPECT_EQ(album->GetFirstViewNailID(), 5) << "rows 5-8, 9-12, 13-16";
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({15}));
  static const Expected kKey[] = {{AVM_FOCUSCHANGED, sent | wparam, 0, 0}, {AVM_UPDATESCROLL, sent | lparam, 0, 0}, {0}};
  Expected expected[3] = {kKey[0], kKey[1], kKey[2]};
  expected[0].wParam = reinterpret_cast<WPARAM>(album->Window());
  ok_sequence(recorder, 0, expected, "Page Down");
  EXPECT_EQ(recorder.Stream(0).front().lParam, reinterpret_cast<LPARAM>(album->Focus())) << "the new focus";

  Key(album, VK_NEXT);
  EXPECT_EQ(album->GetCurrentFocus(), 27);
  Key(album, VK_NEXT);
  EXPECT_EQ(album->GetCurrentFocus(), 30) << "no further than the last item";
  Key(album, VK_NEXT);
  EXPECT_EQ(album->GetCurrentFocus(), 30) << "refused at the end";
  Key(album, VK_HOME);
  EXPECT_EQ(album->GetCurrentFocus(), 1);
  EXPECT_EQ(album->GetFirstViewNailID(), 1) << "the first row shown first";
  Key(album, VK_END);
  EXPECT_EQ(album->GetFirstViewNailID(), 21);
  Key(album, VK_PRIOR);
  EXPECT_EQ(album->GetCurrentFocus(), 18);
  EXPECT_EQ(album->GetFirstViewNailID(), 17) << "the focus's row first";
}

TEST_F(AlbumView, PageDownInHorizontalOrientationShowsTheFocusColumnLast) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 2), 30);
  SendMessageA(CellWindow(album, 2 * 4), WM_LBUTTONDOWN, MK_LBUTTON, 0);  // slot 2: item 3
  ASSERT_EQ(album->GetCurrentFocus(), 3);
  Key(album, VK_NEXT);
  EXPECT_EQ(album->GetCurrentFocus(), 15);
  EXPECT_EQ(album->GetFirstViewNailID(), 4) << "columns 4-6 ... 13-15";
}

TEST_F(AlbumView, ArrowsStepItemsAndLinesAndTurnWithTheOrientation) {
  TestAlbum* rows = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  Click(rows, 5);  // item 6
  Key(rows, VK_DOWN);
  EXPECT_EQ(rows->GetCurrentFocus(), 10) << "down one row";
  Key(rows, VK_RIGHT);
  EXPECT_EQ(rows->GetCurrentFocus(), 11);
  Key(rows, VK_UP);
  EXPECT_EQ(rows->GetCurrentFocus(), 7);
  Key(rows, VK_LEFT);
  EXPECT_EQ(rows->GetCurrentFocus(), 6);
  Key(rows, VK_UP);
  Key(rows, VK_UP);
  EXPECT_EQ(rows->GetCurrentFocus(), 2) << "no row above the first";

  TestAlbum* columns = MakeAlbum(AlbumGrid(3, 4, 2), 30);
  SendMessageA(CellWindow(columns, 1 * 4 + 1), WM_LBUTTONDOWN, MK_LBUTTON, 0);  // item 5
  ASSERT_EQ(columns->GetCurrentFocus(), 5);
  Key(columns, VK_DOWN);
  EXPECT_EQ(columns->GetCurrentFocus(), 6) << "Down steps one item in a column";
  Key(columns, VK_RIGHT);
  EXPECT_EQ(columns->GetCurrentFocus(), 9) << "Right steps one column";
  Key(columns, VK_LEFT);
  EXPECT_EQ(columns->GetCurrentFocus(), 6);
  Key(columns, VK_UP);
  EXPECT_EQ(columns->GetCurrentFocus(), 5);
  // Scrolling by keys: item 13 starts the fifth column, beyond the view.
  for (int i = 0; i < 3; ++i) Key(columns, VK_RIGHT);
  EXPECT_EQ(columns->GetCurrentFocus(), 14);
  EXPECT_EQ(columns->GetFirstViewNailID(), 4) << "its column shown last";
}

TEST_F(AlbumView, AKeyWithoutFocusStartsFromTheFirstVisibleItem) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  Scroll(album, SB_PAGEDOWN);
  Key(album, VK_RIGHT);
  EXPECT_EQ(album->GetCurrentFocus(), 14);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({14}));
  TestAlbum* empty = MakeAlbum(AlbumGrid(3, 4, 1), 0);
  Key(empty, VK_RIGHT);
  EXPECT_EQ(empty->GetCurrentFocus(), -1) << "an empty album has nothing to focus";
  EXPECT_FALSE(empty->HaveSel());
}

// Real key presses: the view reads the Shift key's state as the user holds it.
class AlbumKeys : public AlbumView {
 protected:
  void TearDown() override {
    msgseq::KeyUp(VK_SHIFT);
    // The release must have arrived before the next test presses Shift again.
    msgseq::PumpUntil([] { return (GetKeyState(VK_SHIFT) & 0x8000) == 0; }, 2000);
    msgseq::PumpUntilIdle();
    AlbumView::TearDown();
  }
  // Shift down as the view will read it while the next keys arrive.
  bool HoldShift(TestAlbum* album) {
    msgseq::KeyDown(VK_SHIFT);
    return msgseq::PumpUntil(
        [&] { return album->Anchor() != nullptr && (GetKeyState(VK_SHIFT) & 0x8000) != 0; }, 2000);
  }
  void Type(TestAlbum* album, WORD key) {
    int before = album->GetCurrentFocus();
    msgseq::KeyDown(key);
    msgseq::KeyUp(key);
    msgseq::PumpUntil([&] { return album->GetCurrentFocus() != before; }, 2000);
  }
};

TEST_F(AlbumKeys, ShiftArrowsExtendFromTheAnchorAndShrinkBack) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  Click(album, 4);  // item 5
  ASSERT_TRUE(msgseq::MakeForeground(parent));
  SetFocus(album->Window());
  ASSERT_TRUE(HoldShift(album)) << "Shift sets the anchor";
  EXPECT_EQ(album->Anchor()->GetID(), 5);
  Type(album, VK_RIGHT);
  Type(album, VK_RIGHT);
  EXPECT_EQ(album->GetCurrentFocus(), 7);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({5, 6, 7}));
  Type(album, VK_LEFT);
  // The selection was made by a plain click (single mode): shrinking it must
  // still leave the rest of the range reachable through the selection.
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({5, 6})) << "7 left the range";
  EXPECT_TRUE(album->Cell(5)->IsSelect()) << "item 6 still marked";
  EXPECT_FALSE(album->Cell(6)->IsSelect()) << "item 7 unmarked";
  Type(album, VK_DOWN);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join(Range(5, 10))) << "a row down from 6";
  msgseq::KeyUp(VK_SHIFT);
  ASSERT_TRUE(msgseq::PumpUntil([&] { return album->Anchor() == nullptr; }, 2000)) << "Shift up drops the anchor";
  Type(album, VK_RIGHT);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({11})) << "without Shift only the new focus";
}

// ---------------------------------------------------------------------------
// Mouse selection

TEST_F(AlbumView, ShiftClickSelectsARangeAndCtrlClickTakesOneOut) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 10);
  Click(album, 4);  // item 5
  Click(album, 1, MK_SHIFT);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({2, 3, 4, 5}));
  EXPECT_EQ(album->GetCurrentFocus(), 5) << "the focus stays";
  EXPECT_EQ(album->SelHead()->GetID(), 5) << "selected in ascending order: the last is the head";
  Click(album, 2, MK_CONTROL);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({2, 4, 5}));
  EXPECT_FALSE(album->Cell(2)->IsSelect()) << "item 3's cell unmarked";
  Click(album, 7, MK_CONTROL);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({2, 4, 5, 8})) << "Ctrl adds";
  EXPECT_EQ(album->GetCurrentFocus(), 5) << "an existing focus stays";
  Click(album, 4, MK_CONTROL);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({2, 4, 8}));
  EXPECT_EQ(album->GetCurrentFocus(), 2) << "the focus goes to the first selected item";
  Click(album, 9);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({10})) << "a plain click clears the rest";
  EXPECT_EQ(album->SelMode(), 1);
  Click(album, 11);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({10})) << "a press on an empty cell changes nothing";
}

TEST_F(AlbumView, CtrlClickWithoutFocusFocusesTheItem) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 10);
  Click(album, 3, MK_CONTROL);
  EXPECT_EQ(album->GetCurrentFocus(), 4);
  Click(album, 3, MK_CONTROL);
  EXPECT_EQ(album->GetCurrentFocus(), -1) << "the last selected item left: no focus";
  EXPECT_FALSE(album->HaveSel());
}

TEST_F(AlbumView, APressOnASelectedItemWaitsForTheRelease) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 10);
  Click(album, 1);
  Click(album, 4, MK_SHIFT);
  ASSERT_EQ(Join(SelectedIndexes(album)), Join({2, 3, 4, 5}));
  Press(album, 3);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({2, 3, 4, 5})) << "kept while the button is down (a drag may follow)";
  EXPECT_EQ(album->Pending(), 1);
  Release(album, 3);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({4})) << "the release completes a plain click";
  EXPECT_EQ(album->GetCurrentFocus(), 4);
  EXPECT_EQ(album->Pending(), 0);
}

TEST_F(AlbumView, APressWhoseReleaseWasLostDoesNotCompleteLater) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 10);
  Click(album, 1);
  Click(album, 4, MK_SHIFT);
  Press(album, 3);  // the release goes to a drag window and never arrives
  Click(album, 7, MK_CONTROL);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({2, 3, 4, 5, 8})) << "the Ctrl release must not undo its own press";
}

TEST_F(AlbumView, RightPressSelectsLikeALeftPress) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 10);
  SendMessageA(CellWindow(album, 6), WM_RBUTTONDOWN, MK_RBUTTON, 0);
  SendMessageA(CellWindow(album, 6), WM_RBUTTONUP, 0, 0);
  EXPECT_EQ(album->GetCurrentFocus(), 7);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({7}));
}

TEST_F(AlbumView, TheParentHearsOfEveryFocusChangeAndGetsTheCellReports) {
  recorder.RecordOnly({AVM_FOCUSCHANGED, AVM_UPDATESCROLL, AVM_ITEMLBUTTONDOWN, AVM_ITEMBUTTONUP});
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 10);
  Click(album, 2);
  Click(album, 2);
  Expected expected[] = {{AVM_FOCUSCHANGED, sent | wparam | lparam}, {AVM_ITEMLBUTTONDOWN, sent | wparam, MK_LBUTTON},
                         {AVM_ITEMBUTTONUP, sent},
                         {AVM_ITEMLBUTTONDOWN, sent},  // a press on the selected item waits
                         {AVM_FOCUSCHANGED, sent | wparam | lparam},  // the release completes: same item again
                         {AVM_ITEMBUTTONUP, sent},
                         {0}};
  CThumbnail2* third = album->GetDocument()->GetThumbnail(3);
  expected[0].wParam = expected[4].wParam = reinterpret_cast<WPARAM>(album->Window());
  expected[0].lParam = expected[4].lParam = reinterpret_cast<LPARAM>(third);
  ok_sequence(recorder, 0, expected, "two clicks on item 3");
}

TEST_F(AlbumView, SingleSelectionTurnsCtrlAndShiftIntoPlainClicksAndDrawsNoFocusMark) {
  tagAlbumViewCreateInfo single = AlbumGrid(3, 4, 1, 1);
  single.avcCaption = 3;
  TestAlbum* album = MakeAlbum(single, 10);
  Click(album, 1);
  Click(album, 4, MK_SHIFT);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({5})) << "Shift acts as a plain click";
  Click(album, 6, MK_CONTROL);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({7})) << "Ctrl acts as a plain click";
  EXPECT_EQ(album->GetCurrentFocus(), 7);
  ShowWindow(parent, SW_SHOW);
  viewtest::Snapshot singleShot(CellWindow(album, 6));
  ASSERT_TRUE(singleShot.ok());
  RECT whole{0, 0, singleShot.width(), singleShot.height()};
  EXPECT_EQ(singleShot.Count(RGB(255, 0, 0), whole), 0) << "no focus mark in single selection";

  tagAlbumViewCreateInfo multiple = AlbumGrid(3, 4, 1, 2);
  multiple.avcCaption = 3;
  TestAlbum* other = MakeAlbum(multiple, 10);
  SetWindowPos(other->Window(), HWND_TOP, 10, 240, 0, 0, SWP_NOSIZE);
  Click(other, 6);
  viewtest::Snapshot multipleShot(CellWindow(other, 6));
  EXPECT_GT(multipleShot.Count(RGB(255, 0, 0), whole), 0) << "the focus mark where multiple selection is on";
}

// ---------------------------------------------------------------------------
// Focus by number and hit test

TEST_F(AlbumView, SetCurrentFocusScrollsTheItemIntoViewAndClicksIt) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  EXPECT_EQ(album->SetCurrentFocus(0), 0);
  EXPECT_EQ(album->SetCurrentFocus(31), 0);
  EXPECT_EQ(album->SetCurrentFocus(22), 1);
  EXPECT_EQ(album->GetCurrentFocus(), 22);
  EXPECT_EQ(album->GetFirstViewNailID(), 13) << "its row shown last";
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({22}));
  EXPECT_EQ(album->SetCurrentFocus(2), 1);
  EXPECT_EQ(album->GetFirstViewNailID(), 1) << "its row shown first";
  TestAlbum* empty = MakeAlbum(AlbumGrid(3, 4, 1), 0);
  EXPECT_EQ(empty->SetCurrentFocus(1), 0);
}

TEST_F(AlbumView, SetCurrentFocusOnASelectedItemLeavesOnlyThatItem) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 10);
  Click(album, 1);
  Click(album, 4, MK_SHIFT);
  EXPECT_EQ(album->SetCurrentFocus(3), 1);
  EXPECT_EQ(album->GetCurrentFocus(), 3) << "the click is complete, not waiting for a release";
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({3}));
  EXPECT_EQ(album->Pending(), 0);
}

TEST_F(AlbumView, TheCellUnderAScreenPointIsFound) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 10);
  for (int i = 0; i < album->CellCount(); ++i) {
    POINT centre = msgseq::ScreenCentre(CellWindow(album, i));
    EXPECT_EQ(album->GetThumbViewByPos(centre.x, centre.y), album->Cell(i)) << "cell " << i;
  }
  RECT list;
  GetWindowRect(album->Window(), &list);
  EXPECT_EQ(album->GetThumbViewByPos(list.left + 1, list.top + 1), nullptr) << "the gap between cells";
  EXPECT_EQ(album->GetThumbViewByPos(list.right + 50, list.top), nullptr) << "outside the view";
}

// ---------------------------------------------------------------------------
// A list window made from a dialog template

TEST_F(AlbumView, ATemplateMadeListWindowIsAnAlbumViewOfTheProgramFolder) {
  HWND window = CreateWindowExA(0, "CThumbListView2", nullptr, WS_CHILD | WS_VISIBLE, 10, 10, 300, 200, parent,
                                nullptr, GetResourceModule(), nullptr);
  ASSERT_NE(window, nullptr);
  auto* view = reinterpret_cast<CThumbListView2*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  auto* album = dynamic_cast<CAlbum*>(view);
  ASSERT_NE(album, nullptr) << "the window brought an album view";
  char program[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, program, sizeof(program));
  *(strrchr(program, '\\') + 1) = '\0';
  EXPECT_STREQ(album->GetDocument()->GetExePath(), program) << "the program folder";
  album->GetDocument()->Insert(MakeAlbumItem(ItemPath(1)), nullptr);
  EXPECT_EQ(album->UpDataThumbListView(-1), 1);
  EXPECT_EQ(album->SetCurrentFocus(1), 1);
  DestroyWindow(window);  // takes the album and its items along
}

// ---------------------------------------------------------------------------
// Robustness

TEST_F(AlbumView, ACellThatCannotTakeItsItemDoesNotStopTheOthers) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  DestroyWindow(CellWindow(album, 3));  // the fourth cell loses its window
  EXPECT_EQ(album->UpDataThumbListView(-1), 0) << "the failure is reported";
  Scroll(album, SB_PAGEDOWN);
  EXPECT_EQ(album->GetFirstViewNailID(), 13);
  for (int k = 4; k < 12; ++k) EXPECT_EQ(album->Shown(k), 13 + k) << "cell " << k << " after the failed one";
}

TEST_F(AlbumView, ReportsNamingNoCellOfTheViewChangeNothing) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 10);
  Click(album, 2);
  SendMessageA(album->Window(), AVM_ITEMLBUTTONDOWN, MK_CONTROL, 0x1234);
  SendMessageA(album->Window(), AVM_ITEMBUTTONUP, 0, 0x1234);
  SendMessageA(album->Window(), AVM_ITEMRBUTTONDOWN, 0, 0);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({3}));
  EXPECT_EQ(album->GetCurrentFocus(), 3);
}

TEST_F(AlbumKeys, RemovingTheAnchorWhileShiftIsHeldDropsIt) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  Click(album, 4);  // item 5
  ASSERT_TRUE(msgseq::MakeForeground(parent));
  SetFocus(album->Window());
  ASSERT_TRUE(HoldShift(album));
  Type(album, VK_RIGHT);
  ASSERT_EQ(Join(SelectedIndexes(album)), Join({5, 6}));
  EXPECT_EQ(album->RemoveSelected(0), 1);
  EXPECT_EQ(album->Anchor(), nullptr) << "the anchor item is gone";
  EXPECT_EQ(album->GetCurrentFocus(), 5) << "the old item 7";
  Type(album, VK_RIGHT);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({7, 8})) << "a range from the new focus (the old 7 and 8)";
}

// ---------------------------------------------------------------------------
// Copies

TEST_F(AlbumView, ACopyGoesWithoutTheOriginalsCellsItemsOrPictures) {
  LONG baseline = ToviMemLiveCount();
  TestAlbum* album = MakeAlbum(AlbumGrid(2, 3, 1), 8);
  ASSERT_EQ(album->SetCurrentFocus(2), 1);
  LONG held = ToviMemLiveCount();
  std::vector<HWND> cells;
  for (int i = 0; i < album->CellCount(); ++i) cells.push_back(CellWindow(album, i));
  ASSERT_EQ(cells.size(), 6u);
  HWND ownWindow = nullptr;
  {
    CAlbum copy(*album);
    EXPECT_EQ(copy.GetThumbNailCount(), 8);
    EXPECT_EQ(copy.GetViewWindow(), album->GetViewWindow());
    EXPECT_EQ(copy.GetCurrentFocus(), 2);
    tagAlbumViewCreateInfo aci = AlbumGrid(1, 2, 1);
    CAlbum assigned(parent, RECT{10, 300, 136, 68}, aci);
    ownWindow = assigned.GetViewWindow();
    assigned.GetDocument()->Insert(MakeAlbumItem(ItemPath(99)), nullptr);
    assigned = *album;
    EXPECT_EQ(ToviMemLiveCount(), held) << "the assigned view released its own item only";
    EXPECT_EQ(assigned.GetThumbNailCount(), 8);
  }
  EXPECT_EQ(ToviMemLiveCount(), held) << "no picture of the original was released";
  for (size_t i = 0; i < cells.size(); ++i) {
    ASSERT_NE(cells[i], nullptr);
    EXPECT_TRUE(IsWindow(cells[i])) << "cell " << i;
    EXPECT_EQ(CellWindow(album, static_cast<int>(i)), cells[i]) << "cell " << i << " still bound";
  }
  ASSERT_EQ(album->GetThumbNailCount(), 8);
  for (int n = 1; n <= 8; ++n) EXPECT_EQ(IndexOf(album->GetDocument()->GetThumbnail(n)), n);
  EXPECT_EQ(album->SetCurrentFocus(7), 1);
  EXPECT_EQ(album->GetCurrentFocus(), 7);
  EXPECT_EQ(album->UpDataThumbListView(-1), 1);
  EXPECT_EQ(album->RemoveSelected(0), 1);
  EXPECT_EQ(album->GetThumbNailCount(), 7);
  DestroyWindow(ownWindow);

  HWND window = album->Window();
  albums.pop_back();
  DestroyWindow(window);
  EXPECT_EQ(ToviMemLiveCount(), baseline) << "the original released everything once";
}
