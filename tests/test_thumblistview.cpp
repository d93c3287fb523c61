// The thumbnail list view: grid geometry in every layout mode, frame drag
// snapping and minimum sizes, relaying of the cells' reports and of drag
// and drop, the configuration record copied byte for byte, and the list
// made from a dialog template.
#include <gtest/gtest.h>

#include "support/Processes.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ViewTestSupport.h"
#include "manager/Module.h"
#include "support/MessageRecorder.h"
#include "views/ThumbListView.h"

using namespace viewtest;
using msgseq::Expected;

namespace {

const char kCellClass[] = "ThumbViewClass";

// A list view whose protected state the test reads.
class TestList : public CThumbListView2 {
 public:
  TestList(HWND parent, RECT place, tagAlbumViewCreateInfo& aci) : CThumbListView2(parent, place, aci) {}
  HWND Window() const { return m_hWnd; }
  int Count() const { return m_nViewCount; }
  CThumbView2* Cell(int index) const { return m_ppViews ? m_ppViews[index] : nullptr; }
};

tagAlbumViewCreateInfo Grid(int rows, int cols, int layout, int gap = 16) {
  tagAlbumViewCreateInfo aci = MakeConfig(2, 2);
  aci.avcRows = rows;
  aci.avcCols = cols;
  aci.avcHGap = gap;
  aci.avcVGap = gap;
  aci.avcLayout = layout;
  return aci;
}

// The window of a cell object, found among the list's children.
HWND WindowOf(HWND list, CThumbView2* cell) {
  for (HWND child : ChildrenOfClass(list, kCellClass)) {
    if (GetWindowLongPtrA(child, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(cell)) return child;
  }
  return nullptr;
}

// Each cell's rectangle in the list, in grid order.
std::vector<RECT> CellPlaces(const TestList& list) {
  std::vector<RECT> places;
  for (int i = 0; i < list.Count(); ++i) {
    HWND cell = WindowOf(list.Window(), list.Cell(i));
    places.push_back(cell ? PlaceInParent(cell) : RECT{-1, -1, -1, -1});
  }
  return places;
}

// Checks a rows x cols grid: cells of width x height starting at (x0, y0)
// with the given pitch.
void ExpectGrid(const TestList& list, int rows, int cols, int x0, int y0, int width, int height, int pitchX,
                int pitchY) {
  ASSERT_EQ(list.Count(), rows * cols) << "cells in the grid";
  EXPECT_EQ(ChildrenOfClass(list.Window(), kCellClass).size(), static_cast<size_t>(rows * cols))
      << "cell windows in the list";
  std::vector<RECT> places = CellPlaces(list);
  for (int i = 0; i < rows * cols; ++i) {
    int x = x0 + (i % cols) * pitchX;
    int y = y0 + (i / cols) * pitchY;
    RECT expected{x, y, x + width, y + height};
    EXPECT_TRUE(SameRect(places[i], expected)) << "cell " << i << ": expected " << Describe(expected) << ", got "
                                               << Describe(places[i]);
  }
}

RECT Sizing(HWND list, int edge, RECT proposed) {
  SendMessageA(list, WM_SIZING, edge, reinterpret_cast<LPARAM>(&proposed));
  return proposed;
}

void AddBorder(HWND window) {
  SetWindowLongPtrA(window, GWL_STYLE, GetWindowLongPtrA(window, GWL_STYLE) | WS_BORDER);
  SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

class ListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder.RecordOnly({AVM_ITEMDBLCLK, AVM_ITEMLBUTTONDOWN, AVM_ITEMBUTTONUP, AVM_ITEMRBUTTONDOWN, AVM_ITEMDROP,
                         AVM_DRAGNOTIFY, AVM_UPDATESCROLL});
    parent = recorder.CreateTopWindow(0, RECT{20, 20, 1000, 760});
    ASSERT_NE(parent, nullptr);
  }
  void TearDown() override {
    for (auto& list : lists) {
      HWND window = list->Window();
      list.reset();
      if (window) DestroyWindow(window);
    }
    items.clear();
  }
  TestList* MakeList(int x, int y, int width, int height, tagAlbumViewCreateInfo aci) {
    lists.emplace_back(new TestList(parent, RECT{x, y, width, height}, aci));
    return lists.back().get();
  }
  CThumbnail2* MakeItem(const ItemOptions& options) {
    items.emplace_back(MakeTestItem(options));
    return items.back().get();
  }

  msgseq::Recorder recorder;
  HWND parent = nullptr;
  std::vector<std::unique_ptr<TestList>> lists;
  std::vector<std::unique_ptr<TestItem>> items;
};

}  // namespace

