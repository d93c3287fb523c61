// Bulk edits of an album view must be linear in the album's size and the
// number of items edited. In one album view window it loads albums of n and
// n / 2 items (default 100,000 and 50,000) and, for each,
//   - removes a Shift+click range of a tenth of the items, starting a tenth
//     into the album (RemoveSelected),
//   - inserts a table of a tenth as many new items before the focused item
//     in the middle of the album (InsertFromTable),
// and prints the median time of each next to CAlbum::Load of the same album
// (the peer), and the ratios large / small (target <= 2.2 for both edits).
//   album_bulk_edit.exe [n]   (n >= 1000; smaller n for quick runs)
#include <album.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BenchAlbums.h"
#include "BenchClock.h"
#include "BenchHeader.h"
#include "views/Album.h"

namespace {

const int kRows = 5;
const int kCols = 6;
const int kRuns = 3;

tagAlbumViewCreateInfo Configuration() {
  tagAlbumViewCreateInfo aci;
  memset(&aci, 0, sizeof(aci));
  aci.avcRows = kRows;
  aci.avcCols = kCols;
  aci.avcHGap = 8;
  aci.avcVGap = 8;
  aci.avcScroll = 1;
  aci.avcSelect = 2;
  aci.avcStyle = 2;
  aci.avcCaption = 2;
  aci.avcFont.lfHeight = -12;
  aci.avcFont.lfWeight = FW_NORMAL;
  snprintf(aci.avcFont.lfFaceName, sizeof(aci.avcFont.lfFaceName), "%s", "Arial");
  return aci;
}

// A view whose cells the benchmark can press.
class BenchAlbum : public CAlbum {
 public:
  using CAlbum::CAlbum;
  void Press(int slot, unsigned keys) {
    SendMessageA(m_hWnd, AVM_ITEMLBUTTONDOWN, keys, reinterpret_cast<LPARAM>(m_ppViews[slot]));
    SendMessageA(m_hWnd, AVM_ITEMBUTTONUP, keys, reinterpret_cast<LPARAM>(m_ppViews[slot]));
  }
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Times {
  std::vector<double> load, remove, insert;
};

double TimedLoad(BenchAlbum* album, const std::string& path, int items) {
  double start = Seconds();
  int loaded = album->Load(path.c_str());
  double elapsed = Seconds() - start;
  return loaded && album->GetThumbNailCount() == items ? elapsed : -1;
}

// Selects items first .. last with a click on first and a Shift+click on
// last, scrolled into view with the thumb; the focus stays on first.
bool SelectRange(BenchAlbum* album, int first, int last) {
  if (!album->SetCurrentFocus(first)) return false;
  int count = album->GetThumbNailCount();
  int totalLines = (count + kCols - 1) / kCols;
  int line = (last - 1) / kCols;
  int scrollLines = totalLines - kRows;
  if (scrollLines > 0xFFFF || line > scrollLines) return false;
  SendMessageA(album->GetViewWindow(), AVM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, line), MAKELPARAM(scrollLines, 0));
  int slot = last - album->GetFirstViewNailID();
  if (slot < 0 || slot >= kRows * kCols) return false;
  album->Press(slot, MK_SHIFT);
  return album->GetCurrentFocus() == first;
}

// One load, one removal and one insertion over an album of items items;
// false when an edit did not do what it should.
bool MeasureOnce(BenchAlbum* album, const std::string& path, int items, Times* times) {
  const int edited = items / 10;
  double load = TimedLoad(album, path, items);
  if (load < 0) return false;
  times->load.push_back(load);

  const int first = items / 10 + 1;
  if (!SelectRange(album, first, first + edited - 1)) return false;
  double start = Seconds();
  int removed = album->RemoveSelected(0);
  times->remove.push_back(Seconds() - start);
  // The item after the range takes the range's first number and the focus.
  if (!removed || album->GetThumbNailCount() != items - edited || album->GetCurrentFocus() != first) return false;

  load = TimedLoad(album, path, items);
  if (load < 0) return false;
  times->load.push_back(load);
  if (!album->SetCurrentFocus(items / 2)) return false;
  CAlbumDoc2 arrivals;
  for (int i = 0; i < edited; ++i) arrivals.Insert(MakeBenchItem("C:\\bench\\arrivals", i, false), nullptr);
  start = Seconds();
  int inserted = album->InsertFromTable(&arrivals, nullptr);
  times->insert.push_back(Seconds() - start);
  return inserted == edited && album->GetThumbNailCount() == items + edited &&
         album->GetCurrentFocus() == items / 2 + edited;
}

void PrintSize(int items, const Times& times) {
  printf("%7d items: CAlbum::Load %8.1f ms | remove a Shift range of %6d %8.1f ms | insert %6d %8.1f ms\n", items,
         Median(times.load) * 1000, items / 10, Median(times.remove) * 1000, items / 10,
         Median(times.insert) * 1000);
}

}  // namespace

