// The toolbar library: the toolbar control in a dialog made from a template,
// clicked with real input; the flat scroll-bar look and the scroll codes it
// keeps sending; the move trigger that carries a docked manager's frame.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "components/resources/resource.h"
#include "platform/tevrin.h"
#include "support/MessageRecorder.h"

using msgseq::Recorded;
using msgseq::Recorder;

namespace {

const int kToolbarItem = 4189;
const int kCommands[9] = {1003, 1008, 1005, 1002, 1004, 1001, 1007, 1011, 1012};
const int kTooltips[9] = {4030, 4036, 4031, 4032, 4033, 4034, 4035, 4037, 4038};

HMODULE Resources() {
  static HMODULE module = LoadLibraryA("Morvex.dll");
  return module;
}

// ---------------------------------------------------------------------------
// Screen pixels

using Pixels = std::vector<COLORREF>;

// Windows paint into a surface that reaches the screen when their thread
// next finds its queue empty: the queue is emptied first.
Pixels Capture(HWND window) {
  msgseq::PumpUntilIdle();
  RECT rect{};
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  Pixels pixels(static_cast<size_t>(width) * height);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down: rows in screen order
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  if (bits) memcpy(pixels.data(), bits, pixels.size() * sizeof(COLORREF));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

int CountDifferences(const Pixels& a, const Pixels& b) {
  if (a.size() != b.size()) return -1;
  int count = 0;
  for (size_t i = 0; i < a.size(); ++i) count += a[i] != b[i];
  return count;
}

// With TEVRIN_SHOTS set to a folder, the windows a test shows are saved
// there as BMP files, to be looked at.
void SaveShot(HWND window, const char* name) {
  const char* folder = std::getenv("TEVRIN_SHOTS");
  if (!folder) return;
  msgseq::PumpUntilIdle();
  RECT rect{};
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);
  const DWORD size = ((width * 3 + 3) & ~3) * height;
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(file) + sizeof(BITMAPINFOHEADER) + size), 0, 0,
                        sizeof(file) + sizeof(BITMAPINFOHEADER)};
  std::string path = std::string(folder) + "\\" + name + ".bmp";
  HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(out, &file, sizeof(file), &written, nullptr);
  WriteFile(out, &info.bmiHeader, sizeof(BITMAPINFOHEADER), &written, nullptr);
  WriteFile(out, bits, size, &written, nullptr);
  CloseHandle(out);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

void Click(HWND window, POINT client) {
  msgseq::MoveCursor(window, client);
  msgseq::LeftDown();
  msgseq::LeftUp();
}

// ---------------------------------------------------------------------------
// The toolbar in a dialog made from a template

std::vector<int> g_commands;      // commands the owner dialog received
std::vector<HWND> g_commandSenders;

INT_PTR CALLBACK OwnerProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) return TRUE;
  if (msg == WM_COMMAND) {
    g_commands.push_back(LOWORD(wParam));
    g_commandSenders.push_back(reinterpret_cast<HWND>(lParam));
    return TRUE;
  }
  return FALSE;
}

// A dialog template with one custom control of the toolbar class, as the
// manager's dialog places it.
std::vector<WORD> ToolbarDialogTemplate() {
  std::vector<WORD> words;
  auto add32 = [&](DWORD value) {
    words.push_back(LOWORD(value));
    words.push_back(HIWORD(value));
  };
  auto addText = [&](const char* text) {
    for (; *text; ++text) words.push_back(static_cast<WORD>(*text));
    words.push_back(0);
  };
  add32(WS_POPUP | WS_BORDER | WS_VISIBLE);  // style
  add32(WS_EX_TOPMOST);                      // extended style
  words.push_back(1);                        // one item
  words.push_back(20);                       // x, y, cx, cy in dialog units
  words.push_back(20);
  words.push_back(250);
  words.push_back(40);
  words.push_back(0);  // no menu
  words.push_back(0);  // standard class
  words.push_back(0);  // no title
  if (words.size() % 2) words.push_back(0);  // items start on a DWORD boundary
  add32(WS_CHILD | WS_VISIBLE);
  add32(0);
  words.push_back(10);
  words.push_back(3);
  words.push_back(150);
  words.push_back(12);
  words.push_back(kToolbarItem);
  addText(TEVRIN_TOOLBAR_CLASS);
  words.push_back(0);  // no title
  words.push_back(0);  // no creation data
  return words;
}

class ToolbarTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(RegisterToolBar(Resources()), 1) << "Expected the class registered"; }

  void SetUp() override {
    ASSERT_NE(Resources(), nullptr) << "Expected Morvex.dll beside the test";
    g_commands.clear();
    g_commandSenders.clear();
    std::vector<WORD> words = ToolbarDialogTemplate();
    dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), reinterpret_cast<DLGTEMPLATE*>(words.data()),
                                        nullptr, OwnerProc, 0);
    ASSERT_NE(dialog, nullptr) << "Expected the dialog made from its template";
    toolbar = GetDlgItem(dialog, kToolbarItem);
    ASSERT_NE(toolbar, nullptr) << "Expected item " << kToolbarItem << " in the dialog";
  }
  void TearDown() override {
    if (dialog) DestroyWindow(dialog);
  }

  // The manager's placement and call, classic or new look.
  void Initialize(bool newLook, int width = 265) {
    SetWindowPos(dialog, HWND_TOPMOST, 40, 40, 560, 120, SWP_NOACTIVATE);
    SetWindowPos(toolbar, nullptr, 196, 6, newLook ? 262 : width, newLook ? 26 : 20, SWP_NOZORDER);
    const int result = newLook ? InitializeToolbar(toolbar, dialog, 9, kCommands, IDB_TOOLBAR_NEW_1,
                                                   IDB_TOOLBAR_NEW_2, IDB_TOOLBAR_NEW_3, IDB_TOOLBAR_NEW_4,
                                                   kTooltips, 0)
                               : InitializeToolbar(toolbar, dialog, 9, kCommands, IDB_TOOLBAR_CLASSIC_1,
                                                   IDB_TOOLBAR_CLASSIC_2, IDB_TOOLBAR_CLASSIC_3,
                                                   IDB_TOOLBAR_CLASSIC_4, kTooltips, 0);
    ASSERT_EQ(result, 1) << "Expected InitializeToolbar to succeed";
    bar = FindWindowExA(toolbar, nullptr, TOOLBARCLASSNAMEA, nullptr);
    ASSERT_NE(bar, nullptr) << "Expected a common-controls toolbar inside the control";
    msgseq::MakeForeground(dialog);
    UpdateWindow(dialog);
    msgseq::PumpUntilIdle();
  }

  POINT ButtonCentre(int index) {
    RECT item{};
    SendMessageA(bar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    POINT centre{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    MapWindowPoints(bar, toolbar, &centre, 1);
    return centre;
  }

  HWND dialog = nullptr;
  HWND toolbar = nullptr;  // the TevrinToolBar control
  HWND bar = nullptr;      // the ToolbarWindow32 inside it
};

TEST_F(ToolbarTest, EveryButtonClickedSendsItsCommandToTheOwner) {
  Initialize(false);
  ASSERT_EQ(SendMessageA(bar, TB_BUTTONCOUNT, 0, 0), 9) << "Expected 9 buttons";
  for (int i = 0; i < 9; ++i) {
    Click(toolbar, ButtonCentre(i));
    ASSERT_TRUE(msgseq::PumpUntil([&] { return g_commands.size() == static_cast<size_t>(i + 1); }))
        << "Expected a command from button " << i << ", got " << g_commands.size() << " commands in all";
    EXPECT_EQ(g_commands[i], kCommands[i]) << "button " << i;
    EXPECT_EQ(g_commandSenders[i], toolbar) << "the command comes from the toolbar control";
  }
  SaveShot(dialog, "toolbar-classic");
  msgseq::MoveCursor(toolbar, ButtonCentre(2));
  msgseq::LeftDown();
  msgseq::PumpUntilIdle();
  SaveShot(dialog, "toolbar-pressed");
  msgseq::LeftUp();
  msgseq::PumpUntilIdle();
}

TEST_F(ToolbarTest, AGreyedButtonSendsNothingUntilEnabledAgain) {
  Initialize(false);
  const int print = 6;  // command 1007
  EXPECT_EQ(EnableToolbar(toolbar, 1007, 0), 1) << "Expected the print button found";
  EXPECT_FALSE(SendMessageA(bar, TB_ISBUTTONENABLED, 1007, 0)) << "Expected the print button greyed";
  const Pixels greyed = Capture(bar);
  Click(toolbar, ButtonCentre(print));
  msgseq::PumpUntilIdle();
  // A click on the next button proves the input went through.
  Click(toolbar, ButtonCentre(print + 1));
  ASSERT_TRUE(msgseq::PumpUntil([] { return !g_commands.empty(); })) << "Expected the batch button's command";
  ASSERT_EQ(g_commands.size(), 1u) << "Expected only the batch command, got " << g_commands.size();
  EXPECT_EQ(g_commands[0], 1011);

  EXPECT_EQ(EnableToolbar(toolbar, 1007, 1), 1);
  msgseq::MoveCursor(dialog, POINT{5, 5});  // off the buttons, so none is lit
  msgseq::PumpUntilIdle();
  UpdateWindow(bar);
  EXPECT_GT(CountDifferences(greyed, Capture(bar)), 20) << "Expected the print button drawn differently when enabled";
  Click(toolbar, ButtonCentre(print));
  ASSERT_TRUE(msgseq::PumpUntil([] { return g_commands.size() == 2; })) << "Expected the print command";
  EXPECT_EQ(g_commands[1], 1007);
  EXPECT_EQ(EnableToolbar(toolbar, 4242, 0), 0) << "no button sends 4242";
  EXPECT_EQ(EnableToolbar(dialog, 1007, 0), 0) << "the dialog is no toolbar";
}

TEST_F(ToolbarTest, TooltipsCarryTheStringTableTexts) {
  Initialize(true);
  HWND tips = reinterpret_cast<HWND>(SendMessageA(bar, TB_GETTOOLTIPS, 0, 0));
  ASSERT_NE(tips, nullptr) << "Expected the toolbar to have tooltips";
  for (int i = 0; i < 9; ++i) {
    char expected[80] = "";
    ASSERT_GT(LoadStringA(Resources(), kTooltips[i], expected, sizeof(expected)), 0);
    char text[80] = "";
    TOOLINFOA tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = bar;
    tool.uId = kCommands[i];
    tool.lpszText = text;
    SendMessageA(tips, TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&tool));
    EXPECT_STREQ(text, expected) << "tooltip of button " << i;
  }
}

