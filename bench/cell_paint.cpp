// Paint cost of one thumbnail cell: the classic style, the framed card style
// with its kept display copy, and as the peer the card style making its
// display copy again on every paint (what a cell without the copy would do).
// Prints milliseconds per paint (best of three rounds) and the ratio.
//   bench_cell_paint.exe [paints]
#include <album.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>

#include "platform/qil.h"
#include "views/ThumbView.h"
#include "BenchHeader.h"

namespace {

class BenchCell : public CThumbView2 {
public:
  BenchCell(HWND parent, RECT place, tagAlbumViewCreateInfo& aci) : CThumbView2(parent, place, aci) {}
  HWND Window() const { return m_hWnd; }
};

// An 80 x 60 thumbnail of a 4000 x 3000 picture, as the demo makes them.
CThumbnail2* MakeItem(const char* path, int shade) {
  const int width = 80, height = 60;
  DWORD stride = (width * 3 + 3) & ~3u;
  HTOVIMEM dib = ToviMemAlloc(TOVI_MOVABLE_ZERO, sizeof(BITMAPINFOHEADER) + stride * height);
  auto* header = static_cast<BITMAPINFOHEADER*>(ToviMemLock(dib));
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = 24;
  BYTE* pixels = reinterpret_cast<BYTE*>(header + 1);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width * 3; ++x) pixels[y * stride + x] = static_cast<BYTE>((x * 3 + y * 5 + shade) & 0xFF);
  }
  ToviMemUnlock(dib);
  tagALBUMINFOHEADER info;
  memset(&info, 0, sizeof(info));
  snprintf(info.aiPath, sizeof(info.aiPath), "%s", path);
  info.aiWidth = 4000;
  info.aiHeight = 3000;
  info.aiThumbWidth = width;
  info.aiThumbHeight = height;
  return new CThumbnail2(&info, dib, 1, 1);
}

tagAlbumViewCreateInfo Configuration(int style) {
  tagAlbumViewCreateInfo aci;
  memset(&aci, 0, sizeof(aci));
  aci.avcStyle = style;
  aci.avcCaption = 1;
  aci.avcSelect = 2;
  aci.avcFont.lfHeight = -11;
  aci.avcFont.lfWeight = FW_NORMAL;
  snprintf(aci.avcFont.lfFaceName, sizeof(aci.avcFont.lfFaceName), "%s", "Arial");
  return aci;
}

double BestMsPerPaint(int paints, const std::function<void()>& paint) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  double best = 1e30;
  for (int round = 0; round < 3; ++round) {
    LARGE_INTEGER start, stop;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < paints; ++i) paint();
    QueryPerformanceCounter(&stop);
    double ms = 1000.0 * static_cast<double>(stop.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    best = std::min(best, ms / paints);
  }
  return best;
}

void Repaint(HWND window) {
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
}

}  // namespace

int main(int argc, char** argv) {
  PrintBenchHeader("Cell paint: each style, with and without the kept display copy");
  int paints = argc > 1 ? atoi(argv[1]) : 1000;
  if (paints <= 0) paints = 1000;
  HWND frame = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 200, nullptr,
                               nullptr, nullptr, nullptr);
  if (!frame) return 1;
  CThumbnail2* first = MakeItem("C:\\pictures\\harbour at dusk.jpg", 0);
  CThumbnail2* second = MakeItem("C:\\pictures\\sunset over the hills.jpg", 90);
  tagAlbumViewCreateInfo classicLook = Configuration(3);
  tagAlbumViewCreateInfo cardLook = Configuration(4);
  BenchCell classic(frame, RECT{0, 0, 112, 144}, classicLook);
  BenchCell card(frame, RECT{120, 0, 112, 144}, cardLook);
  classic.Attach(first);
  card.Attach(first);

  double classicMs = BestMsPerPaint(paints, [&] { Repaint(classic.Window()); });
  double keptMs = BestMsPerPaint(paints, [&] { Repaint(card.Window()); });
  bool flip = false;
  double remadeMs = BestMsPerPaint(paints, [&] {
    // Attach paints at once; another item makes the display copy again.
    flip = !flip;
    card.Attach(flip ? second : first);
  });
  printf("classic cell:                     %.3f ms per paint\n", classicMs);
  printf("framed card, display copy kept:   %.3f ms per paint\n", keptMs);
  printf("framed card, copy made per paint: %.3f ms per paint\n", remadeMs);
  printf("ratio kept / made per paint: %.2f\n", keptMs / remadeMs);

  classic.Attach(nullptr);
  card.Attach(nullptr);
  delete first;
  delete second;
  DestroyWindow(frame);
  return 0;
}
