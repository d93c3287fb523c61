// The album control window: its classes and named configurations, its
// layout with and without docking, the scroll bar's position, the keys it
// handles and the notifications its parent receives.
#include <gtest/gtest.h>

#include "support/Processes.h"

#include <windows.h>

#include <string.h>

#include <string>

#include "AlbumCtrlTestSupport.h"
#include "manager/Module.h"

using namespace ctrltest;
using msgseq::Expected;
using msgseq::Recorded;

namespace {

const char* const kClasses[] = {"ManDlgAlbumCtrl", "OptionDlgAlbumCtrl", "WizDlgAlbumCtrl"};

class AlbumCtrlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder.RecordOnly({ACM_OPENITEM, ACM_FOCUSCHANGED, ACM_CONTENTSCHANGED, ACM_CONTEXTMENU, ACM_DELETESELECTED,
                         ACM_SENDSELECTED});
    parent = recorder.CreateTopWindow(0, RECT{30, 30, 730, 530});
    ASSERT_NE(parent, nullptr) << "Expected a parent window, got none";
  }
  void TearDown() override { controls.Clear(); }

  TestCtrl* Make(const char* name, int width, int height) {
    TestCtrl* ctrl = controls.Make(parent, name, 10, 10, width, height);
    EXPECT_NE(ctrl, nullptr) << "Expected a " << name << " control, got none";
    if (ctrl) {
      EXPECT_NE(ctrl->GetAlbum(), nullptr) << "Expected an album view in the " << name << " control";
    }
    return ctrl;
  }
  // What the parent heard of one notification, in order.
  std::vector<Recorded> Heard(UINT message) {
    std::vector<Recorded> heard;
    for (const Recorded& r : recorder.Stream(0)) {
      if (r.message == message) heard.push_back(r);
    }
    return heard;
  }

  msgseq::Recorder recorder;
  HWND parent = nullptr;
  Controls controls;
};

std::string FontFace(const tagAlbumViewCreateInfo& aci) { return aci.avcFont.lfFaceName; }

}  // namespace

// ---------------------------------------------------------------------------
// Classes and configurations

TEST(AlbumCtrlClasses, TheThreeClassesShareOneProcedureAndOneDescription) {
  WNDPROC procedure = nullptr;
  for (const char* name : kClasses) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    ASSERT_TRUE(GetClassInfoExA(GetResourceModule(), name, &wc)) << name << " is not registered";
    EXPECT_EQ(wc.style, 11u) << name << ": expected style 11, got " << wc.style;
    EXPECT_EQ(wc.cbWndExtra, 4) << name << ": window extra bytes";
    EXPECT_EQ(wc.cbClsExtra, 0) << name << ": class extra bytes";
    EXPECT_EQ(wc.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)) << name << ": background";
    if (!procedure) procedure = wc.lpfnWndProc;
    EXPECT_EQ(wc.lpfnWndProc, procedure) << name << ": another window procedure";
  }
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  EXPECT_TRUE(GetClassInfoExA(GetResourceModule(), "ThumbViewClass", &wc)) << "the cell class comes along";
  EXPECT_TRUE(GetClassInfoExA(GetResourceModule(), "CThumbListView2", &wc)) << "the list class comes along";
}

TEST(AlbumCtrlClasses, TheClassesComeWithTheComponentAndGoWithIt) {
  int code = testproc::RunProgram("albumctrl_class_probe.exe");
  EXPECT_EQ(code, 0) << "expected the classes registered at load and removed at unload "
                         "(1: not so, 2 and 3: a module did not load), got exit code " << code;
}

