// Kills a saving process at random moments and checks that the album on disk
// is always whole: after each kill the album must equal exactly the last
// save that completed or the one that was running, and its backup must load
// and equal an earlier generation.
//
//   kill_during_save.exe [kills] [seed] [items]    (defaults 200, from the clock, 300)
//
// The parent starts this program again as a child ("--child"), which saves
// the album through CAlbumDoc2::Save again and again, one generation after
// the other. Generation g differs from its neighbours in the album
// description and in one item (description and picture). The child reports
// the generation it started and the one it finished in memory shared with
// the parent, which outlives the child's abrupt end. Exit code 0 only when
// every album and every backup passed.
#include <windows.h>

#include <album.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "BenchHeader.h"
#include "platform/qil.h"

namespace {

const int kThumbWidth = 48;
const int kThumbHeight = 36;
const DWORD kStride = (kThumbWidth * 3 + 3) & ~3u;
const DWORD kPictureSize = sizeof(BITMAPINFOHEADER) + kStride * kThumbHeight;
// How long a child may take to start and build its album before its first save.
const DWORD kStartLimitMs = 120000;

// What the child tells the parent; written only by the child.
struct SaveProgress {
  volatile LONG started;     // generation whose save began last
  volatile LONG finished;    // generation whose save returned success last
  volatile LONG failed;      // generation whose save returned failure, 0 if none
  volatile LONG lastSaveMs;  // duration of the last completed save
};

// The contents of item `index` in generation `generation`.
void ExpectedItem(int index, int items, LONG generation, tagALBUMINFOHEADER* info, BYTE* picture) {
  memset(info, 0, sizeof(*info));
  bool varied = generation % items == index;
  info->aiFileSize = 100000 + index;
  info->aiFileTime = 1600000000u + index;
  snprintf(info->aiPath, sizeof(info->aiPath), "C:\\killsave\\picture%04d.jpg", index);
  if (varied) snprintf(info->aiDescription, sizeof(info->aiDescription), "changed in generation %ld", generation);
  info->aiBitCount = 24;
  info->aiWidth = 480;
  info->aiHeight = 360;
  info->aiThumbWidth = kThumbWidth;
  info->aiThumbHeight = kThumbHeight;
  info->aiThumbSize = kPictureSize;

  memset(picture, 0, kPictureSize);
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(picture);
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = kThumbWidth;
  header->biHeight = kThumbHeight;
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biSizeImage = kStride * kThumbHeight;
  BYTE* pixels = picture + sizeof(BITMAPINFOHEADER);
  for (DWORD i = 0; i < header->biSizeImage; ++i) pixels[i] = static_cast<BYTE>(i * 7 + index * 13);
  if (varied) memcpy(pixels, &generation, sizeof(generation));
}

void ExpectedDescription(LONG generation, char* text, size_t size) {
  snprintf(text, size, "generation %ld", generation);
}

// Puts generation g's contents into a document of `items` items (built on
// the first call).
bool FillGeneration(CAlbumDoc2* album, int items, LONG generation) {
  std::vector<BYTE> picture(kPictureSize);
  tagALBUMINFOHEADER info;
  for (int i = 0; i < items; ++i) {
    ExpectedItem(i, items, generation, &info, picture.data());
    CThumbnail2* item = album->GetThumbnail(i + 1);
    if (!item) {
      HTOVIMEM dib = ToviMemAlloc(TOVI_MOVABLE_ZERO, kPictureSize);
      if (!dib) return false;
      item = new CThumbnail2(&info, dib, 0, 1);
      album->Insert(item, nullptr);
    }
    memcpy(item->GetInfo(), &info, sizeof(info));
    void* bytes = ToviMemLock(item->GetDib());
    if (!bytes) return false;
    memcpy(bytes, picture.data(), kPictureSize);
    ToviMemUnlock(item->GetDib());
  }
  char description[64];
  ExpectedDescription(generation, description, sizeof(description));
  album->SetDescription(description);
  return true;
}

// The generation the album at path holds, or 0 when it cannot be loaded or
// is not exactly one generation's contents.
LONG LoadedGeneration(const std::string& path, int items) {
  CAlbumDoc2 album;
  album.SetAutoCheck(0);
  if (!album.Load(path.c_str(), 1)) return 0;
  LONG generation = 0;
  if (sscanf(album.GetDescription(), "generation %ld", &generation) != 1 || generation <= 0) return 0;
  char description[64];
  ExpectedDescription(generation, description, sizeof(description));
  if (strcmp(description, album.GetDescription()) != 0 || album.GetCount() != items) return 0;
  std::vector<BYTE> picture(kPictureSize);
  tagALBUMINFOHEADER info;
  for (int i = 0; i < items; ++i) {
    ExpectedItem(i, items, generation, &info, picture.data());
    CThumbnail2* item = album.GetThumbnail(i + 1);
    if (!item || memcmp(item->GetInfo(), &info, sizeof(info)) != 0) return 0;
    const void* bytes = ToviMemLock(item->GetDib());
    bool same = bytes && ToviMemSize(item->GetDib()) >= kPictureSize &&
                memcmp(bytes, picture.data(), kPictureSize) == 0;
    if (bytes) ToviMemUnlock(item->GetDib());
    if (!same) return 0;
  }
  return generation;
}

// Saves generation after generation until killed.
int RunChild(const char* path, const char* mappingName, const char* readyName, LONG first, int items) {
  HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, mappingName);
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, readyName);
  if (!mapping || !ready) return 3;
  auto* progress = static_cast<SaveProgress*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(SaveProgress)));
  if (!progress) return 3;
  CAlbumDoc2 album;
  album.SetThumbnailSize(kThumbWidth, kThumbHeight);
  if (!FillGeneration(&album, items, first)) return 4;
  SetEvent(ready);
  for (LONG generation = first;; ++generation) {
    if (generation != first && !FillGeneration(&album, items, generation)) return 4;
    InterlockedExchange(&progress->started, generation);
    double begin = Seconds();
    if (!album.Save(path)) {
      InterlockedExchange(&progress->failed, generation);
      return 5;
    }
    InterlockedExchange(&progress->lastSaveMs, static_cast<LONG>((Seconds() - begin) * 1000));
    InterlockedExchange(&progress->finished, generation);
  }
}