TEST_F(ToolbarTest, BothLooksFitTheSizesTheManagerGives) {
  struct Look {
    bool newLook;
    int width, height, image;
  } looks[] = {{false, 265, 20, 16}, {false, 298, 20, 16}, {true, 262, 26, 20}};
  for (const Look& look : looks) {
    Initialize(look.newLook, look.width);
    ASSERT_EQ(SendMessageA(bar, TB_BUTTONCOUNT, 0, 0), 9) << "a second initialisation starts over";
    int cx = 0, cy = 0;
    ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageA(bar, TB_GETIMAGELIST, 0, 0)), &cx, &cy);
    EXPECT_EQ(cx, look.image) << "image size of a " << look.width << "x" << look.height << " toolbar";
    EXPECT_NE(SendMessageA(bar, TB_GETHOTIMAGELIST, 0, 0), 0) << "Expected hot images";
    EXPECT_NE(SendMessageA(bar, TB_GETDISABLEDIMAGELIST, 0, 0), 0) << "Expected disabled images";
    RECT last{};
    SendMessageA(bar, TB_GETITEMRECT, 8, reinterpret_cast<LPARAM>(&last));
    EXPECT_LE(last.right, look.width) << "the ninth button inside a " << look.width << "-wide toolbar";
    EXPECT_LE(last.bottom, look.height) << "buttons inside a " << look.height << "-high toolbar";
  }
  SaveShot(dialog, "toolbar-new");
}

