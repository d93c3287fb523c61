// The search run against its peers in the same run: a folder search over a
// tree of 20,000 files where nothing matches, against a plain walk of the
// tree with a file status query per file (aim <= 1.5); an album search over
// 50 albums of 2,000 items, against loading the same albums (aim <= 1.2);
// and how long a run goes on after the stop query first answers yes (aim
// <= 0.2 s).
#include <album.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BenchAlbums.h"
#include "BenchClock.h"
#include "BenchHeader.h"
#include "components/resources/resource.h"
#include "manager/Module.h"
#include "platform/pixamo.h"
#include "platform/qil.h"
#include "search/AlbumSearchDlg.h"

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 200;
constexpr int kAlbums = 50;
constexpr int kItemsPerAlbum = 2000;

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

bool MakeTree(const std::string& root) {
  CreateDirectoryA(root.c_str(), nullptr);
  for (int f = 0; f < kFolders; ++f) {
    std::string folder = root + "\\f" + std::to_string(f);
    CreateDirectoryA(folder.c_str(), nullptr);
    for (int i = 0; i < kFilesPerFolder; ++i) {
      std::string path = folder + "\\p" + std::to_string(i) + ".jpg";
      HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      if (file == INVALID_HANDLE_VALUE) return false;
      CloseHandle(file);
    }
  }
  return true;
}

void RemoveTree(const std::string& root) {
  for (int f = 0; f < kFolders; ++f) {
    std::string folder = root + "\\f" + std::to_string(f);
    for (int i = 0; i < kFilesPerFolder; ++i) DeleteFileA((folder + "\\p" + std::to_string(i) + ".jpg").c_str());
    RemoveDirectoryA(folder.c_str());
  }
  RemoveDirectoryA(root.c_str());
}

// The peer of the folder search: every file of the tree listed and its
// status read.
int WalkTree(const std::string& folder) {
  int files = 0;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, "..")) continue;
    std::string path = folder + "\\" + found.cFileName;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      files += WalkTree(path);
    } else {
      struct _stat64 status;
      if (_stat64(path.c_str(), &status) == 0) ++files;
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return files;
}

HWND g_dialog = nullptr;

void Command(int control) {
  SendMessageA(g_dialog, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(g_dialog, control)));
}

void SetScope(bool albums, bool folder, const std::string& root) {
  CheckDlgButton(g_dialog, IDC_SEARCH_IN_ALBUMS, albums ? BST_CHECKED : BST_UNCHECKED);
  Command(IDC_SEARCH_IN_ALBUMS);
  CheckDlgButton(g_dialog, IDC_SEARCH_IN_FOLDER, folder ? BST_CHECKED : BST_UNCHECKED);
  Command(IDC_SEARCH_IN_FOLDER);
  CheckDlgButton(g_dialog, IDC_SEARCH_SUBFOLDERS, BST_CHECKED);
  Command(IDC_SEARCH_SUBFOLDERS);
  SetDlgItemTextA(g_dialog, IDC_SEARCH_FOLDER, root.c_str());
}

// Folders are searched by a name, albums by a description nothing has: a
// name that an item's path lacks also costs that path's long and short
// forms from the file system.
double TimedFind(int control) {
  // Any criterion change makes the next Find a new search.
  SetDlgItemTextA(g_dialog, IDC_SEARCH_NAME, "");
  SetDlgItemTextA(g_dialog, IDC_SEARCH_DESC_TEXT, "");
  SetDlgItemTextA(g_dialog, control, "nothing-has-this");
  double start = Seconds();
  Command(IDC_SEARCH_FIND);
  return Seconds() - start;
}

// Once g_examinedBeforeStop paths were announced by the run (the folder
// listing before them asks the stop query too), the installed stop test
// answers yes after g_queriesBeforeStop more questions, or with
// g_pressEscape the user presses Escape instead (the run has to find it in
// its queue).
int g_examined = 0;
int g_examinedBeforeStop = -1;
int g_queriesBeforeStop = 0;
bool g_pressEscape = false;
double g_stopAsked = 0;
int StopLater() {
  if (g_examinedBeforeStop < 0 || g_examined < g_examinedBeforeStop) return 0;
  if (g_queriesBeforeStop-- > 0) return 0;
  g_examinedBeforeStop = -1;
  g_stopAsked = Seconds();
  if (!g_pressEscape) return 1;
  PostMessageA(g_dialog, WM_KEYDOWN, VK_ESCAPE, 0);
  return 0;
}

LRESULT CALLBACK CountExamined(int code, WPARAM wParam, LPARAM lParam) {
  const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == SDM_PROGRESS && sent->wParam == SEARCH_PROGRESS_EXAMINING) ++g_examined;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Seconds the run went on after the stop came, or -1 when it did not stop.