TEST(AlbumCtrlClasses, EachClassNameFindsItsConfiguration) {
  tagAlbumViewCreateInfo man{}, option{}, wizard{};
  ASSERT_EQ(GetAlbumCtrlACI(&man, "ManDlgAlbumCtrl"), 0) << "slot of ManDlgAlbumCtrl";
  ASSERT_EQ(GetAlbumCtrlACI(&option, "OptionDlgAlbumCtrl"), 1) << "slot of OptionDlgAlbumCtrl";
  ASSERT_EQ(GetAlbumCtrlACI(&wizard, "WizDlgAlbumCtrl"), 2) << "slot of WizDlgAlbumCtrl";

  struct Row {
    const char* field;
    int man, option, wizard;
    int tagAlbumViewCreateInfo::*member;
  };
  const Row rows[] = {
      {"avcHGap", 0, 0, 16, &tagAlbumViewCreateInfo::avcHGap},
      {"avcVGap", 0, 0, 16, &tagAlbumViewCreateInfo::avcVGap},
      {"avcScroll", 1, 2, 1, &tagAlbumViewCreateInfo::avcScroll},
      {"avcSelect", 2, 1, 1, &tagAlbumViewCreateInfo::avcSelect},
      {"avcStyle", 4, 3, 1, &tagAlbumViewCreateInfo::avcStyle},
      {"avcLayout", 1, 1, 1, &tagAlbumViewCreateInfo::avcLayout},
      {"avcCaption", 1, 3, 3, &tagAlbumViewCreateInfo::avcCaption},
      {"avcBkMode", 2, 2, 1, &tagAlbumViewCreateInfo::avcBkMode},
      {"avcToolTip", 0, 0, 0, &tagAlbumViewCreateInfo::avcToolTip},
      {"avcCellWidth", 88, 0, 0, &tagAlbumViewCreateInfo::avcCellWidth},
      {"avcCellHeight", 107, 0, 0, &tagAlbumViewCreateInfo::avcCellHeight},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(man.*row.member, row.man) << "ManDlgAlbumCtrl " << row.field;
    EXPECT_EQ(option.*row.member, row.option) << "OptionDlgAlbumCtrl " << row.field;
    EXPECT_EQ(wizard.*row.member, row.wizard) << "WizDlgAlbumCtrl " << row.field;
  }
  EXPECT_EQ(wizard.avcRows, 2) << "wizard rows";
  EXPECT_EQ(wizard.avcCols, 2) << "wizard columns";

  EXPECT_EQ(man.avcFont.lfHeight, -9) << "manager font height";
  EXPECT_EQ(man.avcFont.lfWeight, 400) << "manager font weight";
  EXPECT_EQ(man.avcFont.lfOutPrecision, 3) << "manager font output precision";
  EXPECT_EQ(man.avcFont.lfClipPrecision, 2) << "manager font clip precision";
  EXPECT_EQ(man.avcFont.lfQuality, 1) << "manager font quality";
  EXPECT_EQ(man.avcFont.lfPitchAndFamily, 0x12) << "manager font pitch and family";
  EXPECT_FALSE(FontFace(man).empty()) << "the manager font's face comes from the system language";
  LOGFONTA blank{};
  EXPECT_EQ(memcmp(&option.avcFont, &blank, sizeof(blank)), 0) << "the options' font is all zero";
  EXPECT_EQ(memcmp(&wizard.avcFont, &blank, sizeof(blank)), 0) << "the wizard's font is all zero";
}

// Fills the table: every later test must get by with the slots taken here.
TEST(AlbumCtrlClasses, RegisteredConfigurationsAreExactCopiesUnderExactNames) {
  tagAlbumViewCreateInfo mine = viewtest::MakeConfig(2, 2);
  mine.avcRows = 3;
  mine.avcReserved2 = 0x5A5A5A5A;
  EXPECT_EQ(RegisterMiniAlbum("ManDlgAlbumCtrl", &mine), 0) << "a name already present";
  EXPECT_EQ(RegisterMiniAlbum("", &mine), 0) << "an empty name";
  EXPECT_EQ(RegisterMiniAlbum(nullptr, &mine), 0) << "no name";
  EXPECT_EQ(RegisterMiniAlbum("NoRecord", nullptr), 0) << "no record";
  EXPECT_EQ(RegisterMiniAlbum(std::string(256, 'x').c_str(), &mine), 0) << "a name of 256 characters";
  EXPECT_EQ(GetAlbumCtrlACI(nullptr, "NoRecord"), -1) << "a refused name is not stored";

  ASSERT_EQ(RegisterMiniAlbum("mandlgalbumctrl", &mine), 1) << "names differing in case are different names";
  tagAlbumViewCreateInfo back{};
  int slot = GetAlbumCtrlACI(&back, "mandlgalbumctrl");
  EXPECT_EQ(slot, 3) << "the first free slot";
  EXPECT_EQ(memcmp(&back, &mine, sizeof(mine)), 0) << "the record comes back byte for byte";
  EXPECT_EQ(GetAlbumCtrlACI(&back, "MANDLGALBUMCTRL"), -1) << "lookups compare exactly";

  // A configuration without a window class of its name cannot make a window.
  ASSERT_EQ(RegisterMiniAlbum("HostOnlyAlbum", &mine), 1);
  HWND host = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  TestCtrl orphan;
  EXPECT_EQ(orphan.CALbumCtrl(host, "HostOnlyAlbum", RECT{0, 0, 100, 100}), 0)
      << "no window class is registered for a configuration";
  DestroyWindow(host);

  int stored = 5;
  for (int i = 0; stored < 16; ++i, ++stored) {
    ASSERT_EQ(RegisterMiniAlbum(("Extra" + std::to_string(i)).c_str(), &mine), 1) << "slot " << stored;
  }
  EXPECT_EQ(RegisterMiniAlbum("Seventeenth", &mine), 0) << "all 16 slots are used";
  EXPECT_EQ(GetAlbumCtrlACI(nullptr, "Extra10"), 15) << "the last slot";
}