// ---------------------------------------------------------------------------
// Registration and grids

TEST(ListClass, IsRegisteredWithTheResourceModuleAtStartUp) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  ASSERT_TRUE(GetClassInfoExA(GetResourceModule(), "CThumbListView2", &wc)) << "class not registered";
  EXPECT_EQ(wc.style, static_cast<UINT>(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS)) << "got style " << wc.style;
  EXPECT_EQ(wc.cbWndExtra, 4) << "window extra bytes";
  EXPECT_EQ(wc.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
}

TEST(ListClass, BothViewClassesGoAwayWhenTheComponentIsUnloaded) {
  int code = testproc::RunProgram("view_class_probe.exe");
  EXPECT_EQ(code, 0) << "registered at load and removed at unload (1: not so, 2 and 3: a module did not load)";
}

TEST_F(ListTest, FixedGridDividesTheClientAreaAndCentresTheGaps) {
  TestList* list = MakeList(10, 10, 400, 300, Grid(3, 4, 0));
  ASSERT_NE(list->Window(), nullptr);
  ExpectGrid(*list, 3, 4, 8, 8, 84, 84, 100, 100);
  bool told = false;
  for (const msgseq::Recorded& message : recorder.Stream(0)) {
    told |= message.message == AVM_UPDATESCROLL && message.wParam == reinterpret_cast<WPARAM>(list->Window());
  }
  EXPECT_TRUE(told) << "the parent hears AVM_UPDATESCROLL with the list's window after the first layout";
}

TEST_F(ListTest, ResetLayoutKeepsCellsThatTileTheWindowAndRemakesThemOtherwise) {
  TestList* list = MakeList(10, 10, 400, 300, Grid(3, 4, 0));
  // 84 + 16 divides 400 and 300: two columns of the same cells.
  EXPECT_EQ(list->ResetLayout(Grid(3, 2, 0)), 6);
  ExpectGrid(*list, 3, 2, 8, 8, 84, 84, 100, 100);
  // Stretched layout always recomputes: 400 / 2 - 16.
  EXPECT_EQ(list->ResetLayout(Grid(3, 2, 2)), 6);
  ExpectGrid(*list, 3, 2, 8, 8, 184, 84, 200, 100);
  // A size that no longer tiles: the window is resized, the cells follow.
  recorder.Flush();
  SetWindowPos(list->Window(), nullptr, 0, 0, 500, 330, SWP_NOMOVE | SWP_NOZORDER);
  ExpectGrid(*list, 3, 2, 8, 8, 234, 94, 250, 110);
  const Expected expected[] = {{AVM_UPDATESCROLL, msgseq::sent | msgseq::wparam | msgseq::lparam,
                                reinterpret_cast<WPARAM>(list->Window()), 0},
                               {0, 0, 0, 0}};
  ok_sequence(recorder, 0, expected, "resizing the list");
}