TEST_F(ToolbarTest, BadArgumentsAreRefused) {
  EXPECT_EQ(InitializeToolbar(dialog, dialog, 9, kCommands, IDB_TOOLBAR_CLASSIC_1, 0, 0, 0, kTooltips, 0), 0)
      << "a dialog is no toolbar control";
  EXPECT_EQ(InitializeToolbar(toolbar, dialog, 9, kCommands, 1, 0, 0, 0, kTooltips, 0), 0) << "no bitmap 1";
  EXPECT_EQ(InitializeToolbar(toolbar, dialog, 0, kCommands, IDB_TOOLBAR_CLASSIC_1, 0, 0, 0, kTooltips, 0), 0);
  EXPECT_EQ(InitializeToolbar(toolbar, dialog, 10, kCommands, IDB_TOOLBAR_CLASSIC_1, 0, 0, 0, kTooltips, 0), 0)
      << "a strip of nine squares has no tenth button";
  EXPECT_EQ(FindWindowExA(toolbar, nullptr, TOOLBARCLASSNAMEA, nullptr), nullptr) << "nothing was built";
}

// ---------------------------------------------------------------------------
// The flat scroll bar

class FlatScrollTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder.RecordOnly({WM_VSCROLL});
    parent = recorder.CreateTopWindow(0, RECT{60, 60, 260, 320});
    ASSERT_NE(parent, nullptr);
    // 16 wide: arrows of 16, a track of 184 and, without a page, a thumb of 16.
    scroll = CreateWindowExA(0, "SCROLLBAR", nullptr, WS_CHILD | WS_VISIBLE | SBS_VERT, 20, 20, 16, 216, parent,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(scroll, nullptr);
    SetScrollRange(scroll, SB_CTL, 0, 100, FALSE);
    SetScrollPos(scroll, SB_CTL, 0, TRUE);
    msgseq::MakeForeground(parent);
    standardProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(scroll, GWLP_WNDPROC));
    msgseq::MoveCursor(parent, POINT{150, 10});  // away from the bar: no part is lit
  }

  // The codes the parent received since the last call; a held part may
  // repeat its code on a slow machine, so runs of one code count once.
  std::vector<int> Codes(bool collapseTracking = false) {
    msgseq::PumpUntilIdle();
    std::vector<int> codes;
    for (const Recorded& message : recorder.Stream(0)) {
      EXPECT_EQ(reinterpret_cast<HWND>(message.lParam), scroll) << "the bar names itself";
      const int code = LOWORD(message.wParam);
      const bool repeat = !codes.empty() && codes.back() == code && (code != SB_THUMBTRACK || collapseTracking);
      if (!repeat) codes.push_back(code);
    }
    recorder.Flush();
    return codes;
  }

  // The parent does what a parent does: it moves the thumb.
  void FollowThumb() {
    recorder.SetResponder(parent, [this](HWND, UINT msg, WPARAM wParam, LPARAM, LRESULT* result) {
      if (msg != WM_VSCROLL) return false;
      int pos = GetScrollPos(scroll, SB_CTL);
      switch (LOWORD(wParam)) {
        case SB_LINEDOWN: pos += 1; break;
        case SB_LINEUP: pos -= 1; break;
        case SB_PAGEDOWN: pos += 10; break;
        case SB_PAGEUP: pos -= 10; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: pos = HIWORD(wParam); break;
        default: break;
      }
      SetScrollPos(scroll, SB_CTL, pos, TRUE);
      *result = 0;
      return true;
    });
  }

  Recorder recorder;
  HWND parent = nullptr;
  HWND scroll = nullptr;
  WNDPROC standardProc = nullptr;
};

