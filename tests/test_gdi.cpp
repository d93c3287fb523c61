// The GDI and memory scope objects the views paint with: every selection is
// undone, every owned object is deleted after its selection, every DC is
// given back, and none of them can be copied.
#include <gtest/gtest.h>

#include <windows.h>

#include <type_traits>

#include "ViewTestSupport.h"
#include "platform/Gdi.h"
#include "platform/Memory.h"

static_assert(!std::is_copy_constructible<gdi::ScopedPen>::value, "an owned pen is not copied");
static_assert(!std::is_copy_assignable<gdi::ScopedPen>::value, "an owned pen is not copied");
static_assert(!std::is_copy_constructible<gdi::ScopedSelect>::value, "a selection is not copied");
static_assert(!std::is_copy_constructible<gdi::ScopedPaint>::value, "a paint is not copied");
static_assert(!std::is_copy_constructible<gdi::ScopedGetDC>::value, "a DC is not copied");
static_assert(!std::is_copy_constructible<gdi::ScopedMemoryDC>::value, "a DC is not copied");
static_assert(!std::is_copy_constructible<gdi::ScopedBkMode>::value, "a DC attribute is not copied");
static_assert(!std::is_copy_constructible<gdi::ScopedTextColor>::value, "a DC attribute is not copied");
static_assert(!std::is_copy_constructible<MemLock>::value, "a lock is not copied");
static_assert(!std::is_copy_constructible<OwnedMem>::value, "an owned handle is not copied");

TEST(GdiScopes, AnOwnedPenIsDeselectedThenDeleted) {
  gdi::ScopedMemoryDC memory(nullptr);
  ASSERT_TRUE(memory);
  HGDIOBJ original = GetCurrentObject(memory.dc(), OBJ_PEN);
  HPEN pen = nullptr;
  {
    gdi::ScopedPen owned(CreatePen(PS_SOLID, 3, RGB(1, 2, 3)));
    pen = owned.get();
    gdi::ScopedSelect selection(memory.dc(), owned.get());
    EXPECT_TRUE(selection);
    EXPECT_EQ(GetCurrentObject(memory.dc(), OBJ_PEN), pen) << "selected while the scope lasts";
  }
  EXPECT_EQ(GetCurrentObject(memory.dc(), OBJ_PEN), original) << "the DC's own pen is back";
  EXPECT_EQ(GetObjectType(pen), 0u) << "the pen is deleted";
}

TEST(GdiScopes, NestedSelectionsUnwindInOrder) {
  gdi::ScopedMemoryDC memory(nullptr);
  HGDIOBJ original = GetCurrentObject(memory.dc(), OBJ_BRUSH);
  {
    gdi::ScopedSelect white(memory.dc(), GetStockObject(WHITE_BRUSH));
    {
      gdi::ScopedSelect black(memory.dc(), GetStockObject(BLACK_BRUSH));
      EXPECT_EQ(GetCurrentObject(memory.dc(), OBJ_BRUSH), GetStockObject(BLACK_BRUSH));
    }
    EXPECT_EQ(GetCurrentObject(memory.dc(), OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
  }
  EXPECT_EQ(GetCurrentObject(memory.dc(), OBJ_BRUSH), original);
}

TEST(GdiScopes, SelectingNothingChangesNothing) {
  gdi::ScopedMemoryDC memory(nullptr);
  HGDIOBJ original = GetCurrentObject(memory.dc(), OBJ_FONT);
  {
    gdi::ScopedFont failed(nullptr);
    EXPECT_FALSE(failed);
    gdi::ScopedSelect selection(memory.dc(), failed.get());
    EXPECT_FALSE(selection);
  }
  EXPECT_EQ(GetCurrentObject(memory.dc(), OBJ_FONT), original);
}

TEST(GdiScopes, DeviceContextsAreGivenBackAndDeleted) {
  HDC kept = nullptr;
  {
    gdi::ScopedMemoryDC memory(nullptr);
    kept = memory.dc();
    EXPECT_EQ(GetObjectType(kept), static_cast<DWORD>(OBJ_MEMDC));
  }
  EXPECT_EQ(GetObjectType(kept), 0u) << "the memory DC is deleted";

  HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  { gdi::ScopedGetDC warm(window); }
  int before = viewtest::CountGdiObjects();
  for (int i = 0; i < 500; ++i) {
    gdi::ScopedGetDC dc(window);
    EXPECT_TRUE(dc);
  }
  EXPECT_EQ(viewtest::CountGdiObjects(), before) << "500 window DCs taken and given back";
  DestroyWindow(window);
}

TEST(GdiScopes, DcAttributesAreRestored) {
  gdi::ScopedMemoryDC memory(nullptr);
  SetBkMode(memory.dc(), OPAQUE);
  SetTextColor(memory.dc(), RGB(1, 2, 3));
  {
    gdi::ScopedBkMode mode(memory.dc(), TRANSPARENT);
    gdi::ScopedTextColor colour(memory.dc(), RGB(200, 100, 50));
    EXPECT_EQ(GetBkMode(memory.dc()), TRANSPARENT);
    EXPECT_EQ(GetTextColor(memory.dc()), RGB(200, 100, 50));
  }
  EXPECT_EQ(GetBkMode(memory.dc()), OPAQUE);
  EXPECT_EQ(GetTextColor(memory.dc()), RGB(1, 2, 3));
}

namespace {

LRESULT CALLBACK PaintingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    gdi::ScopedPaint paint(window);
    if (paint) FillRect(paint.dc(), &paint.paint().rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

TEST(GdiScopes, APaintScopeValidatesTheWindow) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = PaintingProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "GdiScopesPainting";
  ASSERT_TRUE(RegisterClassA(&wc));
  HWND window = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 100, 100, 40, 40,
                                nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
  EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE)) << "nothing is left to paint";
  EXPECT_EQ(viewtest::Snapshot(window).At(20, 20), RGB(0, 0, 0)) << "the paint reached the screen";
  DestroyWindow(window);
  UnregisterClassA(wc.lpszClassName, wc.hInstance);
}

TEST(MemoryScopes, ALockIsReleasedAndAnOwnedHandleFreed) {
  LONG live = ToviMemLiveCount();
  HTOVIMEM block = ToviMemAlloc(TOVI_MOVABLE_ZERO, 64);
  ASSERT_NE(block, nullptr);
  {
    MemLock lock(block);
    ASSERT_TRUE(lock);
    EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 1u);
  }
  EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u) << "unlocked when the scope ends";
  { OwnedMem owned(block); }
  EXPECT_EQ(ToviMemLiveCount(), live) << "freed by its owner";

  HTOVIMEM kept = nullptr;
  {
    OwnedMem owned(ToviMemAlloc(TOVI_MOVABLE_ZERO, 16));
    kept = owned.release();
  }
  EXPECT_EQ(ToviMemLiveCount(), live + 1) << "a released handle is the caller's";
  ToviMemFree(kept);
  MemLock none(nullptr);
  EXPECT_FALSE(none) << "no handle, no lock";
}