TEST_F(ListTest, ResetLayoutWithoutRowsLeavesNoCells) {
  TestList* list = MakeList(10, 10, 400, 300, Grid(3, 4, 0));
  EXPECT_EQ(list->ResetLayout(Grid(0, 4, 0)), 0);
  EXPECT_EQ(list->Count(), 0);
  EXPECT_TRUE(ChildrenOfClass(list->Window(), kCellClass).empty()) << "every cell window is gone";
  EXPECT_EQ(list->ResetLayout(Grid(-2, 4, 0)), 0) << "negative rows make no grid either";
  EXPECT_EQ(list->ResetLayout(Grid(2, 2, 0)), 4) << "and a grid comes back";
}

TEST_F(ListTest, FitToWindowLayoutCountsWholeCellsOfTheConfiguredSize) {
  tagAlbumViewCreateInfo aci = Grid(2, 3, 1);
  aci.avcCellWidth = 88;
  aci.avcCellHeight = 107;
  TestList* list = MakeList(10, 10, 312, 246, aci);
  ExpectGrid(*list, 2, 3, 8, 8, 88, 107, 104, 123);
  EXPECT_EQ(list->GetACI()->avcCols, 3);
  EXPECT_EQ(list->GetACI()->avcRows, 2);

  SetWindowPos(list->Window(), nullptr, 0, 0, 420, 370, SWP_NOMOVE | SWP_NOZORDER);
  // 420 / 104 = 4 columns, 370 / 123 = 3 rows; the cells stretch to fill.
  ExpectGrid(*list, 3, 4, 8, 8, 89, 107, 105, 123);
  EXPECT_EQ(list->GetACI()->avcCols, 4) << "the configuration follows the window";
}

TEST_F(ListTest, FitToWindowWithoutACellPitchKeepsItsGrid) {
  tagAlbumViewCreateInfo aci = Grid(2, 2, 1, 0);  // no gaps and no cell size
  TestList* list = MakeList(10, 10, 200, 100, aci);
  ExpectGrid(*list, 2, 2, 0, 0, 100, 50, 100, 50);
  int width = 333, height = 111;
  EXPECT_EQ(list->AdjustWindowSize(width, height), 1);
  EXPECT_EQ(width, 300) << "the first cell's width is the pitch";
  EXPECT_EQ(height, 100);
}

// ---------------------------------------------------------------------------
// Frame dragging

TEST_F(ListTest, FitToWindowSnapsADraggedEdgeToWholeCells) {
  tagAlbumViewCreateInfo aci = Grid(2, 3, 1);
  aci.avcCellWidth = 88;
  aci.avcCellHeight = 107;
  TestList* list = MakeList(10, 10, 312, 246, aci);  // pitch 104 x 123, no frame
  HWND window = list->Window();

  RECT r = Sizing(window, WMSZ_RIGHT, RECT{0, 0, 330, 246});
  EXPECT_EQ(r.right, 312) << "330 snaps to 3 columns";
  r = Sizing(window, WMSZ_RIGHT, RECT{0, 0, 50, 246});
  EXPECT_EQ(r.right, 104) << "at least one column";
  r = Sizing(window, WMSZ_LEFT, RECT{100, 0, 430, 246});
  EXPECT_EQ(r.left, 118) << "the left edge moves, the right one stays";
  EXPECT_EQ(r.right, 430);
  r = Sizing(window, WMSZ_BOTTOM, RECT{0, 0, 312, 300});
  EXPECT_EQ(r.bottom, 246) << "300 snaps to 2 rows";
  r = Sizing(window, WMSZ_TOPLEFT, RECT{10, 20, 340, 400});
  EXPECT_TRUE(SameRect(r, RECT{28, 31, 340, 400})) << "expected (28, 31, 340, 400), got " << Describe(r);
  r = Sizing(window, WMSZ_BOTTOMRIGHT, RECT{5, 5, 540, 380});
  EXPECT_TRUE(SameRect(r, RECT{5, 5, 525, 374})) << "expected (5, 5, 525, 374), got " << Describe(r);

  int width = 330, height = 300;
  EXPECT_EQ(list->AdjustWindowSize(width, height), 1);
  EXPECT_EQ(width, 312);
  EXPECT_EQ(height, 246);

  // With a border the client area is 312 x 246 again, and the frame counts.
  TestList* framed = MakeList(10, 300, 314, 248, aci);
  AddBorder(framed->Window());
  r = Sizing(framed->Window(), WMSZ_RIGHT, RECT{0, 0, 330, 248});
  EXPECT_EQ(r.right, 314) << "3 columns plus the 2-pixel frame";
}

