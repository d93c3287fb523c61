// Thumbnail resampling: speed and output of ProcessResample on a large
// picture, beside two peers measured in the same run.
//
//   resample_quality source.bmp result.bmp nearest.bmp halftone.bmp [width height [runs]]
//
// Loads a 24-bit bitmap file with its own small reader (so that no picture
// decoder is measured), reduces it with ProcessResample and times the median
// of several runs. The peers: one plain pass that reads every source word
// (the least any resampler must do) and GDI's StretchDIBits in HALFTONE mode.
// Writes the ProcessResample result, a nearest-neighbour reduction and the
// GDI result as bitmap files, for the caller to compare against a reference.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../platform/pixamo.h"
#include "BenchHeader.h"

namespace {

struct Picture {
  BITMAPINFOHEADER header = {};
  std::vector<BYTE> bits;  // bottom-up rows, padded to 4 bytes
  DWORD stride = 0;
};

std::vector<BYTE> ReadFileBytes(const char* path) {
  std::vector<BYTE> bytes;
  HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return bytes;
  LARGE_INTEGER size;
  if (GetFileSizeEx(f, &size) && size.QuadPart > 0 && size.QuadPart < 0x7FFFFFFF) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD done = 0;
    if (!ReadFile(f, bytes.data(), DWORD(bytes.size()), &done, nullptr) || done != bytes.size())
      bytes.clear();
  }
  CloseHandle(f);
  return bytes;
}

// Accepts what the benchmark script writes: an uncompressed 24-bit bitmap.
bool LoadBitmap24(const char* path, Picture* picture) {
  std::vector<BYTE> file = ReadFileBytes(path);
  BITMAPFILEHEADER fh;
  if (file.size() < sizeof fh + sizeof(BITMAPINFOHEADER)) return false;
  std::memcpy(&fh, file.data(), sizeof fh);
  std::memcpy(&picture->header, file.data() + sizeof fh, sizeof picture->header);
  const BITMAPINFOHEADER& h = picture->header;
  if (fh.bfType != 0x4D42 || h.biSize < sizeof h || h.biBitCount != 24 || h.biCompression != BI_RGB ||
      h.biWidth <= 0 || h.biHeight <= 0 || h.biWidth > 65535 || h.biHeight > 65535)
    return false;
  picture->stride = DWORD((h.biWidth * 3 + 3) & ~3);
  uint64_t bytes = uint64_t(picture->stride) * h.biHeight;
  if (fh.bfOffBits > file.size() || bytes > file.size() - fh.bfOffBits) return false;
  picture->header.biSize = sizeof(BITMAPINFOHEADER);
  picture->header.biClrUsed = 0;
  picture->bits.assign(file.begin() + fh.bfOffBits, file.begin() + fh.bfOffBits + bytes);
  return true;
}

HTOVIMEM ToDib(const Picture& picture) {
  DWORD size = DWORD(sizeof picture.header + picture.bits.size());
  HTOVIMEM dib = ToviMemAlloc(TOVI_MOVABLE_ZERO, size);
  auto* bytes = static_cast<BYTE*>(ToviMemLock(dib));
  if (!bytes) return dib;
  std::memcpy(bytes, &picture.header, sizeof picture.header);
  std::memcpy(bytes + sizeof picture.header, picture.bits.data(), picture.bits.size());
  ToviMemUnlock(dib);
  return dib;
}

bool WriteBitmap(const char* path, const BITMAPINFOHEADER& header, const void* bits, DWORD bitsBytes,
                 const RGBQUAD* palette, DWORD paletteCount) {
  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;
  fh.bfOffBits = DWORD(sizeof fh + sizeof header + paletteCount * sizeof(RGBQUAD));
  fh.bfSize = fh.bfOffBits + bitsBytes;
  HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  bool ok = WriteFile(f, &fh, sizeof fh, &done, nullptr) && WriteFile(f, &header, sizeof header, &done, nullptr) &&
            (paletteCount == 0 || WriteFile(f, palette, paletteCount * sizeof(RGBQUAD), &done, nullptr)) &&
            WriteFile(f, bits, bitsBytes, &done, nullptr);
  CloseHandle(f);
  return ok;
}

bool WriteDib(const char* path, HTOVIMEM dib) {
  auto* bytes = static_cast<BYTE*>(ToviMemLock(dib));
  if (!bytes) return false;
  BITMAPINFOHEADER h;
  std::memcpy(&h, bytes, sizeof h);
  DWORD colours = h.biBitCount <= 8 ? (h.biClrUsed ? h.biClrUsed : 1u << h.biBitCount) : 0;
  DWORD offset = DWORD(sizeof h + colours * sizeof(RGBQUAD));
  bool ok = WriteBitmap(path, h, bytes + offset, ToviMemSize(dib) - offset,
                        reinterpret_cast<const RGBQUAD*>(bytes + sizeof h), colours);
  ToviMemUnlock(dib);
  return ok;
}

class Stopwatch {
 public:
  Stopwatch() {
    QueryPerformanceFrequency(&frequency_);
    QueryPerformanceCounter(&start_);
  }
  double Milliseconds() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * double(now.QuadPart - start_.QuadPart) / double(frequency_.QuadPart);
  }

 private:
  LARGE_INTEGER frequency_, start_;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Each output pixel takes the source pixel under its centre.
