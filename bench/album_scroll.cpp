// Scrolling an album view must cost the same per page whatever the album's
// size: a real album view window over 1,000 and over 100,000 items built in
// memory (small 24-bit pictures, no files) is scrolled from top to bottom
// page by page with AVM_VSCROLL / SB_PAGEDOWN and UpdateWindow. Prints the
// time per page for both and their ratio (target <= 1.5), and, for both
// sizes, the time of the first attach, of the End key and of a Shift+click
// range of one page.
#include <album.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "BenchAlbums.h"
#include "BenchClock.h"
#include "platform/qil.h"
#include "views/Album.h"
#include "BenchHeader.h"

namespace {

const int kRows = 5;
const int kCols = 6;

// An 8 x 8 picture of one grey, as a packed 24-bit DIB in fixed memory, as
// the library makes its pictures (100,000 movable blocks would not fit).
HTOVIMEM MakePicture(BYTE grey) {
  const DWORD stride = 8 * 3;
  DWORD size = sizeof(BITMAPINFOHEADER) + stride * 8;
  HTOVIMEM dib = ToviMemAlloc(TOVI_FIXED_ZERO, size);
  if (!dib) return nullptr;
  auto* header = static_cast<BITMAPINFOHEADER*>(ToviMemLock(dib));
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = 8;
  header->biHeight = 8;
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biSizeImage = stride * 8;
  memset(header + 1, grey, stride * 8);
  ToviMemUnlock(dib);
  return dib;
}

BenchAlbum* MakeAlbum(HWND parent, int x, int count) {
  tagAlbumViewCreateInfo aci = BenchViewConfiguration(kRows, kCols);
  RECT place{x, 0, kCols * 68, kRows * 68};
  BenchAlbum* album = new BenchAlbum(parent, place, aci);
  CAlbumDoc2* doc = album->GetDocument();
  tagALBUMINFOHEADER info;
  memset(&info, 0, sizeof(info));
  info.aiWidth = info.aiHeight = info.aiThumbWidth = info.aiThumbHeight = 8;
  info.aiBitCount = 24;
  for (int i = 1; i <= count; ++i) {
    snprintf(info.aiPath, sizeof(info.aiPath), "C:\\photos\\%06d.jpg", i);
    HTOVIMEM picture = MakePicture(static_cast<BYTE>(i * 37));
    info.aiThumbSize = ToviMemSize(picture);
    doc->Insert(new CThumbnail2(&info, picture, 0, 1), nullptr);
  }
  return album;
}

void Scroll(CAlbum* album, int code) {
  SendMessageA(album->GetViewWindow(), AVM_VSCROLL, MAKEWPARAM(code, 0), MAKELPARAM(100, 0));
  UpdateWindow(album->GetViewWindow());
}

// One page down with its repaint; seconds, or -1 when the view did not move.
double TimedPageDown(CAlbum* album) {
  int before = album->GetFirstViewNailID();
  double start = Seconds();
  Scroll(album, SB_PAGEDOWN);
  double elapsed = Seconds() - start;
  return album->GetFirstViewNailID() == before ? -1 : elapsed;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Mean(const std::vector<double>& values) {
  double sum = 0;
  for (double v : values) sum += v;
  return values.empty() ? 0 : sum / values.size();
}

struct Operations {
  std::vector<double> attach, endKey, shiftRange;
};

// The first attach of a full grid, End from the first item, and a
// Shift+click that selects the last page from the focus on the last item.
void TimeOperations(BenchAlbum* album, Operations* out) {
  HWND view = album->GetViewWindow();
  Scroll(album, SB_TOP);
  double start = Seconds();
  album->UpDataThumbListView(-1);
  UpdateWindow(view);
  out->attach.push_back(Seconds() - start);
  album->Press(0, 0);
  start = Seconds();
  SendMessageA(view, WM_KEYDOWN, VK_END, 0);
  UpdateWindow(view);
  out->endKey.push_back(Seconds() - start);
  start = Seconds();
  album->Press(0, MK_SHIFT);
  UpdateWindow(view);
  out->shiftRange.push_back(Seconds() - start);
}

}  // namespace

int main() {
  PrintBenchHeader("Album view scrolling: time per page over 1,000 and 100,000 items");
  HMODULE self = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = self;
  wc.lpszClassName = "AlbumScrollBench";
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  RegisterClassA(&wc);
  HWND parent = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "album scroll", WS_POPUP | WS_VISIBLE, 0, 0,
                                2 * kCols * 68 + 20, kRows * 68 + 20, nullptr, nullptr, self, nullptr);
  if (!parent) return 1;

  const int kSmall = 1000;
  const int kLarge = 100000;
  BenchAlbum* small = MakeAlbum(parent, 0, kSmall);
  BenchAlbum* large = MakeAlbum(parent, kCols * 68 + 10, kLarge);

  Operations smallOps, largeOps;
  for (int run = 0; run < 5; ++run) {
    TimeOperations(small, &smallOps);
    TimeOperations(large, &largeOps);
  }
  bool ok = small->GetCurrentFocus() == kSmall && large->GetCurrentFocus() == kLarge;

  // Both views scroll page by page, in turns, so that both see the same
  // machine: the large album once from top to bottom, the small one from
  // top to bottom again and again alongside it.
  Scroll(small, SB_TOP);
  Scroll(large, SB_TOP);
  std::vector<double> smallPages, largePages;
  for (;;) {
    double largeTime = TimedPageDown(large);
    if (largeTime < 0) break;
    largePages.push_back(largeTime);
    double smallTime = TimedPageDown(small);
    if (smallTime < 0) {
      Scroll(small, SB_TOP);
      smallTime = TimedPageDown(small);
    }
    if (smallTime >= 0) smallPages.push_back(smallTime);
  }
  int lastPage = ((kLarge + kCols - 1) / kCols - kRows) * kCols + 1;
  ok = ok && large->GetFirstViewNailID() == lastPage && !smallPages.empty();

  HWND smallView = small->GetViewWindow();
  HWND largeView = large->GetViewWindow();
  delete small;
  delete large;
  DestroyWindow(smallView);
  DestroyWindow(largeView);
  DestroyWindow(parent);
  if (!ok) {
    fprintf(stderr, "the views did not reach their last items\n");
    return 1;
  }

  printf("album view of %d x %d cells, one page down (AVM_VSCROLL SB_PAGEDOWN + UpdateWindow):\n", kCols, kRows);
  printf("  %6d items: %5zu pages, median %7.3f ms, mean %7.3f ms per page\n", kSmall, smallPages.size(),
         Median(smallPages) * 1000, Mean(smallPages) * 1000);
  printf("  %6d items: %5zu pages, median %7.3f ms, mean %7.3f ms per page\n", kLarge, largePages.size(),
         Median(largePages) * 1000, Mean(largePages) * 1000);
  printf("ratio per page 100,000 / 1,000 (medians): %.2f (target <= 1.5)\n",
         Median(largePages) / Median(smallPages));
  printf("median of 5, %6d / %6d items: first attach %.3f / %.3f ms, End %.3f / %.3f ms, "
         "Shift+click page range %.3f / %.3f ms\n",
         kSmall, kLarge, Median(smallOps.attach) * 1000, Median(largeOps.attach) * 1000,
         Median(smallOps.endKey) * 1000, Median(largeOps.endKey) * 1000, Median(smallOps.shiftRange) * 1000,
         Median(largeOps.shiftRange) * 1000);
  return 0;
}