TEST_F(ListTest, FixedGridCannotBeDraggedNarrowerThanItsCells) {
  TestList* list = MakeList(10, 10, 500, 200, Grid(2, 5, 0));
  AddBorder(list->Window());
  RECT r = Sizing(list->Window(), WMSZ_RIGHT, RECT{0, 0, 100, 300});
  EXPECT_EQ(r.right, 162) << "5 x (16 + 16) plus the frame";
  r = Sizing(list->Window(), WMSZ_LEFT, RECT{0, 0, 100, 300});
  EXPECT_EQ(r.left, -62);
  r = Sizing(list->Window(), WMSZ_BOTTOMRIGHT, RECT{0, 0, 100, 40});
  EXPECT_TRUE(SameRect(r, RECT{0, 0, 162, 66})) << "expected (0, 0, 162, 66), got " << Describe(r);
  r = Sizing(list->Window(), WMSZ_RIGHT, RECT{0, 0, 333, 300});
  EXPECT_EQ(r.right, 333) << "wider than the minimum is left alone";
}

// ---------------------------------------------------------------------------
// Cell settings and relaying

TEST_F(ListTest, BackgroundBrushAndDragFlagReachEveryCellOldAndNew) {
  tagAlbumViewCreateInfo aci = Grid(1, 2, 0);
  aci.avcStyle = 0;
  TestList* list = MakeList(10, 10, 300, 150, aci);
  list->SetThumbViewBkColor(BLACK_BRUSH);
  HWND first = WindowOf(list->Window(), list->Cell(0));
  EXPECT_EQ(Snapshot(first).At(20, 20), RGB(0, 0, 0)) << "a filled cell";
  list->ResetLayout(aci);
  HWND second = WindowOf(list->Window(), list->Cell(1));
  EXPECT_EQ(Snapshot(second).At(20, 20), RGB(0, 0, 0)) << "new cells are filled too";

  list->SetDragDrop(0);
  recorder.Flush();
  tagDRAGNOTIFY record{};
  record.ddAction = DRAG_DROP;
  SendMessageA(second, AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&record));
  EXPECT_EQ(record.ddHandled, 0) << "the cell's drag and drop is off";
  list->ResetLayout(aci);
  SendMessageA(WindowOf(list->Window(), list->Cell(0)), AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&record));
  EXPECT_EQ(record.ddHandled, 0) << "and stays off in new cells";
}

TEST_F(ListTest, DropsAndDragStepsFromCellsGoOnToTheParentOnlyWithDragAndDrop) {
  TestList* list = MakeList(10, 10, 300, 150, Grid(1, 2, 0));
  CThumbView2* cell = list->Cell(1);
  HWND cellWindow = WindowOf(list->Window(), cell);
  list->Cell(1)->Attach(MakeItem(ItemOptions()));
  recorder.Flush();

  tagDRAGNOTIFY drop{};
  drop.ddAction = DRAG_DROP;
  tagDRAGNOTIFY query{};
  query.ddAction = DRAG_QUERY;
  SendMessageA(cellWindow, AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&drop));
  SendMessageA(cellWindow, AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&query));
  const Expected relayed[] = {
      {AVM_ITEMDROP, msgseq::sent | msgseq::wparam | msgseq::lparam, reinterpret_cast<WPARAM>(cell),
       reinterpret_cast<LPARAM>(&drop)},
      {AVM_DRAGNOTIFY, msgseq::sent | msgseq::action, 0, DRAG_QUERY},
      {0, 0, 0, 0}};
  ok_sequence(recorder, 0, relayed, "drop and query at a cell of a list with drag and drop");

  list->SetDragDrop(0);
  recorder.Flush();
  SendMessageA(list->Window(), AVM_ITEMDROP, reinterpret_cast<WPARAM>(cell), reinterpret_cast<LPARAM>(&drop));
  SendMessageA(list->Window(), AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&query));
  SendMessageA(cellWindow, AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&drop));
  const Expected nothing[] = {{0, 0, 0, 0}};
  ok_sequence(recorder, 0, nothing, "a list without drag and drop");
}

