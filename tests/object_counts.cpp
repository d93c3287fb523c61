// GDI objects, windows and picture handles across many paints, scrolls,
// drags and prints of two album controls, their views and cells: after the
// run each count must be back where it started. Prints the counts and the
// highest ones seen; exits 1 when any count grew.
//   object_counts.exe [rounds]   (default 10,000)
// Every round paints and scrolls the first control; every tenth drags an
// item from one control to the other with real input (back and forth, so
// the albums keep their sizes); every fiftieth prints the first album onto a
// page in memory.
#include <windows.h>

#include <album.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "AlbumCtrlTestSupport.h"
#include "ViewTestSupport.h"
#include "platform/qil.h"
#include "support/MessageRecorder.h"
#include "views/AlbumPrint.h"
#include "views/DragWindow.h"

using namespace ctrltest;

namespace {

struct Counts {
  int gdi = 0;
  int user = 0;
  LONG pictures = 0;
};

Counts Take() {
  Counts counts;
  counts.gdi = viewtest::CountGdiObjects();
  counts.user = viewtest::CountUserObjects();
  counts.pictures = ToviMemLiveCount();
  return counts;
}

void KeepHighest(Counts* highest, const Counts& now) {
  highest->gdi = std::max(highest->gdi, now.gdi);
  highest->user = std::max(highest->user, now.user);
  highest->pictures = std::max(highest->pictures, now.pictures);
}

// Drags the first item of from onto the free area (the scroll bar) of to.
bool DragFirstItem(TestCtrl* from, TestCtrl* to) {
  HWND cell = CellOfItem(from, 1);
  if (!cell) return false;
  POINT start = msgseq::ScreenCentre(cell);
  start.x += 12;
  start.y += 12;
  msgseq::MoveCursor(start);
  msgseq::PumpUntilIdle();
  msgseq::LeftDown();
  msgseq::PumpUntilIdle();
  msgseq::MoveCursor(POINT{start.x + GetSystemMetrics(SM_CXDRAG) + 2, start.y + GetSystemMetrics(SM_CYDRAG) + 2});
  msgseq::PumpUntilIdle();
  POINT target = msgseq::ScreenCentre(to->Bar());
  msgseq::MoveCursor(POINT{target.x - 1, target.y});
  msgseq::PumpUntilIdle();
  msgseq::MoveCursor(target);
  msgseq::PumpUntilIdle();
  msgseq::LeftUp();
  return msgseq::PumpUntil([] { return GetCapture() == nullptr; }, 3000);
}

// A page in memory for the contact-sheet printer.
class Page {
 public:
  Page() : dc_(CreateCompatibleDC(nullptr)), bitmap_(CreateCompatibleBitmap(dc_, 850, 1100)) {
    previous_ = SelectObject(dc_, bitmap_);
  }
  ~Page() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;

  HWND parent = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "object counts", WS_POPUP | WS_VISIBLE, 20, 20, 880, 340,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!parent) {
    std::fprintf(stderr, "object_counts: no window\n");
    return 2;
  }
  Controls controls;
  TestCtrl* a = controls.Make(parent, "ManDlgAlbumCtrl", 10, 10, 420, 320);
  TestCtrl* b = controls.Make(parent, "ManDlgAlbumCtrl", 450, 10, 420, 320);
  if (!a || !b || !a->GetAlbum() || !b->GetAlbum()) {
    std::fprintf(stderr, "object_counts: no album controls\n");
    return 2;
  }
  Fill(a, "a", 60);
  Fill(b, "b", 6);
  msgseq::MakeForeground(parent);
  Page page;

  // One of each first: fonts, brushes and tooltips made once stay for the
  // life of the windows and are no leak.
  int drags = 0, prints = 0;
  auto paint = [&] {
    InvalidateRect(a->Window(), nullptr, TRUE);
    UpdateWindow(a->Window());
  };
  auto scroll = [&](int round) { SendMessageA(a->Window(), WM_VSCROLL, round % 2 ? SB_PAGEDOWN : SB_TOP, 0); };
  auto drag = [&](int n) {
    bool there = n % 2 == 0;
    if (DragFirstItem(there ? a : b, there ? b : a)) ++drags;
  };
  auto print = [&] {
    if (PrintAlbumPages(page.dc(), "object counts", a->GetAlbum()->GetDocument(), 2, 1, 76, 76)) ++prints;
  };
  paint();
  scroll(1);
  drag(0);
  drag(1);
  print();
  msgseq::PumpUntilIdle();
  drags = prints = 0;

  const Counts start = Take();
  Counts highest = start;
  for (int round = 1; round <= rounds; ++round) {
    paint();
    scroll(round);
    if (round % 10 == 0) drag(round / 10);
    if (round % 50 == 0) print();
    msgseq::PumpUntilIdle();
    if (round % 500 == 0 || round == rounds) KeepHighest(&highest, Take());
  }
  const Counts end = Take();

  std::printf("%d paints, %d scrolls, %d drags, %d prints of two album controls (%s and %s items)\n", rounds, rounds,
              drags, prints, std::to_string(a->GetAlbum()->GetThumbNailCount()).c_str(),
              std::to_string(b->GetAlbum()->GetThumbNailCount()).c_str());
  std::printf("GDI objects:     start %6d  end %6d  highest %6d\n", start.gdi, end.gdi, highest.gdi);
  std::printf("windows:         start %6d  end %6d  highest %6d\n", start.user, end.user, highest.user);
  std::printf("picture handles: start %6ld  end %6ld  highest %6ld\n", start.pictures, end.pictures,
              highest.pictures);
  const bool flat = end.gdi <= start.gdi && end.user <= start.user && end.pictures <= start.pictures;
  const bool allDone = drags == rounds / 10 && prints == rounds / 50;
  std::printf("%s\n", flat && allDone ? "flat: nothing leaked"
                                      : (flat ? "flat, but not every drag or print ran" : "GREW: a leak"));
  controls.Clear();
  DestroyWindow(parent);
  return flat && allDone ? 0 : 1;
}
