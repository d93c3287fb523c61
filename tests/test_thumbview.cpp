// The thumbnail cell window: registration, picture placement in both
// styles, marks and captions read back from the screen, mouse reporting
// with real input, drag notifications, tooltips, and GDI and USER objects
// that stay flat over thousands of paints.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "ViewTestSupport.h"
#include "manager/Module.h"
#include "support/MessageRecorder.h"
#include "support/TestPictures.h"
#include "views/ThumbView.h"

using namespace viewtest;
using msgseq::Expected;

namespace {

const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kCardMark = RGB(0x33, 0, 0xFF);
const COLORREF kPicture = RGB(40, 80, 120);

COLORREF Face() { return GetSysColor(COLOR_BTNFACE); }

bool Near(COLORREF a, COLORREF b, int tolerance = 2) {
  return abs(GetRValue(a) - GetRValue(b)) <= tolerance && abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// A cell whose protected state the test reads.
class TestCell : public CThumbView2 {
 public:
  TestCell(HWND parent, RECT place, tagAlbumViewCreateInfo& aci) : CThumbView2(parent, place, aci) {}
  HWND Window() const { return m_hWnd; }
  RECT Picture() const { return m_rcPicture; }
  HWND Tip() const { return m_hTipWnd; }
};

// Text measured the way a cell measures it, with the configuration's font.
class Measure {
 public:
  explicit Measure(const LOGFONTA& font) : screen_(nullptr), font_(CreateFontIndirectA(&font)),
                                           selection_(screen_.dc(), font_.get()) {}
  SIZE Of(const std::string& text) const {
    SIZE size{};
    GetTextExtentPoint32A(screen_.dc(), text.c_str(), static_cast<int>(text.size()), &size);
    return size;
  }

 private:
  gdi::ScopedGetDC screen_;
  gdi::ScopedFont font_;
  gdi::ScopedSelect selection_;
};

class CellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder.RecordOnly({AVM_ITEMDBLCLK, AVM_ITEMLBUTTONDOWN, AVM_ITEMBUTTONUP, AVM_ITEMRBUTTONDOWN, AVM_ITEMDROP,
                         AVM_DRAGNOTIFY});
    parent = recorder.CreateTopWindow(0, RECT{40, 40, 700, 500});
    ASSERT_NE(parent, nullptr);
  }
  void TearDown() override {
    cells.clear();
    items.clear();
  }

  TestCell* MakeCell(int x, int y, int width, int height, tagAlbumViewCreateInfo aci) {
    cells.emplace_back(new TestCell(parent, RECT{x, y, width, height}, aci));
    return cells.back().get();
  }
  TestItem* MakeItem(const ItemOptions& options) {
    items.emplace_back(MakeTestItem(options));
    return items.back().get();
  }
  void Repaint(TestCell* cell) {
    InvalidateRect(cell->Window(), nullptr, TRUE);
    UpdateWindow(cell->Window());
  }
  size_t Reports() const { return recorder.Stream(0).size(); }

  msgseq::Recorder recorder;
  HWND parent = nullptr;
  std::vector<std::unique_ptr<TestCell>> cells;  // deleted before the parent goes
  std::vector<std::unique_ptr<TestItem>> items;
};

}  // namespace

// ---------------------------------------------------------------------------
// Registration and creation

TEST(CellClass, IsRegisteredWithTheResourceModuleAtStartUp) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  ASSERT_TRUE(GetClassInfoExA(GetResourceModule(), "ThumbViewClass", &wc)) << "class not registered";
  EXPECT_EQ(wc.style, static_cast<UINT>(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS)) << "got style " << wc.style;
  EXPECT_EQ(wc.cbWndExtra, 4) << "window extra bytes";
  EXPECT_EQ(wc.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  EXPECT_EQ(CThumbviewRegister(GetResourceModule()), 0) << "a second registration fails";
}

TEST_F(CellTest, ASmallRequestIsRaisedToSixteenPixels) {
  TestCell* cell = MakeCell(5, 6, 10, 10, MakeConfig(0, 3));
  ASSERT_NE(cell->Window(), nullptr);
  RECT placed = PlaceInParent(cell->Window());
  EXPECT_TRUE(SameRect(placed, RECT{5, 6, 21, 22})) << "expected (5, 6, 21, 22), got " << Describe(placed);
  EXPECT_TRUE(IsWindowVisible(cell->Window()));
  EXPECT_EQ(cell->GetThumbnail(), nullptr);
}

// ---------------------------------------------------------------------------
// Picture placement

TEST_F(CellTest, ClassicPictureIsCentredAtItsOwnSize) {
  TestCell* cell = MakeCell(10, 10, 100, 80, MakeConfig(0, 3));
  ItemOptions options;
  options.pictureWidth = 40;
  options.pictureHeight = 20;
  EXPECT_EQ(cell->Attach(MakeItem(options)), 1);
  Snapshot shot(cell->Window());
  ASSERT_TRUE(shot.ok());
  RECT expected{30, 30, 70, 50};
  EXPECT_TRUE(SameRect(cell->Picture(), expected)) << "expected " << Describe(expected) << ", got "
                                                   << Describe(cell->Picture());
  RECT drawn = shot.BoundsOf(kPicture);
  EXPECT_TRUE(SameRect(drawn, expected)) << "picture pixels expected at " << Describe(expected) << ", got "
                                         << Describe(drawn);
  EXPECT_EQ(shot.At(5, 5), Face()) << "background " << Hex(Face()) << ", got " << Hex(shot.At(5, 5));
}

TEST_F(CellTest, ClassicPictureLargerThanTheCellFillsItFromTheCorner) {
  TestCell* cell = MakeCell(10, 10, 60, 40, MakeConfig(0, 3));
  ItemOptions options;
  options.pictureWidth = 200;
  options.pictureHeight = 150;
  cell->Attach(MakeItem(options));
  Snapshot shot(cell->Window());
  EXPECT_TRUE(SameRect(cell->Picture(), RECT{0, 0, 60, 40})) << "got " << Describe(cell->Picture());
  RECT drawn = shot.BoundsOf(kPicture);
  EXPECT_TRUE(SameRect(drawn, RECT{0, 0, 60, 40})) << "picture pixels cover " << Describe(drawn);
}