// ---------------------------------------------------------------------------
// Creation and layout

TEST_F(AlbumCtrlTest, TheManagerControlTakesItsGridFromItsSizeAndFillsItWithTheView) {
  TestCtrl* ctrl = Make("ManDlgAlbumCtrl", 400, 300);
  ASSERT_TRUE(ctrl && ctrl->GetAlbum());
  char text[32] = "";
  GetWindowTextA(ctrl->Window(), text, sizeof(text));
  EXPECT_STREQ(text, "NULL") << "the window text of a host-made control";

  tagAlbumViewCreateInfo slot{};
  GetAlbumCtrlACI(&slot, "ManDlgAlbumCtrl");
  EXPECT_EQ(slot.avcRows, 2) << "rows written back: 300 / 108";
  EXPECT_EQ(slot.avcCols, 5) << "columns written back: 384 / 70";

  ASSERT_NE(ctrl->Bar(), nullptr) << "expected a scroll bar";
  EXPECT_EQ(Place(ctrl->Bar()), Rect(384, 0, 400, 300)) << "a vertical bar along the right edge";
  EXPECT_TRUE(GetWindowLongPtrA(ctrl->Bar(), GWL_STYLE) & SBS_VERT) << "expected a vertical bar";
  int low = -1, high = -1;
  GetScrollRange(ctrl->Bar(), SB_CTL, &low, &high);
  EXPECT_EQ(low, 0) << "bar range";
  EXPECT_EQ(high, 100) << "bar range";
  // The first WM_SIZE gives the view the whole area left of the bar; the
  // view then lays whole 88 x 107 cells into it.
  EXPECT_EQ(Place(ctrl->View()), Rect(0, 0, 384, 300)) << "the view beside the bar";
  EXPECT_EQ(ctrl->Config().avcCols, 4) << "columns of 88 in 384";
  EXPECT_EQ(ctrl->Config().avcRows, 2) << "rows of 107 in 300";
}

TEST_F(AlbumCtrlTest, TheOptionsControlScrollsSidewaysWithItsBarBelow) {
  TestCtrl* ctrl = Make("OptionDlgAlbumCtrl", 300, 100);
  ASSERT_TRUE(ctrl && ctrl->GetAlbum());
  EXPECT_EQ(Place(ctrl->Bar()), Rect(0, 84, 300, 100)) << "a horizontal bar along the bottom";
  EXPECT_FALSE(GetWindowLongPtrA(ctrl->Bar(), GWL_STYLE) & SBS_VERT) << "expected a horizontal bar";
  EXPECT_EQ(Place(ctrl->View()), Rect(0, 0, 300, 84)) << "the view above the bar";
  EXPECT_EQ(ctrl->Config().avcRows, 2) << "rows: 84 / 36";
  EXPECT_EQ(ctrl->Config().avcCols, 8) << "columns: 300 / 36";
}

TEST_F(AlbumCtrlTest, ResizingTheOptionsControlKeepsItsGridInsteadOfDividingByZero) {
  TestCtrl* ctrl = Make("OptionDlgAlbumCtrl", 300, 100);
  ASSERT_TRUE(ctrl && ctrl->GetAlbum());
  Fill(ctrl, "o", 30);
  const int rows = ctrl->Config().avcRows;
  const int cols = ctrl->Config().avcCols;
  SetWindowPos(ctrl->Window(), nullptr, 0, 0, 420, 160, SWP_NOMOVE | SWP_NOZORDER);
  msgseq::PumpUntilIdle();
  EXPECT_EQ(ctrl->Config().avcRows, rows) << "cell size 0: rows stay";
  EXPECT_EQ(ctrl->Config().avcCols, cols) << "cell size 0: columns stay";
  EXPECT_EQ(viewtest::ChildrenOfClass(ctrl->View(), "ThumbViewClass").size(), static_cast<size_t>(rows * cols))
      << "cells after the resize";
  EXPECT_EQ(Place(ctrl->Bar()), Rect(0, 144, 420, 160)) << "the bar follows the new size";
  EXPECT_EQ(Place(ctrl->View()), Rect(0, 0, 420, 144)) << "the view follows the new size";
  EXPECT_NE(CellOfItem(ctrl, ctrl->GetAlbum()->GetFirstViewNailID()), nullptr)
      << "items are shown again after the resize";
}