TEST_F(ListTest, ScrollRequestsAreAnsweredWithZeroAndGoNoFurther) {
  TestList* list = MakeList(10, 10, 300, 150, Grid(1, 2, 0));
  recorder.Flush();
  EXPECT_EQ(SendMessageA(list->Window(), AVM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 50), 100), 0);
  EXPECT_EQ(SendMessageA(list->Window(), AVM_VSCROLL, SB_LINEDOWN, 100), 0);
  EXPECT_EQ(SendMessageA(list->Window(), WM_VSCROLL, SB_LINEDOWN, 0), 0);
  EXPECT_TRUE(recorder.Stream(0).empty()) << "the plain list view does not scroll";
}

class ListMouseTest : public ListTest {
 protected:
  void SetUp() override {
    ListTest::SetUp();
    list = MakeList(40, 40, 300, 150, Grid(1, 2, 0));
    cell = list->Cell(1);
    cellWindow = WindowOf(list->Window(), cell);
    ASSERT_NE(cellWindow, nullptr);
    cell->Attach(MakeItem(ItemOptions()));
    ASSERT_TRUE(msgseq::MakeForeground(parent));
    msgseq::MoveCursor(msgseq::ScreenCentre(cellWindow));
    msgseq::PumpUntilIdle();
    recorder.Flush();
  }
  void TearDown() override {
    if (GetCapture()) ReleaseCapture();
    ListTest::TearDown();
  }
  bool WaitForReports(size_t count) {
    return msgseq::PumpUntil([&] { return recorder.Stream(0).size() >= count; });
  }
  LPARAM Cell() const { return reinterpret_cast<LPARAM>(cell); }

  TestList* list = nullptr;
  CThumbView2* cell = nullptr;
  HWND cellWindow = nullptr;
};