TEST_F(CellTest, CardPictureIsCentredInsideTheFrame) {
  TestCell* cell = MakeCell(10, 10, 120, 110, MakeConfig(4, 2));
  ItemOptions options;  // 40 x 30, and the source is no larger
  cell->Attach(MakeItem(options));
  Snapshot shot(cell->Window());
  RECT expected{39, 32, 79, 62};
  EXPECT_TRUE(SameRect(cell->Picture(), expected)) << "expected " << Describe(expected) << ", got "
                                                   << Describe(cell->Picture());
  RECT drawn = shot.BoundsOf(kPicture);
  EXPECT_TRUE(SameRect(drawn, expected)) << "picture pixels cover " << Describe(drawn);
}

TEST_F(CellTest, CardEnlargesTheThumbnailOfALargerPictureToFillTheBox) {
  TestCell* cell = MakeCell(10, 10, 120, 110, MakeConfig(4, 2));
  ItemOptions options;
  options.sourceWidth = 400;
  options.sourceHeight = 300;
  cell->Attach(MakeItem(options));
  Snapshot shot(cell->Window());
  // Box (6, 5)-(114, 89): 40 x 30 becomes 108 x 80, centred at (6, 7).
  RECT drawn = shot.BoundsWhere([](COLORREF c) { return Near(c, kPicture); });
  EXPECT_TRUE(SameRect(drawn, RECT{6, 7, 114, 87})) << "expected (6, 7, 114, 87), got " << Describe(drawn);
  EXPECT_TRUE(SameRect(cell->Picture(), RECT{39, 32, 79, 62})) << "the picture rectangle stays the unscaled one, got "
                                                              << Describe(cell->Picture());
}

