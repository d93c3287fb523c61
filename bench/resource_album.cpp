// A brush album must answer in the same time whatever its size: two real
// resource album windows over 500 and 5,000 items built in memory are
// scrolled page by page (WM_VSCROLL / SB_PAGEDOWN to the control, then
// UpdateWindow), and asked GetBrushCount and, after SetCurrentBrushSelection
// on a visible item, GetCurrentBrushFullPath. Prints the medians for both
// sizes and the ratio of the page times (target <= 1.3).
#include <album.h>
#include <ResourceAlbums.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "BenchClock.h"
#include "BenchHeader.h"
#include "platform/qil.h"
#include "views/Album.h"

namespace {

const int kCell = 48;
const int kCols = 6;
const int kRows = 5;

HTOVIMEM MakePicture(BYTE grey) {
  const DWORD stride = 8 * 3;
  HTOVIMEM dib = ToviMemAlloc(TOVI_FIXED_ZERO, sizeof(BITMAPINFOHEADER) + stride * 8);
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

HWND MakeBrushAlbum(HWND parent, int x, int count) {
  HWND window = CreateWindowExA(0, "BrushAlbumCtrl", "", WS_CHILD | WS_VISIBLE, x, 0, kCols * (kCell + 2) + 1,
                                kRows * kCell + 1, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
  auto* ctrl = reinterpret_cast<CBrushAlbumCtrl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!ctrl || !ctrl->GetAlbum()) return nullptr;
  CAlbumDoc2* doc = ctrl->GetAlbum()->GetDocument();
  tagALBUMINFOHEADER info;
  memset(&info, 0, sizeof(info));
  info.aiWidth = info.aiHeight = info.aiThumbWidth = info.aiThumbHeight = 8;
  info.aiBitCount = 24;
  for (int i = 1; i <= count; ++i) {
    snprintf(info.aiPath, sizeof(info.aiPath), "C:\\paint\\brush\\%05d.bmp", i);
    HTOVIMEM picture = MakePicture(static_cast<BYTE>(i * 37));
    info.aiThumbSize = ToviMemSize(picture);
    doc->Insert(new CThumbnail2(&info, picture, 0, 1), nullptr);
  }
  ctrl->GetAlbum()->UpDataThumbListView(-1);
  return window;
}

int FirstVisible(HWND window) {
  auto* ctrl = reinterpret_cast<CBrushAlbumCtrl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  return ctrl->GetAlbum()->GetFirstViewNailID();
}

struct Times {
  std::vector<double> page, count, path;
};

// One page down, then the two questions a painting host asks. False when
// the album is at its end (nothing timed).
bool Step(HWND window, Times* times) {
  const int before = FirstVisible(window);
  double start = Seconds();
  SendMessageA(window, WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
  UpdateWindow(window);
  double paged = Seconds() - start;
  if (FirstVisible(window) == before) return false;
  times->page.push_back(paged);
  start = Seconds();
  int count = GetBrushCount(window);
  times->count.push_back(Seconds() - start);
  SetCurrentBrushSelection(window, FirstVisible(window));
  char path[MAX_PATH] = "";
  start = Seconds();
  int found = GetCurrentBrushFullPath(window, path);
  times->path.push_back(Seconds() - start);
  return count > 0 && found == 1;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  PrintBenchHeader("Brush album: page scroll and the host's questions over 500 and 5,000 items");
  HMODULE self = GetModuleHandleA(nullptr);
  if (!CBrushAlbumCtrlRegister(self, kCell, kCell)) return 1;
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = self;
  wc.lpszClassName = "ResourceAlbumBench";
  RegisterClassA(&wc);
  HWND parent = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "resource album", WS_POPUP | WS_VISIBLE, 0, 0,
                                2 * kCols * (kCell + 2) + 20, kRows * kCell + 10, nullptr, nullptr, self, nullptr);
  const int kSmall = 500;
  const int kLarge = 5000;
  HWND small = MakeBrushAlbum(parent, 0, kSmall);
  HWND large = MakeBrushAlbum(parent, kCols * (kCell + 2) + 10, kLarge);
  if (!small || !large) return 1;

  // In turns, so that both see the same machine: the large album once from
  // top to bottom, the small one again and again alongside it.
  Times smallTimes, largeTimes;
  bool ok = true;
  while (Step(large, &largeTimes)) {
    if (!Step(small, &smallTimes)) {
      SendMessageA(small, WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
      ok = ok && Step(small, &smallTimes);
    }
  }
  ok = ok && GetBrushCount(small) == kSmall && GetBrushCount(large) == kLarge && !largeTimes.page.empty();
  DestroyWindow(parent);
  if (!ok) {
    fprintf(stderr, "the albums did not scroll or answer as expected\n");
    return 1;
  }
  for (const auto& [count, times] : {std::make_pair(kSmall, &smallTimes), std::make_pair(kLarge, &largeTimes)}) {
    printf("  %5d items: %4zu pages, median %7.3f ms per page, GetBrushCount %6.1f us, "
           "GetCurrentBrushFullPath %6.1f us\n",
           count, times->page.size(), Median(times->page) * 1000, Median(times->count) * 1e6,
           Median(times->path) * 1e6);
  }
  printf("ratio per page 5,000 / 500 (medians): %.2f (target <= 1.3)\n",
         Median(largeTimes.page) / Median(smallTimes.page));
  printf("ratio GetBrushCount %.2f, GetCurrentBrushFullPath %.2f\n",
         Median(largeTimes.count) / Median(smallTimes.count), Median(largeTimes.path) / Median(smallTimes.path));
  return 0;
}
