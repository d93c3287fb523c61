// Album loading must be linear in the number of items and close to the cost
// of reading the file: builds albums of 10,000 and 20,000 items with small
// thumbnails, then prints load times, their ratio (target <= 2.2) and the
// load time relative to reading the same file's bytes (aim <= 3x).
#include <album.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/qil.h"
#include "BenchAlbums.h"
#include "BenchClock.h"
#include "BenchHeader.h"

namespace {

double LoadSeconds(const std::string& path, int autoCheck) {
  std::vector<double> times;
  for (int run = 0; run < 5; ++run) {
    CAlbumDoc2 album;
    album.SetAutoCheck(autoCheck);
    double start = Seconds();
    if (!album.Load(path.c_str(), 1)) return -1;
    times.push_back(Seconds() - start);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

double ReadSeconds(const std::string& path) {
  std::vector<double> times;
  for (int run = 0; run < 5; ++run) {
    double start = Seconds();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    DWORD size = GetFileSize(file, nullptr);
    std::vector<char> bytes(size);
    DWORD read = 0;
    ReadFile(file, bytes.data(), size, &read, nullptr);
    CloseHandle(file);
    times.push_back(Seconds() - start);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main() {
  PrintBenchHeader("Album load: 10,000 against 20,000 items, and against reading the file");
  char temp[MAX_PATH];
  GetTempPathA(sizeof(temp), temp);
  std::string small = std::string(temp) + "albumkit-bench-10k.abm";
  std::string large = std::string(temp) + "albumkit-bench-20k.abm";
  if (!BuildAlbum(small, 10000, true, "Benchmark album") || !BuildAlbum(large, 20000, true, "Benchmark album")) {
    fprintf(stderr, "could not build the benchmark albums\n");
    return 1;
  }
  double load10 = LoadSeconds(small, 0), load20 = LoadSeconds(large, 0);
  double check10 = LoadSeconds(small, 1), check20 = LoadSeconds(large, 1);
  double read20 = ReadSeconds(large);
  if (load10 <= 0 || load20 <= 0 || read20 <= 0) return 1;
  printf("load 10,000 items: %7.1f ms (with source checks %7.1f ms)\n", load10 * 1000, check10 * 1000);
  printf("load 20,000 items: %7.1f ms (with source checks %7.1f ms)\n", load20 * 1000, check20 * 1000);
  printf("ratio 20k / 10k: %.2f (with source checks %.2f; target <= 2.2)\n", load20 / load10, check20 / check10);
  printf("reading the 20,000-item file's bytes: %.1f ms; load / read: %.1fx (aim <= 3x)\n", read20 * 1000,
         load20 / read20);
  DeleteFileA(small.c_str());
  DeleteFileA(large.c_str());
  DeleteFileA((small + ".bak").c_str());
  DeleteFileA((large + ".bak").c_str());
  return 0;
}