TEST_F(CellTest, CardDisplayCopyIsMadeOnceAndKeptUntilTheItemOrSizeChanges) {
  TestCell* cell = MakeCell(10, 10, 120, 110, MakeConfig(4, 2));
  ItemOptions options;
  options.sourceWidth = 400;
  options.sourceHeight = 300;
  TestItem* first = MakeItem(options);
  options.colour = RGB(200, 30, 30);
  TestItem* second = MakeItem(options);
  LONG withItems = ToviMemLiveCount();

  cell->Attach(first);
  EXPECT_EQ(ToviMemLiveCount(), withItems + 1) << "one display copy after the first paint";
  for (int i = 0; i < 20; ++i) Repaint(cell);
  EXPECT_EQ(ToviMemLiveCount(), withItems + 1) << "repaints neither make nor leak copies";

  // Change the item's pixels behind the cell's back: a paint that rebuilt
  // its copy would show the new colour.
  RepaintDib(first->GetDib(), RGB(10, 200, 10));
  Repaint(cell);
  EXPECT_TRUE(Near(Snapshot(cell->Window()).At(60, 50), kPicture)) << "the kept copy is drawn";

  cell->Attach(second);
  EXPECT_TRUE(Near(Snapshot(cell->Window()).At(60, 50), RGB(200, 30, 30))) << "another item, another copy";
  EXPECT_EQ(ToviMemLiveCount(), withItems + 1);

  cell->Attach(first);
  SetWindowPos(cell->Window(), nullptr, 0, 0, 130, 110, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_TRUE(Near(Snapshot(cell->Window()).At(60, 50), RGB(10, 200, 10))) << "a new size makes a new copy";

  cell->Attach(nullptr);
  EXPECT_EQ(ToviMemLiveCount(), withItems) << "an empty cell keeps no copy";
}

TEST_F(CellTest, AStockBrushFillsTheCellInsideAnOutline) {
  TestCell* cell = MakeCell(10, 10, 100, 80, MakeConfig(0, 3));
  EXPECT_EQ(cell->SetThumbViewBkColor(GRAY_BRUSH), -1) << "no fill at first";
  Snapshot grey(cell->Window());
  EXPECT_EQ(grey.At(50, 40), RGB(128, 128, 128)) << "got " << Hex(grey.At(50, 40));
  EXPECT_EQ(grey.At(0, 40), kBlack) << "outlined with the current pen, got " << Hex(grey.At(0, 40));
  EXPECT_EQ(cell->SetThumbViewBkColor(WHITE_PEN), GRAY_BRUSH) << "the previous index comes back";
  Snapshot pen(cell->Window());
  EXPECT_EQ(pen.At(50, 40), Face()) << "a stock pen is no brush: no fill, got " << Hex(pen.At(50, 40));
  EXPECT_EQ(pen.At(0, 40), Face()) << "and no outline";
}

TEST_F(CellTest, AnEmptyCellPaintsItsBackgroundAndFrameOnly) {
  TestCell* cell = MakeCell(10, 10, 100, 80, MakeConfig(2, 1));
  TestItem* item = MakeItem(ItemOptions());
  item->SetFocus(1);
  cell->Attach(item);
  cell->SetSelect(1);
  EXPECT_EQ(cell->Attach(nullptr), 1);
  EXPECT_EQ(cell->GetThumbnail(), nullptr);
  Snapshot shot(cell->Window());
  EXPECT_EQ(shot.At(0, 40), kBlack) << "thin frame";
  EXPECT_EQ(shot.At(99, 40), kBlack) << "thin frame";
  RECT inside{1, 1, 99, 79};
  int face = shot.Count(Face(), inside);
  EXPECT_EQ(face, 98 * 78) << "everything inside is background; " << 98 * 78 - face << " pixels are not";
}

// ---------------------------------------------------------------------------
// Marks

TEST_F(CellTest, MissingFileShowsARedCircleAndCrossInTheClassicStyleOnly) {
  ItemOptions options;
  options.exist = 0;
  TestCell* classic = MakeCell(10, 10, 100, 80, MakeConfig(0, 3));
  classic->Attach(MakeItem(options));
  Snapshot shot(classic->Window());
  for (POINT p : {POINT{3, 3}, POINT{8, 8}, POINT{13, 3}, POINT{3, 13}}) {
    EXPECT_EQ(shot.At(p.x, p.y), kRed) << "cross at (" << p.x << ", " << p.y << "), got " << Hex(shot.At(p.x, p.y));
  }
  int red = shot.Count(kRed, RECT{0, 0, 16, 16});
  EXPECT_GT(red, 30) << "cross (23 pixels) and circle, got " << red << " red pixels";
  EXPECT_EQ(shot.Count(kRed, RECT{16, 0, 100, 80}), 0) << "nothing red beyond the corner";

  TestCell* card = MakeCell(120, 10, 120, 110, MakeConfig(4, 3));
  card->Attach(MakeItem(options));
  EXPECT_EQ(Snapshot(card->Window()).Count(kRed, RECT{0, 0, 16, 16}), 0) << "no mark in the framed style";

  options.exist = 1;
  TestCell* present = MakeCell(260, 10, 100, 80, MakeConfig(0, 3));
  present->Attach(MakeItem(options));
  EXPECT_EQ(Snapshot(present->Window()).Count(kRed, RECT{0, 0, 16, 16}), 0) << "no mark for a present file";
}

TEST_F(CellTest, SelectionFrameFollowsTheCellEdgeWithAWidthByCellSize) {
  TestCell* large = MakeCell(10, 10, 100, 80, MakeConfig(0, 3));
  large->SetSelect(1);
  EXPECT_EQ(large->IsSelect(), 0) << "an empty cell has nothing to select";
  large->Attach(MakeItem(ItemOptions()));
  EXPECT_EQ(Snapshot(large->Window()).At(0, 40), Face()) << "no frame before selection";
  large->SetSelect(1);
  EXPECT_EQ(large->IsSelect(), 1);
  Snapshot shot(large->Window());
  for (POINT p : {POINT{0, 40}, POINT{98, 40}, POINT{99, 40}, POINT{50, 0}, POINT{50, 78}, POINT{50, 79}}) {
    EXPECT_EQ(shot.At(p.x, p.y), kBlack) << "frame at (" << p.x << ", " << p.y << "), got " << Hex(shot.At(p.x, p.y));
  }

  TestCell* small = MakeCell(150, 10, 40, 40, MakeConfig(0, 3));
  ItemOptions tiny;
  tiny.pictureWidth = 8;
  tiny.pictureHeight = 8;
  small->Attach(MakeItem(tiny));
  small->SetSelect(1);
  Snapshot thin(small->Window());
  EXPECT_EQ(thin.At(39, 20), kBlack) << "got " << Hex(thin.At(39, 20));
  EXPECT_EQ(thin.At(38, 20), Face()) << "a 1-pixel frame on a small cell, got " << Hex(thin.At(38, 20));
}

TEST_F(CellTest, ReliefStyleDrawsRaisedFramesAndASunkenSelection) {
  TestCell* cell = MakeCell(10, 10, 100, 80, MakeConfig(3, 3));
  ItemOptions options;
  options.pictureWidth = 40;
  options.pictureHeight = 20;
  cell->Attach(MakeItem(options));
  Snapshot plain(cell->Window());
  EXPECT_EQ(plain.At(1, 40), kWhite) << "lit left edge, got " << Hex(plain.At(1, 40));
  EXPECT_EQ(plain.At(99, 40), RGB(128, 128, 128)) << "shaded right edge, got " << Hex(plain.At(99, 40));
  EXPECT_EQ(plain.At(29, 40), RGB(128, 128, 128)) << "sunken edge left of the picture, got " << Hex(plain.At(29, 40));
  EXPECT_EQ(plain.At(70, 40), kWhite) << "sunken edge right of the picture, got " << Hex(plain.At(70, 40));

  cell->SetSelect(1);
  Snapshot selected(cell->Window());
  COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  EXPECT_EQ(selected.At(1, 40), shadow) << "sunken edge " << Hex(shadow) << ", got " << Hex(selected.At(1, 40));
}

TEST_F(CellTest, FocusMarkIsADottedRedOutlineExceptInSingleSelectionAndRelief) {
  struct Case {
    int style, select, expectedMinimum, expectedMaximum;
    const char* what;
  } cases[] = {
      {0, 2, 8, 20, "multiple selection, no frame"},
      {2, 2, 8, 20, "multiple selection, thin frame"},
      {0, 1, 0, 0, "single selection"},
      {3, 2, 0, 0, "relief"},
  };
  int x = 10;
  for (const Case& c : cases) {
    TestCell* cell = MakeCell(x, 10, 100, 80, MakeConfig(c.style, 3, c.select));
    x += 110;
    ItemOptions options;
    options.pictureWidth = 40;
    options.pictureHeight = 20;  // at (30, 30)-(70, 50)
    TestItem* item = MakeItem(options);
    item->SetFocus(1);
    cell->Attach(item);
    int red = Snapshot(cell->Window()).Count(kRed, RECT{31, 31, 32, 49});
    EXPECT_GE(red, c.expectedMinimum) << c.what << ": red dots on the left side, got " << red;
    EXPECT_LE(red, c.expectedMaximum) << c.what << ": red dots on the left side, got " << red;
  }
}

TEST_F(CellTest, CardSelectionIsOutlinedInItsOwnColour) {
  TestCell* cell = MakeCell(10, 10, 120, 110, MakeConfig(4, 2));
  cell->Attach(MakeItem(ItemOptions()));
  EXPECT_NE(Snapshot(cell->Window()).At(4, 50), kCardMark);
  cell->SetSelect(1);
  Snapshot shot(cell->Window());
  EXPECT_EQ(shot.At(4, 50), kCardMark) << "got " << Hex(shot.At(4, 50));
  EXPECT_EQ(shot.At(60, 4), kCardMark) << "got " << Hex(shot.At(60, 4));
  EXPECT_EQ(shot.At(3, 50), kBlack) << "inside the black outline, got " << Hex(shot.At(3, 50));
  EXPECT_EQ(shot.At(60, 110 - 19), kBlack) << "caption separator, got " << Hex(shot.At(60, 91));
}

TEST_F(CellTest, SelectionChangesRepaintEverythingButThePictureInterior) {
  TestCell* cell = MakeCell(10, 10, 100, 80, MakeConfig(0, 2));
  ItemOptions options;
  options.pictureWidth = 40;
  options.pictureHeight = 20;  // at (30, 30)-(70, 50)
  cell->Attach(MakeItem(options));
  ValidateRect(cell->Window(), nullptr);
  cell->SetSelect(1);
  HRGN update = CreateRectRgn(0, 0, 0, 0);
  GetUpdateRgn(cell->Window(), update, FALSE);
  EXPECT_FALSE(PtInRegion(update, 50, 40)) << "the picture interior is left alone";
  EXPECT_FALSE(PtInRegion(update, 32, 32));
  EXPECT_FALSE(PtInRegion(update, 67, 47));
  for (POINT p : {POINT{31, 40}, POINT{68, 40}, POINT{50, 31}, POINT{50, 48}, POINT{0, 0}, POINT{99, 79}}) {
    EXPECT_TRUE(PtInRegion(update, p.x, p.y)) << "(" << p.x << ", " << p.y << ") repaints";
  }
  DeleteObject(update);
}

// ---------------------------------------------------------------------------
// Captions

TEST_F(CellTest, CaptionModesPlaceTheNumberBoxAndTheNameBox) {
  tagAlbumViewCreateInfo aci = MakeConfig(0, 2);
  Measure measure(aci.avcFont);
  SIZE number = measure.Of("7");
  ItemOptions options;
  options.id = 7;

  // Number only: a box at the bottom, filled blue when the item is selected.
  TestCell* numberOnly = MakeCell(10, 10, 120, 100, aci);
  numberOnly->Attach(MakeItem(options));
  numberOnly->SetSelect(1);
  RECT box = Snapshot(numberOnly->Window()).BoundsOf(kBlue);
  int width = number.cx + 4;
  RECT expected;
  expected.top = 100 - number.cy * 12 / 10;
  expected.bottom = expected.top + number.cy * 11 / 10;
  expected.left = (120 - width) / 2;
  expected.right = 120 - expected.left;
  EXPECT_TRUE(SameRect(box, expected)) << "number box expected " << Describe(expected) << ", got " << Describe(box);

  // Name and number: the number box sits right above the focused name box.
  aci.avcCaption = 1;
  TestCell* named = MakeCell(140, 10, 120, 100, aci);
  TestItem* item = MakeItem(options);
  item->SetFocus(1);
  named->Attach(item);
  named->SetSelect(1);
  Snapshot shot(named->Window());
  int nameTop = 100 - measure.Of("photo.jpg").cy - 4;
  int numberTop = nameTop - number.cy - 1;
  EXPECT_EQ(shot.At(6, nameTop + 3), kBlack) << "name box outline at x 6, got " << Hex(shot.At(6, nameTop + 3));
  EXPECT_EQ(shot.At(8, nameTop + 1), kBlue) << "name box fill, got " << Hex(shot.At(8, nameTop + 1));
  EXPECT_EQ(shot.At(8, 94), kBlue) << "name box fill, got " << Hex(shot.At(8, 94));
  EXPECT_EQ(shot.At(8, 96), Face()) << "below the name box, got " << Hex(shot.At(8, 96));
  EXPECT_EQ(shot.At(expected.left, numberTop), kBlue) << "number box top left, got "
                                                      << Hex(shot.At(expected.left, numberTop));
  EXPECT_EQ(shot.At(expected.right - 1, nameTop - 2), kBlue) << "number box bottom right";
  EXPECT_NE(shot.At(expected.left, nameTop - 1), kBlue) << "one pixel between the boxes";
  EXPECT_NE(shot.At(expected.left, numberTop - 1), kBlue) << "nothing above the number box";
  RECT nameText = shot.BoundsOf(kWhite);
  EXPECT_GT(nameText.right - nameText.left, measure.Of("photo.jpg").cx - 4) << "white name text on the blue box";

  // None: selection and focus draw no caption at all.
  aci.avcCaption = 3;
  TestCell* bare = MakeCell(280, 10, 120, 100, aci);
  TestItem* bareItem = MakeItem(options);
  bareItem->SetFocus(1);
  bare->Attach(bareItem);
  bare->SetSelect(1);
  RECT anyBlue = Snapshot(bare->Window()).BoundsOf(kBlue);
  EXPECT_TRUE(IsRectEmpty(&anyBlue)) << "no caption boxes, blue found at " << Describe(anyBlue);
}

TEST_F(CellTest, ClassicNameTooWideKeepsAPrefixAndTheExtensionAroundATilde) {
  tagAlbumViewCreateInfo aci = MakeConfig(0, 1);
  Measure measure(aci.avcFont);
  // The base is cut to its longest prefix that fits with ".jpg"; here that
  // is "summeW" (6 letters), shown as "summe~.jpg".
  const std::string name = "summeWholiday.jpg";
  int fits = measure.Of("summeW.jpg").cx;
  int tooWide = measure.Of("summeWh.jpg").cx;
  int cellWidth = 0;
  for (int w = 30; w < 600 && !cellWidth; ++w) {
    int room = w - w / 10;
    if (room >= fits && room < tooWide && measure.Of("summe~.jpg").cx <= room) cellWidth = w;
  }
  ASSERT_NE(cellWidth, 0) << "no cell width gives the 6-letter cut with this font";

  ItemOptions options;
  options.pictureWidth = 4;
  options.pictureHeight = 3;
  options.path = "C:\\pictures\\" + name;
  TestCell* cut = MakeCell(10, 10, cellWidth, 60, aci);
  cut->Attach(MakeItem(options));
  options.path = "D:\\elsewhere\\summe~.jpg";
  TestCell* reference = MakeCell(10, 100, cellWidth, 60, aci);
  reference->Attach(MakeItem(options));
  Snapshot cutShot(cut->Window());
  Snapshot referenceShot(reference->Window());
  RECT all{0, 0, cellWidth, 60};
  EXPECT_GT(cutShot.Count(kBlack, all), 20) << "caption text is drawn";
  EXPECT_TRUE(cutShot.SameIn(referenceShot, all)) << "the caption reads \"summe~.jpg\" in a cell " << cellWidth
                                                  << " pixels wide";

  // A name that fits is shown whole.
  options.path = "C:\\pictures\\" + name;
  TestCell* wide = MakeCell(10, 200, 300, 60, aci);
  wide->Attach(MakeItem(options));
  Snapshot wideShot(wide->Window());
  RECT text = wideShot.BoundsWhere([](COLORREF c) { return c == kBlack; });
  int shownWidth = text.right - text.left;
  int fullWidth = measure.Of(name).cx;
  EXPECT_NEAR(shownWidth, fullWidth, 3) << "the whole name is " << fullWidth << " pixels wide";
}

TEST_F(CellTest, CardCaptionCutsTheBaseAndKeepsItsLastThreeLetters) {
  tagAlbumViewCreateInfo aci = MakeConfig(4, 2);
  LOGFONTA font = aci.avcFont;
  font.lfCharSet = DEFAULT_CHARSET;
  Measure measure(font);
  // No such file: the caption uses the stored path. "3. abcWWWWWxyz.jpg"
  // cut to 6 letters keeps "abc" and the tail "xyz".
  int fits = measure.Of("3. abcWWW.jpg").cx;
  int tooWide = measure.Of("3. abcWWWW.jpg").cx;
  int cellWidth = 0;
  for (int w = 40; w < 600 && !cellWidth; ++w) {
    int room = w - 11;
    if (room >= fits && room < tooWide && measure.Of("3. abcxyz.jpg").cx <= room) cellWidth = w;
  }
  ASSERT_NE(cellWidth, 0) << "no cell width gives the 6-letter cut with this font";

  ItemOptions options;
  options.id = 3;
  options.pictureWidth = 4;
  options.pictureHeight = 3;
  options.path = "C:\\no such folder\\abcWWWWWxyz.jpg";
  TestCell* cut = MakeCell(10, 10, cellWidth, 90, aci);
  cut->Attach(MakeItem(options));
  options.path = "C:\\no such folder\\abcxyz.jpg";
  TestCell* reference = MakeCell(10, 120, cellWidth, 90, aci);
  reference->Attach(MakeItem(options));
  Snapshot cutShot(cut->Window());
  RECT strip{0, 90 - 17, cellWidth, 90};
  EXPECT_GT(cutShot.Count(kBlack, RECT{6, 90 - 16, cellWidth - 5, 90 - 4}), 20) << "caption text is drawn";
  EXPECT_TRUE(cutShot.SameIn(Snapshot(reference->Window()), strip)) << "the caption reads \"3. abcxyz.jpg\"";
}

TEST_F(CellTest, CardCaptionShowsTheShortNameOfAnExistingFile) {
  testpics::TempFolder folder;
  ASSERT_TRUE(folder.ok());
  std::string path = folder.File("a rather long holiday name.jpg");
  ASSERT_TRUE(testpics::WriteFileBytes(path, {0xFF, 0xD8, 0xFF, 0xD9}));
  char shortPath[MAX_PATH] = "";
  ASSERT_GT(GetShortPathNameA(path.c_str(), shortPath, sizeof(shortPath)), 0u);
  std::string shortName = shortPath;
  shortName = shortName.substr(shortName.find_last_of('\\') + 1);
  ASSERT_NE(shortName, "a rather long holiday name.jpg") << "the file system gave no short name";

  tagAlbumViewCreateInfo aci = MakeConfig(4, 2);
  ItemOptions options;
  options.pictureWidth = 4;
  options.pictureHeight = 3;
  options.path = path;
  TestCell* cell = MakeCell(10, 10, 200, 90, aci);
  cell->Attach(MakeItem(options));
  options.path = "C:\\no such folder\\" + shortName;
  TestCell* reference = MakeCell(10, 120, 200, 90, aci);
  reference->Attach(MakeItem(options));
  RECT strip{0, 90 - 17, 200, 90};
  EXPECT_TRUE(Snapshot(cell->Window()).SameIn(Snapshot(reference->Window()), strip))
      << "the caption reads \"1. " << shortName << "\"";
}

// ---------------------------------------------------------------------------
// Mouse reporting, with real input

class CellMouseTest : public CellTest {
 protected:
  void SetUp() override {
    CellTest::SetUp();
    cell = MakeCell(30, 30, 100, 80, MakeConfig(2, 2));
    cell->Attach(MakeItem(ItemOptions()));
    ASSERT_TRUE(msgseq::MakeForeground(parent));
    msgseq::MoveCursor(msgseq::ScreenCentre(cell->Window()));
    msgseq::PumpUntilIdle();
    recorder.Flush();
  }
  void TearDown() override {
    if (GetCapture()) ReleaseCapture();
    CellTest::TearDown();
  }
  bool WaitForReports(size_t count) {
    return msgseq::PumpUntil([&] { return Reports() >= count; });
  }
  static void SendButton(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(input));
  }
  LPARAM Self() const { return reinterpret_cast<LPARAM>(static_cast<CThumbView2*>(cell)); }

  TestCell* cell = nullptr;
};