TEST_F(FlatScrollTest, ClicksAndThumbDragsSendTheStandardCodes) {
  ASSERT_EQ(SubclassScroll(scroll, 1, 1), 1);
  FollowThumb();
  SetScrollPos(scroll, SB_CTL, 50, TRUE);  // thumb at 16 + 84 = 100 .. 116
  Codes();
  Click(scroll, POINT{8, 8});
  EXPECT_EQ(Codes(), (std::vector<int>{SB_LINEUP, SB_ENDSCROLL})) << "top arrow";
  Click(scroll, POINT{8, 208});
  EXPECT_EQ(Codes(), (std::vector<int>{SB_LINEDOWN, SB_ENDSCROLL})) << "bottom arrow";
  SetScrollPos(scroll, SB_CTL, 50, TRUE);
  Click(scroll, POINT{8, 40});
  EXPECT_EQ(Codes(), (std::vector<int>{SB_PAGEUP, SB_ENDSCROLL})) << "track above the thumb";
  SetScrollPos(scroll, SB_CTL, 50, TRUE);
  Click(scroll, POINT{8, 180});
  EXPECT_EQ(Codes(), (std::vector<int>{SB_PAGEDOWN, SB_ENDSCROLL})) << "track below the thumb";

  SetScrollPos(scroll, SB_CTL, 50, TRUE);
  msgseq::MoveCursor(scroll, POINT{8, 108});
  msgseq::LeftDown();
  msgseq::PumpUntilIdle();
  msgseq::MoveCursor(scroll, POINT{8, 150});  // 42 of the 168 free pixels further: 25 positions
  msgseq::PumpUntil([this] { return GetScrollPos(scroll, SB_CTL) == 75; }, 3000);
  msgseq::LeftUp();
  msgseq::PumpUntilIdle();
  std::vector<Recorded> drag = recorder.Stream(0);
  ASSERT_GE(drag.size(), 3u) << "Expected thumb track, position and end";
  EXPECT_EQ(LOWORD(drag[0].wParam), SB_THUMBTRACK);
  EXPECT_EQ(LOWORD(drag[drag.size() - 2].wParam), SB_THUMBPOSITION);
  EXPECT_EQ(HIWORD(drag[drag.size() - 2].wParam), 75) << "the thumb went 42 pixels of 168 from 50";
  EXPECT_EQ(LOWORD(drag.back().wParam), SB_ENDSCROLL);
  recorder.Flush();

  // Keys go to the control itself, which sends what it always sends.
  SetFocus(scroll);
  msgseq::KeyDown(VK_NEXT);
  msgseq::KeyUp(VK_NEXT);
  std::vector<int> keys = Codes();
  ASSERT_FALSE(keys.empty()) << "Expected a code for Page Down";
  EXPECT_EQ(keys[0], SB_PAGEDOWN);
}

// The same clicks on the standard bar and on the flat one. The standard bar
// tracks a press in a loop of its own until the button is up again, so the
// whole click is queued before anything is dispatched.
TEST_F(FlatScrollTest, TheStandardBarSendsTheSameCodesForClicks) {
  FollowThumb();
  auto run = [this] {
    std::vector<int> codes;
    SCROLLBARINFO info{};
    info.cbSize = sizeof(info);
    SetScrollPos(scroll, SB_CTL, 50, TRUE);
    GetScrollBarInfo(scroll, OBJID_CLIENT, &info);
    const int thumbCentre = (info.xyThumbTop + info.xyThumbBottom) / 2;
    Codes();
    for (POINT point : {POINT{8, 8}, POINT{8, 208}, POINT{8, 40}, POINT{8, 180}, POINT{8, thumbCentre}}) {
      SetScrollPos(scroll, SB_CTL, 50, TRUE);
      Click(scroll, point);
      for (int code : Codes(true)) codes.push_back(code);
    }
    return codes;
  };
  const std::vector<int> standard = run();
  std::string text;
  for (int code : standard) text += std::to_string(code) + " ";
  ASSERT_EQ(standard.size(), 11u) << "Expected two codes for each arrow and page click and three for the thumb, got "
                                  << text;
  ASSERT_EQ(SubclassScroll(scroll, 1, 1), 1);
  EXPECT_EQ(run(), standard);
}