TEST_F(AlbumCtrlTest, AControlTooSmallForOneCellStillShowsOne) {
  TestCtrl* ctrl = Make("OptionDlgAlbumCtrl", 100, 40);  // a view of 100 x 24
  ASSERT_TRUE(ctrl && ctrl->GetAlbum());
  EXPECT_EQ(ctrl->Config().avcRows, 1) << "one row although 24 / 36 is 0";
  EXPECT_EQ(ctrl->Config().avcCols, 2) << "columns: 100 / 36";
  Fill(ctrl, "t", 5);
  SendMessageA(ctrl->Window(), WM_HSCROLL, SB_TOP, 0);
  EXPECT_NE(CellOfItem(ctrl, 1), nullptr) << "the first item is shown";
  SendMessageA(ctrl->Window(), WM_HSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(ctrl->GetAlbum()->GetFirstViewNailID(), 2) << "one column on";
  EXPECT_EQ(BarPosition(ctrl), 100 / 3) << "one of three columns";
  SetWindowPos(ctrl->Window(), nullptr, 0, 0, 300, 120, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(ctrl->Config().avcRows * ctrl->Config().avcCols, 2) << "the grid is kept when the control grows";
}

TEST_F(AlbumCtrlTest, DockingPutsTheBarUnderTheViewAndUndockingBringsItBack) {
  TestCtrl* ctrl = Make("ManDlgAlbumCtrl", 400, 300);
  ASSERT_TRUE(ctrl && ctrl->GetAlbum());
  HWND undockedBar = ctrl->Bar();

  ctrl->SetDock(ALBUM_DOCKED_VERTICAL);
  EXPECT_FALSE(IsWindow(undockedBar)) << "the old bar is destroyed";
  SetWindowPos(ctrl->Window(), nullptr, 0, 0, 380, 320, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(Place(ctrl->Bar()), Rect(0, 0, 380, 320)) << "docked: the bar covers the control";
  EXPECT_TRUE(GetWindowLongPtrA(ctrl->Bar(), GWL_STYLE) & SBS_VERT) << "mode 1 scrolls vertically";
  EXPECT_EQ(Place(ctrl->View()), Rect(0, 22, 380, 298)) << "mode 1: the view between the arrows";
  EXPECT_EQ(ctrl->Config().avcScroll, 1) << "mode 1 orientation";

  HWND dockedBar = ctrl->Bar();
  ctrl->SetDock(ALBUM_DOCKED_VERTICAL);
  EXPECT_EQ(ctrl->Bar(), dockedBar) << "the same mode again changes nothing";
  ctrl->SetDock(7);
  EXPECT_EQ(ctrl->DockMode(), ALBUM_DOCKED_VERTICAL) << "an unknown mode is ignored";

  ctrl->SetDock(ALBUM_DOCKED_HORIZONTAL);
  SetWindowPos(ctrl->Window(), nullptr, 0, 0, 500, 200, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(Place(ctrl->Bar()), Rect(0, 0, 500, 200)) << "mode 2: the bar covers the control";
  EXPECT_FALSE(GetWindowLongPtrA(ctrl->Bar(), GWL_STYLE) & SBS_VERT) << "mode 2 scrolls sideways";
  EXPECT_EQ(Place(ctrl->View()), Rect(22, 0, 478, 200)) << "mode 2: the view between the arrows";
  EXPECT_EQ(ctrl->Config().avcScroll, 2) << "mode 2 orientation";

  ctrl->SetDock(ALBUM_UNDOCKED);
  SetWindowPos(ctrl->Window(), nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(Place(ctrl->Bar()), Rect(384, 0, 400, 300)) << "undocked: the bar at the right again";
  EXPECT_EQ(Place(ctrl->View()), Rect(0, 0, 384, 300)) << "undocked: the view beside it";
  EXPECT_EQ(ctrl->Config().avcScroll, 1) << "undocked orientation";
}

// The toolbar library's window procedure, or null for any other one.
bool InToolbarLibrary(HWND window) {
  HMODULE owner = nullptr;
  const auto procedure = reinterpret_cast<LPCSTR>(GetWindowLongPtrA(window, GWLP_WNDPROC));
  return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            procedure, &owner) &&
         owner == GetModuleHandleA("Tevrin.dll");
}

TEST_F(AlbumCtrlTest, DockedBarsTakeTheToolbarLibrarysLook) {
  WNDCLASSEXA toolbarClass{};
  toolbarClass.cbSize = sizeof(toolbarClass);
  EXPECT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "TevrinToolBar", &toolbarClass))
      << "Expected the toolbar class registered when album.dll started";
  TestCtrl* ctrl = Make("ManDlgAlbumCtrl", 400, 300);
  ASSERT_TRUE(ctrl && ctrl->GetAlbum());
  EXPECT_FALSE(InToolbarLibrary(ctrl->Bar())) << "undocked: a standard bar";
  ctrl->SetDock(ALBUM_DOCKED_VERTICAL);
  SetWindowPos(ctrl->Window(), nullptr, 0, 0, 380, 320, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_TRUE(InToolbarLibrary(ctrl->Bar())) << "docked: the flat look";
  SetWindowPos(ctrl->Window(), nullptr, 0, 0, 380, 340, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_TRUE(InToolbarLibrary(ctrl->Bar())) << "a second resize keeps it";
  ctrl->SetDock(ALBUM_DOCKED_HORIZONTAL);
  SetWindowPos(ctrl->Window(), nullptr, 0, 0, 500, 200, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_TRUE(InToolbarLibrary(ctrl->Bar())) << "mode 2: the flat look";
  ctrl->SetDock(ALBUM_UNDOCKED);
  SetWindowPos(ctrl->Window(), nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_FALSE(InToolbarLibrary(ctrl->Bar())) << "undocked again: a standard bar";
}

TEST_F(AlbumCtrlTest, AFrameDragSnapsToWholeCellsPlusTheBarsMargin) {
  TestCtrl* ctrl = Make("ManDlgAlbumCtrl", 400, 300);
  ASSERT_TRUE(ctrl && ctrl->GetAlbum());
  HWND cell = viewtest::ChildrenOfClass(ctrl->View(), "ThumbViewClass").front();
  RECT cellRect{};
  GetWindowRect(cell, &cellRect);
  const int pitchX = cellRect.right - cellRect.left;  // no gaps in this configuration
  const int pitchY = cellRect.bottom - cellRect.top;

  RECT dragged{100, 100, 100 + 16 + 3 * pitchX + pitchX / 2, 100 + 2 * pitchY + 5};
  SendMessageA(ctrl->Window(), WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&dragged));
  EXPECT_EQ(viewtest::Describe(dragged), Rect(100, 100, 100 + 16 + 3 * pitchX, 100 + 2 * pitchY))
      << "bottom-right: three columns and the bar, two rows";

  dragged = RECT{100, 100, 500, 400};
  SendMessageA(ctrl->Window(), WM_SIZING, WMSZ_TOPLEFT, reinterpret_cast<LPARAM>(&dragged));
  const int cols = (400 - 16) / pitchX, rows = 300 / pitchY;
  EXPECT_EQ(viewtest::Describe(dragged), Rect(500 - 16 - cols * pitchX, 400 - rows * pitchY, 500, 400))
      << "top-left: the right and bottom edges stay";

  ctrl->SetDock(ALBUM_DOCKED_VERTICAL);
  SetWindowPos(ctrl->Window(), nullptr, 0, 0, 400, 310, SWP_NOMOVE | SWP_NOZORDER);
  // The cells now fill the docked view: take their size again.
  cell = viewtest::ChildrenOfClass(ctrl->View(), "ThumbViewClass").front();
  GetWindowRect(cell, &cellRect);
  const int dockedX = cellRect.right - cellRect.left;
  const int dockedY = cellRect.bottom - cellRect.top;
  dragged = RECT{0, 0, 3 * dockedX + 7, 44 + 2 * dockedY + 9};
  SendMessageA(ctrl->Window(), WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&dragged));
  EXPECT_EQ(viewtest::Describe(dragged), Rect(0, 0, 3 * dockedX, 44 + 2 * dockedY))
      << "docked vertically: the arrows' 44 pixels are the margin";
}

TEST_F(AlbumCtrlTest, AControlMadeFromATemplateOwnsItselfAndLoadsTheAlbumNamedByItsText) {
  char folder[MAX_PATH] = "";
  GetTempPathA(sizeof(folder), folder);
  std::string album = std::string(folder) + "albumctrl-template.abm";
  {
    CAlbumDoc2 document;
    TestTable items;
    for (int i = 1; i <= 3; ++i) items.Append(ItemSpec(ItemPath("t" + std::to_string(i))));
    document.Insert(&items, nullptr);
    ASSERT_TRUE(document.Save(album.c_str())) << "cannot write " << album;
  }
  HWND window = CreateWindowExA(0, "ManDlgAlbumCtrl", album.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 300, 250, parent,
                                nullptr, GetResourceModule(), nullptr);
  ASSERT_NE(window, nullptr) << "expected a control made by class name";
  auto* ctrl = reinterpret_cast<CAlbumCtrl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  ASSERT_NE(ctrl, nullptr) << "the window carries its own object";
  ASSERT_NE(ctrl->GetAlbum(), nullptr) << "with an album view";
  EXPECT_EQ(Names(ctrl), "t1 t2 t3") << "the album named by the window text is loaded";
  DestroyWindow(window);
  EXPECT_FALSE(IsWindow(window)) << "destroyed with its object";
  DeleteFileA(album.c_str());
  DeleteFileA((album + ".bak").c_str());  // the store's backup, should an old file have been replaced
}

TEST_F(AlbumCtrlTest, AClassWithoutAConfigurationMakesAnEmptyControlThatIgnoresViewMessages) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  ASSERT_TRUE(GetClassInfoExA(GetResourceModule(), "ManDlgAlbumCtrl", &wc));
  wc.lpszClassName = "UnconfiguredAlbumCtrl";
  wc.hInstance = GetModuleHandleA(nullptr);
  ASSERT_TRUE(RegisterClassExA(&wc)) << "cannot register the test class";
  HWND window = CreateWindowExA(0, "UnconfiguredAlbumCtrl", "", WS_CHILD | WS_VISIBLE, 0, 0, 200, 200, parent,
                                nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  auto* ctrl = reinterpret_cast<CAlbumCtrl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  ASSERT_NE(ctrl, nullptr) << "the object exists";
  EXPECT_EQ(ctrl->GetAlbum(), nullptr) << "no view without a configuration";
  EXPECT_EQ(ctrl->OnInitCtrl(window), 0) << "initialising again still finds no configuration";
  SendMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
  SendMessageA(window, AVM_UPDATESCROLL, 0, 0);
  SendMessageA(window, WM_VSCROLL, SB_LINEDOWN, 0);
  SetWindowPos(window, nullptr, 0, 0, 250, 150, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_TRUE(Heard(ACM_SENDSELECTED).empty()) << "an empty control sends nothing";
  DestroyWindow(window);
  UnregisterClassA("UnconfiguredAlbumCtrl", wc.hInstance);
}

TEST_F(AlbumCtrlTest, ObjectAndWindowMayGoInEitherOrderAndCopiesShareWithoutOwning) {
  TestCtrl* ctrl = Make("ManDlgAlbumCtrl", 300, 250);
  ASSERT_TRUE(ctrl && ctrl->GetAlbum());
  Fill(ctrl, "c", 4);
  {
    CAlbumCtrl copy(*ctrl);
    EXPECT_EQ(copy.GetAlbum(), ctrl->GetAlbum()) << "a copy shares the view";
  }
  ASSERT_TRUE(IsWindow(ctrl->View())) << "the view outlives a copy";
  EXPECT_EQ(Names(ctrl), "c1 c2 c3 c4") << "the album outlives a copy";

  // The host deletes its object first: the window stays, empty and inert.
  auto* early = new TestCtrl;
  HWND window = reinterpret_cast<HWND>(early->CALbumCtrl(parent, "ManDlgAlbumCtrl", RECT{0, 0, 200, 200}));
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(early->CALbumCtrl(parent, "ManDlgAlbumCtrl", RECT{0, 0, 200, 200}), 0)
      << "one object makes one window";
  HWND view = early->View();
  delete early;
  EXPECT_FALSE(IsWindow(view)) << "the view goes with the object";
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0) << "the window forgets the object";
  SendMessageA(window, WM_KEYDOWN, VK_DELETE, 0);
  SetWindowPos(window, nullptr, 0, 0, 150, 150, SWP_NOMOVE | SWP_NOZORDER);
  DestroyWindow(window);
  EXPECT_TRUE(Heard(ACM_DELETESELECTED).empty()) << "an unbound window sends nothing";
}

// ---------------------------------------------------------------------------
// The scroll bar's position

TEST_F(AlbumCtrlTest, TheBarFollowsScrollingByBarKeysAndThumb) {
  TestCtrl* ctrl = Make("ManDlgAlbumCtrl", 400, 300);  // 4 columns, 2 rows
  ASSERT_TRUE(ctrl && ctrl->GetAlbum());
  EXPECT_EQ(BarPosition(ctrl), 0) << "an empty album";
  Fill(ctrl, "s", 8);
  EXPECT_EQ(BarPosition(ctrl), 0) << "8 items fit into the visible lines";
  Fill(ctrl, "s", 12, 9);  // 20 items: 5 lines, 2 visible
  EXPECT_EQ(ctrl->GetAlbum()->GetFirstViewNailID(), 13) << "the view follows the items put in";
  EXPECT_EQ(BarPosition(ctrl), 100) << "after the items went in at the end";
  SendMessageA(ctrl->Window(), WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(BarPosition(ctrl), 0) << "at the top";

  SendMessageA(ctrl->Window(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(ctrl->GetAlbum()->GetFirstViewNailID(), 5) << "one line down";
  EXPECT_EQ(BarPosition(ctrl), 33) << "one of three lines";
  SendMessageA(ctrl->Window(), WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(ctrl->GetAlbum()->GetFirstViewNailID(), 13) << "the last page";
  EXPECT_EQ(BarPosition(ctrl), 100) << "at the bottom";
  SendMessageA(ctrl->Window(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 50), 0);
  EXPECT_EQ(ctrl->GetAlbum()->GetFirstViewNailID(), 5) << "the thumb at 50 of 100";
  EXPECT_EQ(BarPosition(ctrl), 33) << "after the thumb";

  ctrl->GetAlbum()->SetCurrentFocus(1);
  SendMessageA(ctrl->Window(), WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(ctrl->GetAlbum()->GetCurrentFocus(), 20) << "End focuses the last item";
  EXPECT_EQ(BarPosition(ctrl), 100) << "after End";
  SendMessageA(ctrl->Window(), WM_KEYDOWN, VK_HOME, 0);
  EXPECT_EQ(BarPosition(ctrl), 0) << "after Home";
  SendMessageA(ctrl->Window(), WM_KEYDOWN, VK_NEXT, 0);
  EXPECT_EQ(ctrl->GetAlbum()->GetCurrentFocus(), 9) << "Page Down from item 1";
  EXPECT_EQ(BarPosition(ctrl), 33) << "after Page Down";
}

TEST_F(AlbumCtrlTest, TheSidewaysBarCountsColumns) {
  TestCtrl* ctrl = Make("OptionDlgAlbumCtrl", 300, 100);  // 2 rows, 8 columns
  ASSERT_TRUE(ctrl && ctrl->GetAlbum());
  Fill(ctrl, "h", 40);  // 20 columns, 8 visible
  SendMessageA(ctrl->Window(), WM_HSCROLL, SB_TOP, 0);
  EXPECT_EQ(BarPosition(ctrl), 0) << "at the left end";
  SendMessageA(ctrl->Window(), WM_HSCROLL, SB_LINEDOWN, 0);
  SendMessageA(ctrl->Window(), WM_HSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(ctrl->GetAlbum()->GetFirstViewNailID(), 5) << "two columns on";
  EXPECT_EQ(BarPosition(ctrl), 2 * 100 / 12) << "two of twelve columns";
}

// ---------------------------------------------------------------------------
// Keys and notifications

TEST_F(AlbumCtrlTest, KeysReachTheParentOrTheViewAsTheyShould) {
  TestCtrl* ctrl = Make("ManDlgAlbumCtrl", 400, 300);
  ASSERT_TRUE(ctrl && ctrl->GetAlbum());
  Fill(ctrl, "k", 6);
  EXPECT_EQ(SendMessageA(ctrl->Window(), WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTCHARS)
      << "the control wants arrows and characters";
  ctrl->GetAlbum()->SetCurrentFocus(2);
  recorder.Flush();

  const WPARAM self = reinterpret_cast<WPARAM>(static_cast<CAlbumCtrl*>(ctrl));
  for (WPARAM key : {WPARAM(VK_RETURN), WPARAM(VK_DELETE), WPARAM(VK_DECIMAL), WPARAM('D'), WPARAM('A')}) {
    SendMessageA(ctrl->Window(), WM_KEYDOWN, key, 0);
  }
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  SendMessageA(ctrl->Window(), WM_KEYDOWN, 'D', 0);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  const unsigned both = msgseq::sent | msgseq::wparam | msgseq::lparam;
  const Expected expected[] = {{ACM_SENDSELECTED, both, self, 0},
                               {ACM_DELETESELECTED, both, self, 0},
                               {ACM_DELETESELECTED, both, self, 0},
                               {ACM_DELETESELECTED, both, self, 0},
                               {0}};
  ok_sequence(recorder, 0, expected, "Enter, Delete, keypad Del, D, A, Ctrl+D");

  recorder.Flush();
  SendMessageA(ctrl->Window(), WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(ctrl->GetAlbum()->GetCurrentFocus(), 3) << "Right moves the focus in the view";
  std::vector<Recorded> focus = Heard(ACM_FOCUSCHANGED);
  ASSERT_EQ(focus.size(), 1u) << "expected one focus notification, got " << focus.size();
  EXPECT_EQ(focus[0].wParam, reinterpret_cast<WPARAM>(ctrl->Window())) << "wParam is the control's window";
  EXPECT_EQ(focus[0].lParam, reinterpret_cast<LPARAM>(ctrl->GetAlbum()->GetDocument()->GetThumbnail(3)))
      << "lParam is the focused item";
}

TEST_F(AlbumCtrlTest, ClicksOnCellsNotifyTheParentAndTakeTheKeyboardFocus) {
  TestCtrl* ctrl = Make("ManDlgAlbumCtrl", 400, 300);
  ASSERT_TRUE(ctrl && ctrl->GetAlbum());
  Fill(ctrl, "n", 5);
  std::string opened;
  recorder.SetResponder(parent, [&opened](HWND, UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    if (message != ACM_OPENITEM) return false;
    opened = reinterpret_cast<const char*>(wParam);
    *result = 0;
    return true;
  });
  SetFocus(parent);
  recorder.Flush();

  HWND cell = CellOfItem(ctrl, 3);
  ASSERT_NE(cell, nullptr) << "item 3 is visible";
  SendMessageA(cell, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(cell, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(GetFocus(), ctrl->Window()) << "a click gives the control the keyboard focus";
  std::vector<Recorded> focus = Heard(ACM_FOCUSCHANGED);
  ASSERT_FALSE(focus.empty()) << "expected a focus notification";
  EXPECT_EQ(focus.back().wParam, reinterpret_cast<WPARAM>(ctrl->Window())) << "wParam is the control's window";
  EXPECT_EQ(focus.back().lParam, reinterpret_cast<LPARAM>(ctrl->GetAlbum()->GetDocument()->GetThumbnail(3)))
      << "lParam is the clicked item";

  SendMessageA(cell, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  ASSERT_EQ(Heard(ACM_OPENITEM).size(), 1u) << "a double click opens the item";
  EXPECT_EQ(opened, ItemPath("n3")) << "wParam carries the item's full path";
  EXPECT_EQ(Heard(ACM_OPENITEM)[0].lParam, 0) << "lParam of the open notification";

  HWND empty = EmptyCell(ctrl);
  ASSERT_NE(empty, nullptr) << "5 items leave empty cells";
  SendMessageA(empty, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(Heard(ACM_OPENITEM).size(), 1u) << "a double click on an empty cell opens nothing";

  recorder.Flush();
  auto* cellObject = reinterpret_cast<CThumbView2*>(GetWindowLongPtrA(cell, GWLP_USERDATA));
  SendMessageA(cell, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
  SendMessageA(cell, WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
  std::vector<Recorded> menu = Heard(ACM_CONTEXTMENU);
  ASSERT_EQ(menu.size(), 1u) << "a right press asks for the context menu";
  EXPECT_EQ(menu[0].wParam, static_cast<WPARAM>(MK_RBUTTON)) << "key flags pass unchanged";
  EXPECT_EQ(menu[0].lParam, reinterpret_cast<LPARAM>(cellObject)) << "the cell passes unchanged";
}

TEST_F(AlbumCtrlTest, ViewMessagesWithStrangeCellsAreIgnored) {
  TestCtrl* ctrl = Make("ManDlgAlbumCtrl", 400, 300);
  ASSERT_TRUE(ctrl && ctrl->GetAlbum());
  Fill(ctrl, "x", 3);
  TestCtrl* other = controls.Make(parent, "ManDlgAlbumCtrl", 420, 10, 200, 200);
  ASSERT_TRUE(other && other->GetAlbum());
  Fill(other, "y", 2);
  auto* foreign = reinterpret_cast<CThumbView2*>(GetWindowLongPtrA(CellOfItem(other, 1), GWLP_USERDATA));
  recorder.Flush();
  SendMessageA(ctrl->Window(), AVM_ITEMDBLCLK, 0, reinterpret_cast<LPARAM>(foreign));
  SendMessageA(ctrl->Window(), AVM_ITEMDBLCLK, 0, 0x1234);
  tagDRAGNOTIFY record{};
  record.ddKind = DRAG_KIND_ITEMS;
  SendMessageA(ctrl->Window(), AVM_ITEMDROP, reinterpret_cast<WPARAM>(foreign), reinterpret_cast<LPARAM>(&record));
  EXPECT_EQ(record.ddEffect, DRAG_EFFECT_REFUSED) << "a drop on another album's cell is refused here";
  EXPECT_TRUE(Heard(ACM_OPENITEM).empty()) << "no item is opened for a cell of another view";
  EXPECT_EQ(Names(ctrl), "x1 x2 x3") << "nothing changed";
}