TEST_F(CellMouseTest, LeftClickWithDragAndDropLeavesTheMouseFree) {
  msgseq::LeftDown();
  ASSERT_TRUE(WaitForReports(1));
  EXPECT_NE(GetCapture(), cell->Window()) << "the cell took the capture";
  msgseq::LeftUp();
  ASSERT_TRUE(WaitForReports(2));
  const Expected expected[] = {
      {AVM_ITEMLBUTTONDOWN, msgseq::sent | msgseq::wparam | msgseq::lparam, MK_LBUTTON, Self()},
      {AVM_ITEMBUTTONUP, msgseq::sent | msgseq::wparam | msgseq::lparam, 0, Self()},
      {0, 0, 0, 0}};
  ok_sequence(recorder, 0, expected, "left click with drag and drop");
}

TEST_F(CellMouseTest, LeftClickWithoutDragAndDropCapturesUntilTheRelease) {
  cell->SetDragDrop(0);
  msgseq::LeftDown();
  ASSERT_TRUE(WaitForReports(1));
  EXPECT_EQ(GetCapture(), cell->Window()) << "expected the cell's capture, got " << GetCapture();
  // Released outside: the capture still brings the release to the cell.
  msgseq::MoveCursor(POINT{600, 480});
  msgseq::LeftUp();
  ASSERT_TRUE(WaitForReports(2));
  EXPECT_EQ(GetCapture(), nullptr) << "the capture was given back";
  const Expected expected[] = {
      {AVM_ITEMLBUTTONDOWN, msgseq::sent | msgseq::wparam | msgseq::lparam, MK_LBUTTON, Self()},
      {AVM_ITEMBUTTONUP, msgseq::sent | msgseq::lparam, 0, Self()},
      {0, 0, 0, 0}};
  ok_sequence(recorder, 0, expected, "left click without drag and drop");
}