TEST_F(FlatScrollTest, LooksFlatAndDeSubclassBringsTheStandardBarBack) {
  SetScrollPos(scroll, SB_CTL, 30, TRUE);
  UpdateWindow(scroll);
  const Pixels standard = Capture(scroll);

  ASSERT_EQ(SubclassScroll(scroll, 1, 1), 1);
  EXPECT_EQ(SubclassScroll(scroll, 1, 1), 1) << "a second call is harmless";
  UpdateWindow(scroll);
  const Pixels flat = Capture(scroll);
  EXPECT_GT(CountDifferences(standard, flat), 16 * 216 / 10) << "Expected the flat look to differ from the standard";
  SaveShot(parent, "flat-scroll");

  // The part under the mouse lights up, and goes out when the mouse leaves.
  msgseq::MoveCursor(scroll, POINT{8, 8});
  msgseq::PumpUntilIdle();
  UpdateWindow(scroll);
  const Pixels lit = Capture(scroll);
  const int litPixels = CountDifferences(flat, lit);
  EXPECT_GT(litPixels, 16 * 8) << "Expected the top arrow lit under the mouse";
  EXPECT_LE(litPixels, 16 * 16) << "Expected only the top arrow lit";
  msgseq::MoveCursor(parent, POINT{150, 10});
  msgseq::PumpUntil([&] {
    UpdateWindow(scroll);
    return CountDifferences(flat, Capture(scroll)) == 0;
  }, 3000);
  EXPECT_EQ(CountDifferences(flat, Capture(scroll)), 0) << "Expected the arrow out again once the mouse left";

  // A position set through the control repaints the flat look, not the standard one.
  SetScrollPos(scroll, SB_CTL, 70, TRUE);
  UpdateWindow(scroll);
  SetScrollPos(scroll, SB_CTL, 30, TRUE);
  UpdateWindow(scroll);
  EXPECT_EQ(CountDifferences(flat, Capture(scroll)), 0) << "the same position paints the same flat bar";

  EXPECT_EQ(DeSubclassScroll(scroll), 1);
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(scroll, GWLP_WNDPROC)), standardProc)
      << "Expected the original procedure back after two subclass calls and one undo";
  UpdateWindow(scroll);
  EXPECT_EQ(CountDifferences(standard, Capture(scroll)), 0) << "Expected the standard look back";
  EXPECT_EQ(DeSubclassScroll(scroll), 0) << "a bar that is not subclassed";
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(scroll, GWLP_WNDPROC)), standardProc);
  EXPECT_EQ(SubclassScroll(parent, 1, 1), 0) << "only scroll bars";

  // Destroyed while subclassed: nothing is left behind to crash on.
  ASSERT_EQ(SubclassScroll(scroll, 1, 1), 1);
  DestroyWindow(scroll);
  EXPECT_EQ(DeSubclassScroll(scroll), 0);
}

