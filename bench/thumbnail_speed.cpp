// Times CreateThumbnailFromFile (box 100 x 80) over the picture files given
// on the command line; prints milliseconds per file (best of three rounds).
#include <album.h>
#include <stdio.h>

#include <algorithm>

#include "platform/qil.h"
#include "BenchHeader.h"

int main(int argc, char** argv) {
  PrintBenchHeader("CreateThumbnailFromFile on 4000x3000 JPEGs");
  if (argc < 2) {
    fprintf(stderr, "usage: bench_thumbnail_speed file...\n");
    return 2;
  }
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  double best = 1e30;
  for (int round = 0; round < 3; ++round) {
    LARGE_INTEGER start, stop;
    QueryPerformanceCounter(&start);
    for (int i = 1; i < argc; ++i) {
      CThumbnail2* item = CreateThumbnailFromFile(argv[i], 100, 80, nullptr);
      if (!item) {
        fprintf(stderr, "%s: no thumbnail (error %d)\n", argv[i], QilGetLastError());
        return 1;
      }
      if (round == 0 && i == 1) {
        printf("first thumbnail: %ux%u from %ux%u\n", item->GetInfo()->aiThumbWidth,
               item->GetInfo()->aiThumbHeight, item->GetInfo()->aiWidth, item->GetInfo()->aiHeight);
      }
      delete item;
    }
    QueryPerformanceCounter(&stop);
    double ms = 1000.0 * static_cast<double>(stop.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    best = std::min(best, ms);
  }
  printf("CreateThumbnailFromFile: %.1f ms per file over %d files\n", best / (argc - 1), argc - 1);
  return 0;
}