TEST_F(CellMouseTest, DoubleClickReportsPressReleaseDoubleClickRelease) {
  msgseq::LeftDown();
  msgseq::LeftUp();
  msgseq::LeftDown();
  msgseq::LeftUp();
  ASSERT_TRUE(WaitForReports(4));
  const Expected expected[] = {
      {AVM_ITEMLBUTTONDOWN, msgseq::sent | msgseq::lparam, 0, Self()},
      {AVM_ITEMBUTTONUP, msgseq::sent | msgseq::lparam, 0, Self()},
      {AVM_ITEMDBLCLK, msgseq::sent | msgseq::wparam | msgseq::lparam, MK_LBUTTON, Self()},
      {AVM_ITEMBUTTONUP, msgseq::sent | msgseq::lparam, 0, Self()},
      {0, 0, 0, 0}};
  ok_sequence(recorder, 0, expected, "double click");
}

TEST_F(CellMouseTest, RightClickReportsRightDownThenTheCommonButtonUp) {
  cell->SetDragDrop(0);
  SendButton(MOUSEEVENTF_RIGHTDOWN);
  ASSERT_TRUE(WaitForReports(1));
  EXPECT_EQ(GetCapture(), cell->Window()) << "a right press without drag and drop captures too";
  SendButton(MOUSEEVENTF_RIGHTUP);
  ASSERT_TRUE(WaitForReports(2));
  EXPECT_EQ(GetCapture(), nullptr);
  const Expected expected[] = {
      {AVM_ITEMRBUTTONDOWN, msgseq::sent | msgseq::wparam | msgseq::lparam, MK_RBUTTON, Self()},
      {AVM_ITEMBUTTONUP, msgseq::sent | msgseq::lparam, 0, Self()},
      {0, 0, 0, 0}};
  ok_sequence(recorder, 0, expected, "right click");
}