std::string OwnPath() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
  return length && length < sizeof(path) ? std::string(path) : std::string();
}

// Files in folder other than the album and its backup.
int StrayFiles(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int stray = 0;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (_stricmp(found.cFileName, "album.abm") != 0 && _stricmp(found.cFileName, "album.abm.bak") != 0) ++stray;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return stray;
}

void RemoveFolder(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((folder + "\\" + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

int RunParent(int kills, unsigned seed, int items) {
  char emulation[256];
  DescribeI386Emulation(emulation, sizeof(emulation));
  printf("kill during save: %d kills, seed %u, %d items%s%s\n", kills, seed, items,
         emulation[0] ? ", under " : "", emulation);
  fflush(stdout);

  char temp[MAX_PATH];
  if (!GetTempPathA(sizeof(temp), temp)) return 2;
  std::string folder = std::string(temp) + "albumkit-killsave-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string album = folder + "\\album.abm";
  std::string backup = album + ".bak";

  // Two saves before the first kill: the album and its backup both exist.
  LONG lastFinished = 2;
  {
    CAlbumDoc2 first;
    first.SetThumbnailSize(kThumbWidth, kThumbHeight);
    if (!FillGeneration(&first, items, 1) || !first.Save(album.c_str()) || !FillGeneration(&first, items, 2) ||
        !first.Save(album.c_str())) {
      printf("the first saves failed\n");
      RemoveFolder(folder);
      return 2;
    }
  }

  std::string mappingName = "albumkit-killsave-progress-" + std::to_string(GetCurrentProcessId());
  std::string readyName = "albumkit-killsave-ready-" + std::to_string(GetCurrentProcessId());
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SaveProgress),
                                      mappingName.c_str());
  HANDLE ready = CreateEventA(nullptr, FALSE, FALSE, readyName.c_str());
  auto* progress = mapping ? static_cast<SaveProgress*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
  if (!progress || !ready) return 2;

  std::mt19937 random(seed);
  std::string self = OwnPath();
  int intact = 0, backups = 0, duringSave = 0, failedSaves = 0, done = 0;
  LONG longestSaveMs = 0;
  double begin = Seconds();
  for (int kill = 1; kill <= kills; ++kill) {
    LONG first = lastFinished + 1;
    progress->started = 0;
    progress->finished = 0;
    progress->failed = 0;
    std::string command = "\"" + self + "\" --child \"" + album + "\" " + mappingName + " " + readyName + " " +
                          std::to_string(first) + " " + std::to_string(items);
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child = {};
    if (!CreateProcessA(self.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
      printf("cannot start the child (error %lu)\n", GetLastError());
      break;
    }
    HANDLE startWait[2] = {ready, child.hProcess};
    DWORD woke = WaitForMultipleObjects(2, startWait, FALSE, kStartLimitMs);
    if (woke != WAIT_OBJECT_0) {
      printf("kill %d: the child ended or stalled before saving\n", kill);
      TerminateProcess(child.hProcess, 1);
      WaitForSingleObject(child.hProcess, INFINITE);
      CloseHandle(child.hThread);
      CloseHandle(child.hProcess);
      break;
    }
    // The kill lands anywhere within about three saves of the first start.
    LONG windowMs = longestSaveMs > 0 ? 3 * longestSaveMs : 1000;
    DWORD delay = std::uniform_int_distribution<DWORD>(0, static_cast<DWORD>(windowMs))(random);
    WaitForSingleObject(child.hProcess, delay);
    TerminateProcess(child.hProcess, 9);
    WaitForSingleObject(child.hProcess, INFINITE);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);

    LONG started = progress->started, finished = progress->finished;
    if (progress->lastSaveMs > longestSaveMs) longestSaveMs = progress->lastSaveMs;
    if (progress->failed) ++failedSaves;
    if (finished) lastFinished = finished;
    if (started && started != finished) ++duringSave;

    LONG onDisk = LoadedGeneration(album, items);
    bool albumOk = onDisk != 0 && (onDisk == lastFinished || (started && onDisk == started));
    LONG inBackup = LoadedGeneration(backup, items);
    bool backupOk = inBackup != 0 && inBackup < (onDisk ? onDisk : lastFinished + 1);
    if (albumOk) ++intact;
    if (backupOk) ++backups;
    if (!albumOk || !backupOk)
      printf("kill %d after %lu ms: album holds generation %ld (last finished %ld, started %ld), backup %ld\n", kill,
             delay, onDisk, lastFinished, started, inBackup);
    // The next child continues after whatever the album now holds.
    if (onDisk > lastFinished) lastFinished = onDisk;
    ++done;
  }
  double seconds = Seconds() - begin;
  // The killed saves' temporary files must go with the next save, as a
  // user's next save after a crash would make it.
  bool lastSaved = false;
  {
    CAlbumDoc2 next;
    next.SetThumbnailSize(kThumbWidth, kThumbHeight);
    lastSaved = FillGeneration(&next, items, lastFinished + 1) && next.Save(album.c_str()) &&
                LoadedGeneration(album, items) == lastFinished + 1;
  }
  int stray = StrayFiles(folder);
  printf("%d kills, %d albums intact, %d backups loadable\n", done, intact, backups);
  printf("%d kills landed inside a save, %d saves failed, %s, %d stray files left beside the album, longest save "
         "%ld ms, %.1f s\n",
         duringSave, failedSaves, lastSaved ? "the next save succeeded" : "THE NEXT SAVE FAILED", stray,
         longestSaveMs, seconds);
  UnmapViewOfFile(progress);
  CloseHandle(mapping);
  CloseHandle(ready);
  RemoveFolder(folder);
  return done == kills && intact == kills && backups == kills && failedSaves == 0 && lastSaved && stray == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 7 && strcmp(argv[1], "--child") == 0)
    return RunChild(argv[2], argv[3], argv[4], atol(argv[5]), atoi(argv[6]));
  int kills = argc > 1 ? atoi(argv[1]) : 200;
  unsigned seed = argc > 2 ? static_cast<unsigned>(strtoul(argv[2], nullptr, 10)) : GetTickCount();
  int items = argc > 3 ? atoi(argv[3]) : 300;
  if (kills <= 0 || items <= 0) {
    printf("usage: kill_during_save.exe [kills] [seed] [items]\n");
    return 2;
  }
  return RunParent(kills, seed, items);
}