TEST_F(ListMouseTest, ClicksOnACellReachTheListsParent) {
  msgseq::LeftDown();
  msgseq::LeftUp();
  msgseq::LeftDown();
  msgseq::LeftUp();
  ASSERT_TRUE(WaitForReports(4));
  INPUT right[2] = {};
  right[0].type = right[1].type = INPUT_MOUSE;
  right[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
  right[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  SendInput(2, right, sizeof(INPUT));
  ASSERT_TRUE(WaitForReports(6));
  const Expected expected[] = {
      {AVM_ITEMLBUTTONDOWN, msgseq::sent | msgseq::wparam | msgseq::lparam, MK_LBUTTON, Cell()},
      {AVM_ITEMBUTTONUP, msgseq::sent | msgseq::lparam, 0, Cell()},
      {AVM_ITEMDBLCLK, msgseq::sent | msgseq::wparam | msgseq::lparam, MK_LBUTTON, Cell()},
      {AVM_ITEMBUTTONUP, msgseq::sent | msgseq::lparam, 0, Cell()},
      {AVM_ITEMRBUTTONDOWN, msgseq::sent | msgseq::wparam | msgseq::lparam, MK_RBUTTON, Cell()},
      {AVM_ITEMBUTTONUP, msgseq::sent | msgseq::lparam, 0, Cell()},
      {0, 0, 0, 0}};
  ok_sequence(recorder, 0, expected, "click, double click and right click through the list");
}

TEST_F(ListMouseTest, WithoutDragAndDropACellHoldsTheMouseUntilRelease) {
  list->SetDragDrop(0);
  msgseq::LeftDown();
  ASSERT_TRUE(WaitForReports(1));
  EXPECT_EQ(GetCapture(), cellWindow) << "the pressed cell captures the mouse";
  msgseq::LeftUp();
  ASSERT_TRUE(WaitForReports(2));
  EXPECT_EQ(GetCapture(), nullptr) << "and gives it back";
}

namespace {

COLORREF PixelOf(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}

}  // namespace

TEST_F(ListTest, DraggingAcrossCardsMarksTheCardUnderTheCursorOnly) {
  const COLORREF red = RGB(255, 0, 0);
  tagAlbumViewCreateInfo aci = Grid(1, 3, 0);
  aci.avcStyle = 4;
  TestList* list = MakeList(40, 40, 420, 160, aci);
  HWND cards[3];
  for (int i = 0; i < 3; ++i) {
    list->Cell(i)->Attach(MakeItem(ItemOptions()));
    cards[i] = WindowOf(list->Window(), list->Cell(i));
    ASSERT_NE(cards[i], nullptr);
  }
  ASSERT_TRUE(msgseq::MakeForeground(parent));
  POINT start = msgseq::ScreenCentre(cards[0]);
  msgseq::MoveCursor(start);
  msgseq::PumpUntilIdle();
  recorder.Flush();

  msgseq::LeftDown();
  msgseq::PumpUntilIdle();
  msgseq::MoveCursor(POINT{start.x + 12, start.y + 2});
  ASSERT_TRUE(msgseq::PumpUntil([] { return GetCapture() != nullptr; })) << "the drag starts on the first card";
  msgseq::MoveCursor(msgseq::ScreenCentre(cards[1]));
  EXPECT_TRUE(msgseq::PumpUntil([&] { return PixelOf(cards[1], 4, 60) == red; }))
      << "the card under the cursor shows the hover mark";
  EXPECT_NE(PixelOf(cards[2], 4, 60), red);

  msgseq::MoveCursor(msgseq::ScreenCentre(cards[2]));
  EXPECT_TRUE(msgseq::PumpUntil([&] { return PixelOf(cards[2], 4, 60) == red; })) << "the mark moves on";
  EXPECT_NE(PixelOf(cards[1], 4, 60), red) << "the card left behind repainted itself";

  msgseq::LeftUp();
  EXPECT_TRUE(msgseq::PumpUntil([&] {
    const auto& stream = recorder.Stream(0);
    return !stream.empty() && stream.back().hasDrag && stream.back().drag.ddAction == DRAG_END;
  })) << "the source hears the end of the drag through its list";
  for (const msgseq::Recorded& message : recorder.Stream(0)) {
    EXPECT_FALSE(message.hasDrag && message.drag.ddAction == DRAG_OVER)
        << "over steps stay with the cards that accept them: " << msgseq::Describe(message);
  }
  ASSERT_FALSE(recorder.Stream(0).empty());
  EXPECT_EQ(recorder.Stream(0).back().drag.ddEffect, DRAG_EFFECT_NONE) << "nobody took the drop";
  EXPECT_EQ(GetCapture(), nullptr);
}

// ---------------------------------------------------------------------------
// Configuration record

TEST_F(ListTest, AConfigurationCopiedByteForByteGivesTheSameGridAndCells) {
  tagAlbumViewCreateInfo aci = Grid(2, 3, 1);
  aci.avcStyle = 4;
  aci.avcCellWidth = 88;
  aci.avcCellHeight = 107;
  TestList* original = MakeList(10, 10, 312, 246, aci);
  tagAlbumViewCreateInfo copied;
  memcpy(&copied, original->GetACI(), sizeof(copied));
  TestList* copy = MakeList(340, 10, 312, 246, copied);
  tagAlbumViewCreateInfo noisy;
  memcpy(&noisy, original->GetACI(), sizeof(noisy));
  noisy.avcReserved1 = static_cast<int>(0xDEADBEEF);
  noisy.avcReserved2 = -1;
  TestList* reserved = MakeList(10, 270, 312, 246, noisy);

  std::vector<RECT> expected = CellPlaces(*original);
  ASSERT_EQ(expected.size(), 6u);
  for (TestList* other : {copy, reserved}) {
    std::vector<RECT> got = CellPlaces(*other);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_TRUE(SameRect(got[i], expected[i])) << "cell " << i << ": expected " << Describe(expected[i])
                                                 << ", got " << Describe(got[i]);
    }
  }
  EXPECT_EQ(memcmp(copy->GetACI(), original->GetACI(), sizeof(tagAlbumViewCreateInfo)), 0);
  EXPECT_EQ(reserved->GetACI()->avcReserved1, static_cast<int>(0xDEADBEEF)) << "reserved fields are kept";

  ItemOptions options;
  options.path = "C:\\pictures\\harbour.jpg";
  options.id = 12;
  CThumbnail2* item = MakeItem(options);
  std::vector<std::unique_ptr<Snapshot>> shots;
  for (TestList* list : {original, copy, reserved}) {
    list->Cell(4)->Attach(item);
    list->Cell(4)->SetSelect(1);
    shots.emplace_back(new Snapshot(WindowOf(list->Window(), list->Cell(4))));
  }
  RECT all{0, 0, 88, 107};
  EXPECT_TRUE(shots[0]->SameIn(*shots[1], all)) << "the copy paints the same cell";
  EXPECT_TRUE(shots[0]->SameIn(*shots[2], all)) << "reserved fields change nothing";
}

TEST_F(ListTest, TransparentBackgroundModeChangesTheClassBrush) {
  TestList* plain = MakeList(10, 10, 100, 100, Grid(1, 1, 0));
  EXPECT_EQ(GetClassLongPtrA(plain->Window(), GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);
  tagAlbumViewCreateInfo aci = Grid(1, 1, 0);
  aci.avcBkMode = 1;
  TestList* list = MakeList(120, 10, 100, 100, aci);
  HBRUSH brush = reinterpret_cast<HBRUSH>(GetClassLongPtrA(list->Window(), GCLP_HBRBACKGROUND));
  EXPECT_EQ(brush, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))) << "the class background shows through";
  // The class is shared by every list view in this process.
  SetClassLongPtrA(list->Window(), GCLP_HBRBACKGROUND, COLOR_BTNFACE + 1);
}