TEST_F(CellMouseTest, APressSentToTheCellIsReportedAsItsOwn) {
  SendMessageA(cell->Window(), AVM_ITEMLBUTTONDOWN, MK_SHIFT, 0);
  const Expected expected[] = {
      {AVM_ITEMLBUTTONDOWN, msgseq::sent | msgseq::wparam | msgseq::lparam, MK_SHIFT, Self()}, {0, 0, 0, 0}};
  ok_sequence(recorder, 0, expected, "AVM_ITEMLBUTTONDOWN sent to a cell");
  EXPECT_EQ(GetCapture(), nullptr) << "a reported press takes no capture";
}

TEST_F(CellMouseTest, AReleaseDoesNotTakeAwayACaptureAnotherWindowTook) {
  cell->SetDragDrop(0);
  SendMessageA(cell->Window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  ASSERT_EQ(GetCapture(), cell->Window());
  SetCapture(parent);
  SendMessageA(cell->Window(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(GetCapture(), parent) << "the other window keeps its capture";
  ReleaseCapture();
  SendMessageA(cell->Window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  EXPECT_EQ(GetCapture(), cell->Window()) << "the next press captures again";
}

// ---------------------------------------------------------------------------
// Drag notifications

namespace {

tagDRAGNOTIFY Step(int action, int kind = DRAG_KIND_ITEMS) {
  tagDRAGNOTIFY record{};
  record.ddAction = action;
  record.ddKind = kind;
  record.ddEffect = DRAG_EFFECT_REFUSED;
  return record;
}

}  // namespace

TEST_F(CellTest, ADropOnACellIsReportedToTheParent) {
  TestCell* cell = MakeCell(10, 10, 100, 80, MakeConfig(2, 2));
  cell->Attach(MakeItem(ItemOptions()));
  tagDRAGNOTIFY record = Step(DRAG_DROP);
  SendMessageA(cell->Window(), AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&record));
  EXPECT_EQ(record.ddHandled, 1) << "the cell handles the drop";
  const Expected expected[] = {{AVM_ITEMDROP, msgseq::sent | msgseq::wparam | msgseq::lparam,
                                reinterpret_cast<WPARAM>(static_cast<CThumbView2*>(cell)),
                                reinterpret_cast<LPARAM>(&record)},
                               {0, 0, 0, 0}};
  ok_sequence(recorder, 0, expected, "drop on a cell");
}

TEST_F(CellTest, OtherDragStepsGoOnToTheParentUnchanged) {
  TestCell* cell = MakeCell(10, 10, 100, 80, MakeConfig(2, 2));
  tagDRAGNOTIFY record = Step(DRAG_QUERY);
  SendMessageA(cell->Window(), AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&record));
  const Expected expected[] = {
      {AVM_DRAGNOTIFY, msgseq::sent | msgseq::action | msgseq::wparam, 0, DRAG_QUERY}, {0, 0, 0, 0}};
  ok_sequence(recorder, 0, expected, "drop query at a cell");
  EXPECT_EQ(recorder.Stream(0).at(0).lParam, reinterpret_cast<LPARAM>(&record)) << "the same record";
}

TEST_F(CellTest, ACardCellAcceptsItemsDraggedOverItAndDropsTheMarkOnLeave) {
  TestCell* card = MakeCell(10, 10, 120, 110, MakeConfig(4, 2));
  ItemOptions options;
  options.pictureWidth = 20;
  options.pictureHeight = 20;
  card->Attach(MakeItem(options));
  EXPECT_NE(Snapshot(card->Window()).At(4, 50), kRed);

  tagDRAGNOTIFY over = Step(DRAG_OVER);
  SendMessageA(card->Window(), AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&over));
  EXPECT_EQ(over.ddEffect, DRAG_EFFECT_ACCEPTED) << "expected the card to accept, got effect " << over.ddEffect;
  EXPECT_EQ(over.ddHandled, 1);
  GdiFlush();
  HDC dc = GetDC(card->Window());
  COLORREF mark = GetPixel(dc, 4, 50);
  int redCaption = 0;
  for (int x = 6; x < 110; ++x) {
    for (int y = 110 - 16; y < 110 - 3; ++y) redCaption += GetPixel(dc, x, y) == kRed;
  }
  ReleaseDC(card->Window(), dc);
  EXPECT_EQ(mark, kRed) << "hover outline, got " << Hex(mark);
  EXPECT_GT(redCaption, 10) << "the caption turns red";

  tagDRAGNOTIFY leave = Step(DRAG_LEAVE);
  SendMessageA(card->Window(), AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&leave));
  Snapshot after(card->Window());
  EXPECT_NE(after.At(4, 50), kRed) << "the leave step repaints the card";
  EXPECT_EQ(after.Count(kRed, RECT{0, 0, 120, 110}), 0);
  EXPECT_EQ(recorder.Stream(0).size(), 0u) << "over and leave stay with the cell";

  tagDRAGNOTIFY otherKind = Step(DRAG_OVER, 2);
  SendMessageA(card->Window(), AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&otherKind));
  EXPECT_EQ(otherKind.ddEffect, DRAG_EFFECT_REFUSED) << "only album items are accepted";

  TestCell* classic = MakeCell(150, 10, 100, 80, MakeConfig(2, 2));
  classic->Attach(MakeItem(options));
  tagDRAGNOTIFY classicOver = Step(DRAG_OVER);
  SendMessageA(classic->Window(), AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&classicOver));
  EXPECT_EQ(classicOver.ddEffect, DRAG_EFFECT_REFUSED) << "a classic cell leaves acceptance to its view";
  EXPECT_EQ(classicOver.ddHandled, 1);
}

