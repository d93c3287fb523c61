// Bulk edits of an album view must be linear in the album's size and the
// number of items edited. In one album view window it fills the album with
// n and with n / 2 items (default 100,000 and 50,000) and, for each,
//   - removes a Shift+click range of a tenth of the items, starting a tenth
//     into the album (RemoveSelected),
//   - inserts a table of a tenth as many new items before the focused item
//     in the middle of the album (InsertFromTable),
// and prints the median time of each next to its peers in the same run:
// filling the view's document with the same items, and CAlbum::Load of the
// same album from a file. Then the ratios large / small (target <= 2.2 for
// both edits).
//   album_bulk_edit.exe [n [remove|insert]]
// n >= 1000 (smaller for quick runs); a second argument measures one edit only.
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

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Times {
  std::vector<double> load, fill, remove, insert;
};

double TimedLoad(BenchAlbum* album, const std::string& path, int items) {
  double start = Seconds();
  int loaded = album->Load(path.c_str());
  double elapsed = Seconds() - start;
  return loaded && album->GetThumbNailCount() == items ? elapsed : -1;
}

// The view's document emptied and filled with items 0 .. items - 1, shown
// from the first: what Load does, without the album file.
double TimedFill(BenchAlbum* album, int items) {
  double start = Seconds();
  album->FreeAlbumData();
  CAlbumDoc2* doc = album->GetDocument();
  for (int i = 0; i < items; ++i) doc->Insert(MakeBenchItem("C:\\bench\\photos", i, false), nullptr);
  album->UpDataThumbListView(-1);
  double elapsed = Seconds() - start;
  return album->GetThumbNailCount() == items ? elapsed : -1;
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

// Removes a Shift range of a tenth of the items, a tenth into the album.
bool RemoveRange(BenchAlbum* album, int items, Times* times) {
  const int edited = items / 10;
  const int first = items / 10 + 1;
  if (!SelectRange(album, first, first + edited - 1)) return false;
  double start = Seconds();
  int removed = album->RemoveSelected(0);
  times->remove.push_back(Seconds() - start);
  // The item after the range takes the range's first number and the focus.
  return removed && album->GetThumbNailCount() == items - edited && album->GetCurrentFocus() == first;
}

// Inserts a table of a tenth as many new items before the focused item in
// the middle of the album.
bool InsertTable(BenchAlbum* album, int items, Times* times) {
  const int edited = items / 10;
  if (!album->SetCurrentFocus(items / 2)) return false;
  CAlbumDoc2 arrivals;
  for (int i = 0; i < edited; ++i) {
    arrivals.Insert(MakeBenchItem("C:\\bench\\arrivals", i, false), nullptr);
  }
  double start = Seconds();
  int inserted = album->InsertFromTable(&arrivals, nullptr);
  times->insert.push_back(Seconds() - start);
  return inserted == edited && album->GetThumbNailCount() == items + edited &&
         album->GetCurrentFocus() == items / 2 + edited;
}

// The album loaded from path (when there is one), then each edit measured
// on a freshly filled album; false when an edit did not do what it should.
bool MeasureOnce(BenchAlbum* album, const std::string& path, int items, bool remove, bool insert, Times* times) {
  if (!path.empty()) {
    double load = TimedLoad(album, path, items);
    if (load < 0) return false;
    times->load.push_back(load);
  }
  for (int edit = 0; edit < 2; ++edit) {
    if (edit == 0 ? !remove : !insert) continue;
    double fill = TimedFill(album, items);
    if (fill < 0) return false;
    times->fill.push_back(fill);
    if (!(edit == 0 ? RemoveRange(album, items, times) : InsertTable(album, items, times))) return false;
  }
  album->FreeAlbumData();
  return true;
}

void PrintSize(int items, const Times& times) {
  printf("%7d items: fill %8.1f ms | CAlbum::Load ", items, Median(times.fill) * 1000);
  if (times.load.empty())
    printf("   (no file)");
  else
    printf("%8.1f ms", Median(times.load) * 1000);
  if (!times.remove.empty()) printf(" | remove a Shift range of %6d %8.1f ms", items / 10, Median(times.remove) * 1000);
  if (!times.insert.empty()) printf(" | insert %6d %8.1f ms", items / 10, Median(times.insert) * 1000);
  printf("\n");
}

// "remove 2.01" for the edit's large / small ratio, nothing when not measured.
void PrintRatio(const char* edit, const std::vector<double>& small, const std::vector<double>& large) {
  if (!small.empty()) printf("%s %.2f, ", edit, Median(large) / Median(small));
}

}  // namespace

int main(int argc, char** argv) {
  int large = argc > 1 ? atoi(argv[1]) : 100000;
  const char* only = argc > 2 ? argv[2] : "";
  bool remove = strcmp(only, "insert") != 0;
  bool insert = strcmp(only, "remove") != 0;
  if (large < 1000 || (only[0] && remove && insert)) {
    fprintf(stderr, "usage: album_bulk_edit.exe [items, at least 1000 [remove|insert]]\n");
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
  tagAlbumViewCreateInfo aci = BenchViewConfiguration(kRows, kCols);
  RECT place{0, 0, kCols * 68, kRows * 68};
  BenchAlbum* album = new BenchAlbum(parent, place, aci);

  // Both sizes in turns, so that both see the same machine.
  Times smallTimes, largeTimes;
  bool ok = true;
  for (int run = 0; run < kRuns && ok; ++run) {
    ok = MeasureOnce(album, smallPath, small, remove, insert, &smallTimes) &&
         MeasureOnce(album, largePath, large, remove, insert, &largeTimes);
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
  printf("ratio %d / %d: ", large, small);
  PrintRatio("remove", smallTimes.remove, largeTimes.remove);
  PrintRatio("insert", smallTimes.insert, largeTimes.insert);
  printf("fill %.2f (target for the edits <= 2.2; linear gives about 2)\n",
         Median(largeTimes.fill) / Median(smallTimes.fill));
  const bool largePeer = !largeTimes.load.empty();
  const Times& peer = largePeer ? largeTimes : smallTimes;
  if (!peer.load.empty()) {
    printf("at %d items, edit / CAlbum::Load:", largePeer ? large : small);
    if (!peer.remove.empty()) printf(" remove %.3f", Median(peer.remove) / Median(peer.load));
    if (!peer.insert.empty()) printf(" insert %.3f", Median(peer.insert) / Median(peer.load));
    printf("\n");
  }
  return 0;
}