std::vector<BYTE> Nearest(const Picture& src, int width, int height, DWORD* stride) {
  *stride = DWORD((width * 3 + 3) & ~3);
  std::vector<BYTE> out(size_t(*stride) * height);
  for (int y = 0; y < height; ++y) {
    int sy = int((2 * int64_t(y) + 1) * src.header.biHeight / (2 * height));
    for (int x = 0; x < width; ++x) {
      int sx = int((2 * int64_t(x) + 1) * src.header.biWidth / (2 * width));
      std::memcpy(&out[size_t(*stride) * y + 3 * x], &src.bits[size_t(src.stride) * sy + 3 * sx], 3);
    }
  }
  return out;
}

// GDI's HALFTONE stretch into a 24-bit section; returns the time taken.
double Halftone(const Picture& src, int width, int height, std::vector<BYTE>* out) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  BITMAPINFO info = {};
  info.bmiHeader = src.header;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biSizeImage = 0;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, section);
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);  // HALFTONE needs the brush origin reset
  BITMAPINFO srcInfo = {};
  srcInfo.bmiHeader = src.header;
  Stopwatch watch;
  StretchDIBits(dc, 0, 0, width, height, 0, 0, src.header.biWidth, src.header.biHeight, src.bits.data(),
                &srcInfo, DIB_RGB_COLORS, SRCCOPY);
  GdiFlush();
  double ms = watch.Milliseconds();
  DWORD stride = DWORD((width * 3 + 3) & ~3);
  out->assign(static_cast<BYTE*>(bits), static_cast<BYTE*>(bits) + size_t(stride) * height);
  SelectObject(dc, old);
  DeleteObject(section);
  DeleteDC(dc);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  PrintBenchHeader("Resampling: quality and speed against nearest-neighbour and HALFTONE");
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s source.bmp result.bmp nearest.bmp halftone.bmp [width height [runs]]\n",
                 argv[0]);
    return 2;
  }
  const int width = argc > 6 ? std::atoi(argv[5]) : 80;
  const int height = argc > 6 ? std::atoi(argv[6]) : 60;
  const int runs = argc > 7 ? std::max(1, std::atoi(argv[7])) : 9;

  Picture src;
  if (!LoadBitmap24(argv[1], &src)) {
    std::fprintf(stderr, "cannot read %s as an uncompressed 24-bit bitmap\n", argv[1]);
    return 1;
  }
  HTOVIMEM dib = ToDib(src);
  if (!dib) {
    std::fprintf(stderr, "out of memory\n");
    return 1;
  }

  // One untimed run first, so that page faults on fresh memory are not counted.
  HTOVIMEM result = ProcessResample(dib, width, height, 2835);
  if (!result) {
    std::fprintf(stderr, "ProcessResample failed\n");
    return 1;
  }
  std::vector<double> resampleMs, readMs;
  for (int i = 0; i < runs; ++i) {
    Stopwatch watch;
    HTOVIMEM again = ProcessResample(dib, width, height, 2835);
    resampleMs.push_back(watch.Milliseconds());
    ToviMemFree(again);
  }
  volatile uint32_t sink = 0;
  for (int i = 0; i < runs; ++i) {
    Stopwatch watch;
    uint32_t sum = 0;
    const BYTE* p = src.bits.data();
    for (size_t n = src.bits.size() / 4; n > 0; --n, p += 4) {
      uint32_t word;
      std::memcpy(&word, p, 4);
      sum += word;
    }
    sink = sink + sum;
    readMs.push_back(watch.Milliseconds());
  }

  std::vector<BYTE> halftone;
  std::vector<double> halftoneMs;
  for (int i = 0; i < runs; ++i) halftoneMs.push_back(Halftone(src, width, height, &halftone));

  DWORD nearestStride;
  std::vector<BYTE> nearest = Nearest(src, width, height, &nearestStride);
  BITMAPINFOHEADER small = src.header;
  small.biWidth = width;
  small.biHeight = height;
  small.biSizeImage = DWORD(nearest.size());
  bool written = WriteDib(argv[2], result) &&
                 WriteBitmap(argv[3], small, nearest.data(), DWORD(nearest.size()), nullptr, 0) &&
                 WriteBitmap(argv[4], small, halftone.data(), DWORD(halftone.size()), nullptr, 0);
  ToviMemFree(result);
  ToviMemFree(dib);
  if (!written) {
    std::fprintf(stderr, "cannot write the result files\n");
    return 1;
  }

  double resample = Median(resampleMs), read = Median(readMs), gdi = Median(halftoneMs);
  std::printf("source %ldx%ld -> %dx%d, median of %d runs\n", src.header.biWidth, src.header.biHeight, width,
              height, runs);
  std::printf("  ProcessResample            %8.2f ms\n", resample);
  std::printf("  one read of every word     %8.2f ms   (ProcessResample / read = %.2f)\n", read, resample / read);
  std::printf("  GDI StretchDIBits HALFTONE %8.2f ms   (ProcessResample / GDI = %.2f)\n", gdi, resample / gdi);
  return 0;
}