// ---------------------------------------------------------------------------
// Lifetime

TEST_F(ListTest, DeletingTheObjectClosesItsCellsButLeavesTheWindowToItsCreator) {
  TestList* list = MakeList(10, 10, 300, 150, Grid(2, 2, 0));
  HWND window = list->Window();
  ASSERT_EQ(ChildrenOfClass(window, kCellClass).size(), 4u);
  lists.clear();
  EXPECT_TRUE(IsWindow(window));
  EXPECT_TRUE(ChildrenOfClass(window, kCellClass).empty()) << "every cell window is closed";
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0) << "the window no longer points at the object";
  DestroyWindow(window);
}

TEST_F(ListTest, AListWhoseWindowWentFirstIsDeletedSafely) {
  HWND frame = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 300, parent, nullptr, nullptr,
                               nullptr);
  int users = CountUserObjects();
  tagAlbumViewCreateInfo aci = Grid(2, 2, 0);
  aci.avcToolTip = 1;
  auto* list = new TestList(frame, RECT{0, 0, 300, 150}, aci);
  DestroyWindow(frame);
  EXPECT_EQ(list->Window(), nullptr) << "the object forgot its window";
  delete list;
  EXPECT_EQ(CountUserObjects(), users - 1) << "only the frame is gone; no cell or tooltip is left";
}

