// Album store speed: saving (first save, and a save over an album, which
// also checks the old album and keeps it as the backup) and opening albums of
// 80 x 60 thumbnails, against plain WriteFile + flush and ReadFile of the same
// number of bytes in the same run; and 8,000 against 2,000 items (linear: 4).
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "AlbumStore.h"
#include "BenchClock.h"
#include "BenchHeader.h"

namespace {

template <typename Proc>
Proc Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

constexpr int kWidth = 80, kHeight = 60;
constexpr DWORD kPicture = 40 + kWidth * 3 * kHeight;

// The record the album component hands to a save.
void BuildRecord(int n, tagALBUMFILEDATA* data) {
  memset(data, 0, sizeof(*data));
  data->nCount = static_cast<DWORD>(n);
  data->hBlocks = GlobalAlloc(GHND, n * sizeof(HGLOBAL) + 10);
  auto* slots = static_cast<HGLOBAL*>(GlobalLock(data->hBlocks));
  for (int i = 0; i < n; ++i) {
    slots[i] = GlobalAlloc(GHND, 430 + kPicture);
    auto* block = static_cast<BYTE*>(GlobalLock(slots[i]));
    auto* info = reinterpret_cast<tagALBUMINFOHEADER*>(block);
    snprintf(info->aiPath, sizeof(info->aiPath), "C:\\photos\\%06d.jpg", i);
    info->aiThumbWidth = kWidth;
    info->aiThumbHeight = kHeight;
    info->aiThumbSize = kPicture;
    auto* dib = reinterpret_cast<BITMAPINFOHEADER*>(block + 420);
    dib->biSize = 40;
    dib->biWidth = kWidth;
    dib->biHeight = kHeight;
    dib->biPlanes = 1;
    dib->biBitCount = 24;
    for (DWORD k = 40; k < kPicture; ++k) block[420 + k] = static_cast<BYTE>(i + k);
    GlobalUnlock(slots[i]);
  }
  GlobalUnlock(data->hBlocks);
}

void FreeRecord(tagALBUMFILEDATA* data) {
  if (!data->hBlocks) return;
  auto* slots = static_cast<HGLOBAL*>(GlobalLock(data->hBlocks));
  for (DWORD i = 0; i < data->nCount; ++i) GlobalFree(slots[i]);
  GlobalUnlock(data->hBlocks);
  GlobalFree(data->hBlocks);
  data->hBlocks = nullptr;
  data->nCount = 0;
}

struct Times {
  double firstSave, saveOver, open, rawWrite, rawRead;
};

double RawWrite(const std::string& path, const std::vector<BYTE>& bytes) {
  double start = Seconds();
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  FlushFileBuffers(file);
  CloseHandle(file);
  return Seconds() - start;
}

double RawRead(const std::string& path, std::vector<BYTE>& bytes) {
  double start = Seconds();
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD got = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(file);
  return Seconds() - start;
}

bool Measure(HMODULE store, const std::string& folder, int n, Times* t) {
  auto save = Lookup<ABMFILEPROC>(store, "ABM_SaveFile");
  auto open = Lookup<ABMFILEPROC>(store, "ABM_OpenFile");
  std::string album = folder + "\\bench.abm", raw = folder + "\\raw.bin";
  DeleteFileA(album.c_str());
  DeleteFileA((album + ".bak").c_str());

  tagALBUMFILEDATA data;
  BuildRecord(n, &data);
  double start = Seconds();
  int ok = save(ALBUM_STORE_VERSION, album.c_str(), &data);
  t->firstSave = Seconds() - start;
  start = Seconds();
  ok &= save(ALBUM_STORE_VERSION, album.c_str(), &data) != 0;
  t->saveOver = Seconds() - start;
  FreeRecord(&data);

  start = Seconds();
  ok &= open(ALBUM_STORE_VERSION, album.c_str(), &data) != 0;
  t->open = Seconds() - start;
  ok &= data.nCount == static_cast<DWORD>(n);
  FreeRecord(&data);

  WIN32_FILE_ATTRIBUTE_DATA attributes;
  GetFileAttributesExA(album.c_str(), GetFileExInfoStandard, &attributes);
  std::vector<BYTE> bytes(attributes.nFileSizeLow, 0x5A);
  t->rawWrite = RawWrite(raw, bytes);
  t->rawRead = RawRead(raw, bytes);
  DeleteFileA(raw.c_str());
  DeleteFileA(album.c_str());
  DeleteFileA((album + ".bak").c_str());
  return ok != 0;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

Times MedianOf(HMODULE store, const std::string& folder, int n, int runs, bool* ok) {
  std::vector<double> a, b, c, d, e;
  for (int i = 0; i < runs; ++i) {
    Times t;
    *ok &= Measure(store, folder, n, &t);
    a.push_back(t.firstSave);
    b.push_back(t.saveOver);
    c.push_back(t.open);
    d.push_back(t.rawWrite);
    e.push_back(t.rawRead);
  }
  return {Median(a), Median(b), Median(c), Median(d), Median(e)};
}

void Print(int n, const Times& t) {
  printf("%5d items (%.1f MB): first save %7.1f ms, save over %7.1f ms, open %7.1f ms | "
         "raw write+flush %6.1f ms, raw read %6.1f ms | save/raw %.2f, open/raw %.2f\n",
         n, n * (12.0 + 420 + kPicture) / 1e6, t.firstSave * 1e3, t.saveOver * 1e3, t.open * 1e3,
         t.rawWrite * 1e3, t.rawRead * 1e3, t.firstSave / t.rawWrite, t.open / t.rawRead);
}

}  // namespace

int main() {
  PrintBenchHeader("Album store: saves and opens against plain writes and reads");
  HMODULE store = LoadLibraryA("Vandor.DLL");
  if (!store) {
    fprintf(stderr, "Vandor.DLL did not load\n");
    return 1;
  }
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + "abmbench-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  bool ok = true;
  Times small = MedianOf(store, folder, 2000, 3, &ok);
  Times large = MedianOf(store, folder, 8000, 3, &ok);
  RemoveDirectoryA(folder.c_str());
  if (!ok) {
    fprintf(stderr, "a store call failed\n");
    return 1;
  }
  Print(2000, small);
  Print(8000, large);
  printf("8000 / 2000 items: first save %.2f, save over %.2f, open %.2f (linear: 4)\n",
         large.firstSave / small.firstSave, large.saveOver / small.saveOver, large.open / small.open);
  return 0;
}