int main(int argc, char** argv) {
  int large = argc > 1 ? atoi(argv[1]) : 100000;
  if (large < 1000) {
    fprintf(stderr, "usage: album_bulk_edit.exe [items, at least 1000]\n");
    return 2;
  }
  const int small = large / 2;
  char what[200];
  snprintf(what, sizeof(what),
           "Album bulk edits: removing and inserting %d of %d items against %d of %d, next to loading the album",
           large / 10, large, small / 10, small);
  PrintBenchHeader(what);

  char temp[MAX_PATH];
  GetTempPathA(sizeof(temp), temp);
  const std::string smallPath = std::string(temp) + "albumkit-bench-bulk-small.abm";
  const std::string largePath = std::string(temp) + "albumkit-bench-bulk-large.abm";
  if (!BuildAlbum(smallPath, small, false) || !BuildAlbum(largePath, large, false)) {
    fprintf(stderr, "could not build the benchmark albums\n");
    return 1;
  }

  HMODULE self = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = self;
  wc.lpszClassName = "AlbumBulkEditBench";
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  RegisterClassA(&wc);
  HWND parent = CreateWindowExA(0, wc.lpszClassName, "album bulk edit", WS_POPUP | WS_VISIBLE, 0, 0,
                                kCols * 68 + 20, kRows * 68 + 20, nullptr, nullptr, self, nullptr);
  if (!parent) return 1;
  tagAlbumViewCreateInfo aci = Configuration();
  RECT place{0, 0, kCols * 68, kRows * 68};
  BenchAlbum* album = new BenchAlbum(parent, place, aci);

  // Both sizes in turns, so that both see the same machine.
  Times smallTimes, largeTimes;
  bool ok = true;
  for (int run = 0; run < kRuns && ok; ++run) {
    ok = MeasureOnce(album, smallPath, small, &smallTimes) && MeasureOnce(album, largePath, large, &largeTimes);
  }

  HWND view = album->GetViewWindow();
  delete album;
  DestroyWindow(view);
  DestroyWindow(parent);
  DeleteFileA(smallPath.c_str());
  DeleteFileA(largePath.c_str());
  DeleteFileA((smallPath + ".bak").c_str());
  DeleteFileA((largePath + ".bak").c_str());
  if (!ok) {
    fprintf(stderr, "an edit did not leave the album as expected\n");
    return 1;
  }

  printf("album view of %d x %d cells, median of %d runs:\n", kCols, kRows, kRuns);
  PrintSize(small, smallTimes);
  PrintSize(large, largeTimes);
  printf("ratio %d / %d: remove %.2f, insert %.2f (target <= 2.2; linear gives about 2); load %.2f\n", large, small,
         Median(largeTimes.remove) / Median(smallTimes.remove), Median(largeTimes.insert) / Median(smallTimes.insert),
         Median(largeTimes.load) / Median(smallTimes.load));
  printf("remove / load %.2f, insert / load %.2f (at %d items)\n",
         Median(largeTimes.remove) / Median(largeTimes.load), Median(largeTimes.insert) / Median(largeTimes.load),
         large);
  return 0;
}
