// The album manager over large folders and large albums: opening a manager
// over a folder of 2,000 album files against 1,000 (the album list is built
// in n log n: ratio about 2), and switching to an album of 20,000 items
// through the album list against CAlbum::Load of the same file in the same
// view (target <= 1.2).
#include <album.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BenchAlbums.h"
#include "BenchClock.h"
#include "BenchHeader.h"
#include "components/resources/resource.h"
#include "manager/AlbumMan.h"
#include "platform/qil.h"
#include "views/Album.h"

namespace {

// A folder of count album files, copies of one small album, named in an
// order unlike the order of creation.
bool BuildFolder(const std::string& folder, const std::string& model, int count) {
  CreateDirectoryA(folder.c_str(), nullptr);
  for (int i = 0; i < count; ++i) {
    char name[64];
    snprintf(name, sizeof(name), "\\album %05d.abm", (i * 7919) % 100000);
    if (!CopyFileA(model.c_str(), (folder + name).c_str(), FALSE)) return false;
  }
  return true;
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Median time to open (and close again) a manager over folder, and of
// rebuilding its album list alone.
bool OpenSeconds(HWND host, const std::string& folder, double* open, double* list) {
  std::vector<double> opens, lists;
  for (int run = 0; run < 5; ++run) {
    double start = Seconds();
    HWND dialog = OpenAlbumManagerEx(host, folder.c_str(), 64, 64, 0);
    opens.push_back(Seconds() - start);
    if (!dialog) return false;
    auto* manager = reinterpret_cast<CAlbumMan*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    start = Seconds();
    manager->LoadAlbumList();
    lists.push_back(Seconds() - start);
    DestroyWindow(dialog);
  }
  *open = Median(opens);
  *list = Median(lists);
  return true;
}

void Choose(HWND dialog, int index) {
  HWND list = GetDlgItem(dialog, IDC_MAN_ALBUM_LIST);
  SendMessageA(list, CB_SETCURSEL, index, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_MAN_ALBUM_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

}  // namespace

int main() {
  PrintBenchHeader("Album manager: opening over 1,000 and 2,000 albums; switching to 20,000 items against loading them");
  char temp[MAX_PATH];
  GetTempPathA(sizeof(temp), temp);
  const std::string base = std::string(temp) + "albumkit-bench-manager";
  const std::string model = base + "-model.abm";
  const std::string folder1000 = base + "-1000", folder2000 = base + "-2000", folderBig = base + "-big";
  InitCurUserPath(temp);
  HWND host = CreateWindowExA(0, "STATIC", "bench host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  if (!host || !BuildAlbum(model, 3, false) || !BuildFolder(folder1000, model, 1000) ||
      !BuildFolder(folder2000, model, 2000)) {
    fprintf(stderr, "could not build the benchmark folders\n");
    return 1;
  }
  double open1000 = 0, list1000 = 0, open2000 = 0, list2000 = 0;
  if (!OpenSeconds(host, folder1000, &open1000, &list1000) || !OpenSeconds(host, folder2000, &open2000, &list2000)) {
    fprintf(stderr, "a manager could not be opened\n");
    return 1;
  }
  printf("open over 1,000 albums: %7.1f ms (album list alone %6.1f ms)\n", open1000 * 1000, list1000 * 1000);
  printf("open over 2,000 albums: %7.1f ms (album list alone %6.1f ms)\n", open2000 * 1000, list2000 * 1000);
  printf("ratio 2,000 / 1,000: open %.2f, album list %.2f (n log n: about 2)\n", open2000 / open1000,
         list2000 / list1000);

  CreateDirectoryA(folderBig.c_str(), nullptr);
  const std::string big = folderBig + "\\big.abm";
  if (!BuildAlbum(big, 20000, false)) {
    fprintf(stderr, "could not build the 20,000-item album\n");
    return 1;
  }
  HWND dialog = OpenAlbumManagerEx(host, folderBig.c_str(), 64, 64, 0);
  if (!dialog) return 1;
  auto* manager = reinterpret_cast<CAlbumMan*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  CAlbum* album = manager->GetAlbum();
  std::vector<double> switches, loads;
  for (int run = 0; run < 3; ++run) {
    Choose(dialog, 0);  // the empty new album: nothing to settle when leaving it
    double start = Seconds();
    Choose(dialog, 1);
    switches.push_back(Seconds() - start);
    if (album->GetThumbNailCount() != 20000) {
      fprintf(stderr, "the switch did not load the album\n");
      return 1;
    }
    Choose(dialog, 0);
    start = Seconds();
    album->Load(big.c_str());
    loads.push_back(Seconds() - start);
    album->FreeAlbumData();
  }
  manager->m_bModified = 0;
  DestroyWindow(dialog);
  double switched = Median(switches), loaded = Median(loads);
  printf("switch to 20,000 items through the album list: %7.1f ms\n", switched * 1000);
  printf("CAlbum::Load of the same file:                 %7.1f ms\n", loaded * 1000);
  printf("switch / load: %.2f (target <= 1.2)\n", switched / loaded);

  DestroyWindow(host);
  RemoveFolder(folder1000);
  RemoveFolder(folder2000);
  RemoveFolder(folderBig);
  DeleteFileA(model.c_str());
  return 0;
}
