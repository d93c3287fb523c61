// Appending N items one by one and walking them by position must be linear:
// prints the time for 50,000 and 100,000 items and their ratio (target <= 2.2).
#include <album.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>
#include "BenchClock.h"
#include "BenchHeader.h"

namespace {

// Builds a table of n items like loading an album does, then walks it the
// way callers do; returns the elapsed seconds.
double AppendAndWalk(int n) {
  tagALBUMINFOHEADER info;
  memset(&info, 0, sizeof(info));
  double start = Seconds();
  CThumbTable2 table;
  for (int i = 1; i <= n; ++i) {
    snprintf(info.aiPath, sizeof(info.aiPath), "C:\\photos\\%06d.jpg", i);
    info.aiFileSize = static_cast<DWORD>(i);
    table.Insert(new CThumbnail2(&info, nullptr, i, 1), nullptr);
  }
  long long checksum = 0;
  for (int i = 1; i <= n; ++i) checksum += table.GetThumbnail(i)->GetInfo()->aiFileSize;
  double elapsed = Seconds() - start;
  if (checksum != static_cast<long long>(n) * (n + 1) / 2) {
    fprintf(stderr, "walk reached the wrong items\n");
    return -1;
  }
  return elapsed;
}

double Median(int n, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) times.push_back(AppendAndWalk(n));
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main() {
  PrintBenchHeader("Thumbnail table: append and walk, 50,000 against 100,000 items");
  double small = Median(50000, 5);
  double large = Median(100000, 5);
  if (small <= 0 || large <= 0) return 1;
  printf("table append + walk, 50,000 items:  %8.1f ms\n", small * 1000);
  printf("table append + walk, 100,000 items: %8.1f ms\n", large * 1000);
  printf("ratio 100k / 50k: %.2f (target <= 2.2)\n", large / small);
  return 0;
}