double StopLatency(int examined, int queries, bool escape) {
  // A new search that still finds nothing, by the criteria of the timed runs.
  SetDlgItemTextA(g_dialog, IDC_SEARCH_DESC_TEXT, escape ? "nothing-at-all" : "still-nothing");
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, CountExamined, nullptr, GetCurrentThreadId());
  g_examined = 0;
  g_examinedBeforeStop = examined;
  g_queriesBeforeStop = queries;
  g_pressEscape = escape;
  g_stopAsked = 0;
  Command(IDC_SEARCH_FIND);
  double end = Seconds();
  UnhookWindowsHookEx(hook);
  g_examinedBeforeStop = -1;
  bool stopped = reinterpret_cast<CAlbumSearchDlg*>(GetWindowLongPtrA(g_dialog, GWLP_USERDATA))->m_nState ==
                 SEARCH_STATE_STOPPED;
  return g_stopAsked > 0 && stopped ? end - g_stopAsked : -1;
}

}  // namespace

int main() {
  PrintBenchHeader("Search run: folder tree against a plain walk, albums against loading them");
  char temp[MAX_PATH];
  GetTempPathA(sizeof(temp), temp);
  std::string root = std::string(temp) + "albumkit-bench-search-tree";
  std::string albums = std::string(temp) + "albumkit-bench-search-albums";
  CreateDirectoryA(albums.c_str(), nullptr);
  if (!MakeTree(root)) {
    fprintf(stderr, "could not make the folder tree\n");
    return 1;
  }
  std::vector<std::string> albumPaths;
  for (int a = 0; a < kAlbums; ++a) {
    albumPaths.push_back(albums + "\\album" + std::to_string(a) + ".abm");
    if (!BuildAlbum(albumPaths.back(), kItemsPerAlbum, true, "Benchmark album")) {
      fprintf(stderr, "could not build the benchmark albums\n");
      return 1;
    }
  }

  auto* search = new CAlbumSearchDlg;
  snprintf(search->m_szAlbumFolder, sizeof(search->m_szAlbumFolder), "%s", albums.c_str());
  search->m_nThumbWidth = search->m_nThumbHeight = 64;
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  search->m_hOwner = owner;
  g_dialog = CreateDialogParamA(GetResourceModule(), MAKEINTRESOURCEA(IDD_SEARCH), owner, AlbumSearchDlgProc,
                                reinterpret_cast<LPARAM>(search));
  if (!g_dialog) {
    fprintf(stderr, "could not make the search dialog\n");
    return 1;
  }
  ShowWindow(g_dialog, SW_SHOW);
  SetAbortFunc(StopLater);

  std::vector<double> runs, walks;
  SetScope(false, true, root);
  for (int round = 0; round < 3; ++round) {
    runs.push_back(TimedFind(IDC_SEARCH_NAME));
    double start = Seconds();
    int files = WalkTree(root);
    walks.push_back(Seconds() - start);
    if (files != kFolders * kFilesPerFolder) fprintf(stderr, "the walk saw %d files\n", files);
  }
  double folderRun = Median(runs), walk = Median(walks);
  double start = Seconds();
  for (int i = 0; i < kFolders * kFilesPerFolder; ++i) AbortPictureProcessing();
  printf("(the stop query alone, once per file: %.1f ms)\n", (Seconds() - start) * 1000);
  printf("folder search, %d files, nothing matches: %8.1f ms\n", kFolders * kFilesPerFolder, folderRun * 1000);
  printf("plain walk with a status query per file: %8.1f ms\n", walk * 1000);
  printf("ratio search / walk: %.2f (aim <= 1.5)\n", folderRun / walk);
  double folderStop = StopLatency(kFolders * kFilesPerFolder / 2, 0, false);
  double folderEscape = StopLatency(kFolders * kFilesPerFolder / 2, 0, true);

  runs.clear();
  std::vector<double> loads;
  SetScope(true, false, "");
  for (int round = 0; round < 3; ++round) {
    runs.push_back(TimedFind(IDC_SEARCH_DESC_TEXT));
    double start = Seconds();
    for (const std::string& path : albumPaths) {
      CAlbumDoc2 album;
      album.SetThumbnailSize(64, 64);
      album.Load(path.c_str(), 1);
    }
    loads.push_back(Seconds() - start);
  }
  double albumRun = Median(runs), load = Median(loads);
  printf("album search by description, %d albums of %d items: %8.1f ms\n", kAlbums, kItemsPerAlbum, albumRun * 1000);
  printf("loading the same albums:              %8.1f ms\n", load * 1000);
  printf("ratio search / load: %.2f (aim <= 1.2)\n", albumRun / load);
  double albumStop = StopLatency(kAlbums / 2, kItemsPerAlbum / 2, false);
  double albumEscape = StopLatency(kAlbums / 2, kItemsPerAlbum / 2, true);
  printf("run time after the stop query answered: folder %.1f ms, album %.1f ms (aim <= 200 ms)\n",
         folderStop * 1000, albumStop * 1000);
  printf("run time after Escape was pressed:      folder %.1f ms, album %.1f ms (aim <= 200 ms; -1: no stop)\n",
         folderEscape * 1000, albumEscape * 1000);

  DestroyWindow(g_dialog);
  DestroyWindow(owner);
  RemoveTree(root);
  for (const std::string& path : albumPaths) {
    DeleteFileA(path.c_str());
    DeleteFileA((path + ".bak").c_str());
  }
  RemoveDirectoryA(albums.c_str());
  return 0;
}