TEST_F(CellTest, WithoutDragAndDropNotificationsAreIgnored) {
  TestCell* cell = MakeCell(10, 10, 100, 80, MakeConfig(4, 2));
  cell->Attach(MakeItem(ItemOptions()));
  cell->SetDragDrop(0);
  for (int action : {DRAG_DROP, DRAG_OVER, DRAG_QUERY}) {
    tagDRAGNOTIFY record = Step(action);
    SendMessageA(cell->Window(), AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&record));
    EXPECT_EQ(record.ddHandled, 0) << "action " << action;
    EXPECT_EQ(record.ddEffect, DRAG_EFFECT_REFUSED) << "action " << action;
  }
  EXPECT_EQ(recorder.Stream(0).size(), 0u) << "nothing reaches the parent";
}

// ---------------------------------------------------------------------------
// Tooltips and lifetime

namespace {

std::string AskTip(HWND cell) {
  NMTTDISPINFOA request{};
  request.hdr.hwndFrom = cell;
  request.hdr.code = TTN_NEEDTEXTA;
  Put(request.szText, "untouched");
  SendMessageA(cell, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&request));
  return request.szText;
}

struct TipSearch {
  HWND cell;
  HWND found;
};

BOOL CALLBACK FindTip(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TipSearch*>(data);
  char name[64] = "";
  GetClassNameA(window, name, sizeof(name));
  if (lstrcmpiA(name, TOOLTIPS_CLASSA) != 0) return TRUE;
  TTTOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  if (SendMessageA(window, TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&tool)) && tool.hwnd == search->cell) {
    search->found = window;
  }
  return TRUE;
}