TEST_F(ListTest, AListMadeFromATemplateBringsItsOwnObjectAndDefaults) {
  char language[64] = "";
  GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE, language, sizeof(language));
  int users = CountUserObjects();
  HWND window = CreateWindowExA(0, "CThumbListView2", nullptr, WS_CHILD | WS_VISIBLE, 10, 10, 160, 96, parent,
                                nullptr, GetResourceModule(), nullptr);
  ASSERT_NE(window, nullptr);
  auto* view = reinterpret_cast<CThumbListView2*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  ASSERT_NE(view, nullptr) << "the window made its own view object";
  const tagAlbumViewCreateInfo* aci = view->GetACI();
  EXPECT_EQ(aci->avcStyle, 3);
  EXPECT_EQ(aci->avcLayout, 1);
  EXPECT_EQ(aci->avcCaption, 1);
  EXPECT_EQ(aci->avcSelect, 2);
  EXPECT_EQ(aci->avcScroll, 2);
  EXPECT_EQ(aci->avcHGap, 16);
  EXPECT_EQ(aci->avcFont.lfHeight, -15);
  EXPECT_EQ(aci->avcFont.lfWeight, 400);
  EXPECT_EQ(aci->avcFont.lfPitchAndFamily, 18);
  EXPECT_STREQ(aci->avcFont.lfFaceName, "Arial") << "system language " << language;
  if (lstrcmpiA(language, "English") == 0) {
    EXPECT_EQ(aci->avcFont.lfCharSet, 0) << "English text";
  }
  // Fit to window with no cell size keeps the configured grid: the gaps
  // alone are no pitch.
  EXPECT_EQ(aci->avcCols, 5);
  EXPECT_EQ(aci->avcRows, 5);
  EXPECT_EQ(ChildrenOfClass(window, kCellClass).size(), 25u) << "an empty grid";
  DestroyWindow(window);
  EXPECT_EQ(CountUserObjects(), users) << "destroying the window took the object and its cells";
}

// ---------------------------------------------------------------------------
// Copies

TEST_F(ListTest, CopiesGoWithoutClosingTheOriginalsCells) {
  TestList* list = MakeList(10, 10, 300, 150, Grid(2, 3, 0));
  ASSERT_EQ(list->Count(), 6);
  std::vector<HWND> cells;
  for (int i = 0; i < list->Count(); ++i) cells.push_back(WindowOf(list->Window(), list->Cell(i)));
  HWND ownWindow = nullptr;
  {
    TestList copy(*list);
    EXPECT_EQ(copy.Window(), list->Window());
    EXPECT_EQ(copy.Cell(5), list->Cell(5)) << "the copy shares the cells";
    TestList assigned(parent, RECT{10, 200, 200, 100}, *list->GetACI());
    ownWindow = assigned.Window();
    ASSERT_NE(ownWindow, nullptr);
    HWND ownCell = WindowOf(ownWindow, assigned.Cell(0));
    ASSERT_NE(ownCell, nullptr);
    assigned = *list;
    EXPECT_FALSE(IsWindow(ownCell)) << "the assigned view's own cells went";
    EXPECT_EQ(assigned.Cell(0), list->Cell(0));
  }
  for (size_t i = 0; i < cells.size(); ++i) {
    ASSERT_NE(cells[i], nullptr);
    EXPECT_TRUE(IsWindow(cells[i])) << "cell " << i << " still open";
    EXPECT_EQ(WindowOf(list->Window(), list->Cell(static_cast<int>(i))), cells[i]) << "cell " << i << " still bound";
  }
  // The original still lays itself out and its window still reaches it.
  SetWindowPos(list->Window(), nullptr, 0, 0, 330, 180, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(list->ResetLayout(*list->GetACI()), 6);
  EXPECT_EQ(ChildrenOfClass(list->Window(), kCellClass).size(), 6u);
  EXPECT_EQ(GetWindowLongPtrA(ownWindow, GWLP_USERDATA), 0) << "the assigned view's own window no longer reaches it";
  DestroyWindow(ownWindow);
}