// A docked album control lays its bar under the whole control and its view
// over the middle of it: the bar must never paint over the view.
TEST_F(FlatScrollTest, ABarUnderASiblingLeavesTheSiblingAlone) {
  SetWindowLongA(scroll, GWL_STYLE, GetWindowLongA(scroll, GWL_STYLE) | WS_CLIPSIBLINGS);
  HWND cover = recorder.CreateChildWindow(1, parent, RECT{10, 42, 60, 214}, [](HWND window, UINT msg, WPARAM,
                                                                             LPARAM, LRESULT* result) {
    if (msg != WM_PAINT) return false;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    HBRUSH green = CreateSolidBrush(RGB(0, 200, 0));
    FillRect(dc, &paint.rcPaint, green);
    DeleteObject(green);
    EndPaint(window, &paint);
    *result = 0;
    return true;
  });
  ASSERT_NE(cover, nullptr);
  SetWindowPos(scroll, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ASSERT_EQ(SubclassScroll(scroll, 1, 1), 1);
  RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  const Pixels before = Capture(cover);
  for (int pos : {20, 60, 90}) {
    SetScrollPos(scroll, SB_CTL, pos, TRUE);
    UpdateWindow(scroll);
  }
  EXPECT_EQ(CountDifferences(before, Capture(cover)), 0) << "Expected the covering window untouched";
  EXPECT_EQ(before[before.size() / 2], RGB(0, 200, 0) & 0xFFFFFF) << "Expected the covering window's own green";
}

// ---------------------------------------------------------------------------
// The move trigger

TEST(TransplantationTriggerTest, DragMovesTheDockFrameAndDoubleClickAsksItToUndock) {
  ASSERT_EQ(RegisterToolBar(Resources()), 1);
  Recorder recorder;
  recorder.RecordOnly({WM_NCLBUTTONDBLCLK, WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE});
  // The host's window, its dock frame, and the manager dialog in the frame.
  HWND host = recorder.CreateTopWindow(0, RECT{20, 20, 620, 460});
  HWND frame = recorder.CreateChildWindow(1, host, RECT{100, 50, 300, 350});
  HWND dialog = recorder.CreateChildWindow(2, frame, RECT{0, 0, 200, 300});
  ASSERT_TRUE(host && frame && dialog);
  HWND beside[3] = {nullptr, nullptr, nullptr};
  HWND trigger = CreateTransplantationTrigger(60, 6, 30, 25, dialog, 3, beside);
  ASSERT_NE(trigger, nullptr);
  EXPECT_EQ(GetParent(trigger), dialog);
  msgseq::MakeForeground(host);
  UpdateWindow(host);
  SaveShot(dialog, "move-trigger");

  RECT hostBefore{};
  GetWindowRect(host, &hostBefore);
  RECT before{};
  GetWindowRect(frame, &before);
  msgseq::MoveCursor(trigger, POINT{15, 12});
  msgseq::LeftDown();
  msgseq::PumpUntilIdle();
  msgseq::MoveCursor(trigger, POINT{15 + 40, 12 + 25});
  RECT after{};
  msgseq::PumpUntil([&] {
    GetWindowRect(frame, &after);
    return after.left != before.left;
  }, 3000);
  msgseq::LeftUp();
  msgseq::PumpUntilIdle();
  EXPECT_EQ(after.left - before.left, 40) << "the frame follows the mouse";
  EXPECT_EQ(after.top - before.top, 25);
  EXPECT_EQ(after.right - after.left, before.right - before.left) << "and keeps its size";
  RECT hostAfter{};
  GetWindowRect(host, &hostAfter);
  EXPECT_EQ(hostAfter.left, hostBefore.left) << "the host's own window stays";
  EXPECT_EQ(GetCapture(), nullptr) << "the drag is over";
  std::vector<UINT> bracket;
  for (const auto& heard : recorder.Stream(1)) bracket.push_back(heard.message);
  EXPECT_EQ(bracket, (std::vector<UINT>{WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}))
      << "the frame hears where a move begins and ends, as from the system's move loop";

  recorder.Flush();
  msgseq::MoveCursor(trigger, POINT{15, 12});
  msgseq::LeftDown();
  msgseq::LeftUp();
  msgseq::LeftDown();
  msgseq::LeftUp();
  ASSERT_TRUE(msgseq::PumpUntil([&] { return !recorder.Stream(1).empty(); }, 3000))
      << "Expected the frame to hear a double click on its caption";
  EXPECT_EQ(recorder.Stream(1)[0].wParam, static_cast<WPARAM>(HTCAPTION));
  EXPECT_TRUE(recorder.Stream(0).empty()) << "the host's window hears nothing";

  FreeTransplantation(dialog);
  EXPECT_TRUE(IsWindow(dialog)) << "only triggers are freed";
  FreeTransplantation(trigger);
  EXPECT_FALSE(IsWindow(trigger)) << "Expected the trigger destroyed";
}

TEST(TransplantationTriggerTest, AnUndockedDialogMovesItself) {
  ASSERT_EQ(RegisterToolBar(Resources()), 1);
  Recorder recorder;
  HWND dialog = recorder.CreateTopWindow(0, RECT{50, 50, 350, 250});
  HWND trigger = CreateTransplantationTrigger(4, 4, 30, 25, dialog, 0, nullptr);
  ASSERT_NE(trigger, nullptr);
  msgseq::MakeForeground(dialog);
  RECT before{};
  GetWindowRect(dialog, &before);
  msgseq::MoveCursor(trigger, POINT{10, 10});
  msgseq::LeftDown();
  msgseq::PumpUntilIdle();
  msgseq::MoveCursor(trigger, POINT{10 - 30, 10 + 20});
  RECT after{};
  msgseq::PumpUntil([&] {
    GetWindowRect(dialog, &after);
    return after.top != before.top;
  }, 3000);
  msgseq::LeftUp();
  msgseq::PumpUntilIdle();
  EXPECT_EQ(after.left - before.left, -30);
  EXPECT_EQ(after.top - before.top, 20);
  EXPECT_EQ(CreateTransplantationTrigger(0, 0, 30, 25, nullptr, 0, nullptr), nullptr) << "no owner, no trigger";
}

}  // namespace