// The tooltip window whose tool is the cell.
HWND TipOf(HWND cell) {
  TipSearch search{cell, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindTip, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

TEST_F(CellTest, TooltipShowsThePictureSize) {
  tagAlbumViewCreateInfo aci = MakeConfig(2, 2);
  aci.avcToolTip = 1;
  TestCell* cell = MakeCell(10, 10, 100, 80, aci);
  HWND tip = TipOf(cell->Window());
  ASSERT_NE(tip, nullptr) << "a tooltip window for the cell";
  EXPECT_EQ(cell->Tip(), tip);
  EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 1) << "one tool for the cell";
  EXPECT_EQ(AskTip(cell->Window()), "untouched") << "an empty cell answers nothing";

  ItemOptions options;
  options.sourceWidth = 640;
  options.sourceHeight = 480;
  cell->Attach(MakeItem(options));
  EXPECT_EQ(AskTip(cell->Window()), "640x480");

  TestCell* plain = MakeCell(150, 10, 100, 80, MakeConfig(2, 2));
  EXPECT_EQ(TipOf(plain->Window()), nullptr) << "no tooltip unless configured";
  plain->Attach(MakeItem(options));
  EXPECT_EQ(AskTip(plain->Window()), "") << "without tooltips the text is empty";
}

TEST_F(CellTest, DeletingACellClosesItsWindowAndTooltip) {
  tagAlbumViewCreateInfo aci = MakeConfig(2, 2);
  aci.avcToolTip = 1;
  TestCell* cell = MakeCell(10, 10, 100, 80, aci);
  HWND window = cell->Window();
  HWND tip = cell->Tip();
  ASSERT_TRUE(IsWindow(window) && IsWindow(tip));
  cells.clear();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(IsWindow(tip));
}

TEST_F(CellTest, ACellWindowDestroyedWithItsParentTakesItsTooltipAlong) {
  tagAlbumViewCreateInfo aci = MakeConfig(2, 2);
  aci.avcToolTip = 1;
  HWND frame = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 200, 200, parent, nullptr, nullptr,
                               nullptr);
  ASSERT_NE(frame, nullptr);
  int users = CountUserObjects();
  auto* cell = new TestCell(frame, RECT{0, 0, 100, 80}, aci);
  HWND tip = cell->Tip();
  ASSERT_NE(tip, nullptr);
  DestroyWindow(frame);
  EXPECT_FALSE(IsWindow(tip)) << "the tooltip belongs to the top-level window and must not outlive the cell";
  delete cell;
  EXPECT_EQ(CountUserObjects(), users - 1) << "only the frame window is gone";
}

TEST_F(CellTest, ACellWhoseWindowWentFirstIsDeletedSafely) {
  tagAlbumViewCreateInfo aci = MakeConfig(2, 2);
  aci.avcToolTip = 1;
  HWND host = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, nullptr, nullptr, nullptr,
                              nullptr);
  ASSERT_NE(host, nullptr);
  int users = CountUserObjects();
  auto* cell = new TestCell(host, RECT{0, 0, 100, 80}, aci);
  HWND window = cell->Window();
  DestroyWindow(host);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(cell->Window(), nullptr) << "the cell forgot its window";
  delete cell;
  EXPECT_EQ(CountUserObjects(), users - 1) << "only the host window is gone";
}

// ---------------------------------------------------------------------------
// Resources

TEST_F(CellTest, ThousandsOfPaintsInEveryStyleAndCaptionModeKeepGdiAndUserObjectsFlat) {
  // The counter itself must see a change.
  int before = CountGdiObjects();
  HPEN probe = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
  EXPECT_EQ(CountGdiObjects(), before + 1) << "the GDI object count follows a new pen";
  DeleteObject(probe);

  std::vector<TestCell*> painted;
  int x = 0;
  for (int style : {0, 2, 3, 4}) {
    for (int caption : {1, 2, 3}) {
      tagAlbumViewCreateInfo aci = MakeConfig(style, caption);
      aci.avcToolTip = 1;
      TestCell* cell = MakeCell(x % 600, 10 + (x / 600) * 120, 100, 110, aci);
      x += 100;
      ItemOptions options;
      options.exist = caption != 2;
      options.sourceWidth = 400;  // the card makes a display copy
      options.sourceHeight = 300;
      TestItem* item = MakeItem(options);
      item->SetFocus(caption == 1);
      cell->Attach(item);
      cell->SetSelect(style != 2);
      cell->SetThumbViewBkColor(style == 0 ? WHITE_BRUSH : -1);
      painted.push_back(cell);
    }
  }
  for (TestCell* cell : painted) Repaint(cell);  // the system's DC cache settles
  int gdi = CountGdiObjects();
  int user = CountUserObjects();
  LONG memory = ToviMemLiveCount();

  for (int round = 0; round < 250; ++round) {
    for (TestCell* cell : painted) Repaint(cell);
    tagDRAGNOTIFY over = Step(DRAG_OVER);
    SendMessageA(painted.back()->Window(), AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&over));
  }
  EXPECT_EQ(CountGdiObjects(), gdi) << "GDI objects after 3000 paints and 250 hover marks";
  EXPECT_EQ(CountUserObjects(), user) << "USER objects after 3000 paints";
  EXPECT_EQ(ToviMemLiveCount(), memory) << "memory handles after 3000 paints";
}

// ---------------------------------------------------------------------------
// Copies

TEST_F(CellTest, ACopyGoingLeavesTheOriginalsWindowAndTooltip) {
  tagAlbumViewCreateInfo aci = MakeConfig(0, 3);
  aci.avcToolTip = 1;
  TestCell* cell = MakeCell(10, 10, 100, 80, aci);
  cell->Attach(MakeItem(ItemOptions()));
  ASSERT_NE(cell->Tip(), nullptr);
  {
    CThumbView2 copy(*cell);
    EXPECT_EQ(copy.GetThumbnail(), cell->GetThumbnail());
    TestCell assigned(parent, RECT{200, 10, 100, 80}, aci);
    HWND own = assigned.Window();
    HWND ownTip = assigned.Tip();
    assigned = *cell;
    EXPECT_FALSE(IsWindow(own)) << "the assigned cell closed its own window";
    EXPECT_FALSE(IsWindow(ownTip));
  }
  EXPECT_TRUE(IsWindow(cell->Window())) << "the original's window is still open";
  EXPECT_TRUE(IsWindow(cell->Tip()));
  EXPECT_EQ(GetWindowLongPtrA(cell->Window(), GWLP_USERDATA), reinterpret_cast<LONG_PTR>(cell));
  EXPECT_EQ(Snapshot(cell->Window()).Count(kPicture, RECT{0, 0, 100, 80}), 40 * 30) << "and still paints its item";
}
