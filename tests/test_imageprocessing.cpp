// Image processing library: resampling, conversions, tone changes, file
// marks, the stop query, long path names and modal levels, all through the
// library's exports.
#include <gtest/gtest.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../platform/pixamo.h"
#include "MessageRecorder.h"

namespace {

// ---------------------------------------------------------------------------
// Pictures built byte by byte.

struct DibFree {
  void operator()(void* mem) const { ToviMemFree(mem); }
};
using Dib = std::unique_ptr<void, DibFree>;

struct Layout {
  Layout(int w, int h, int bpp, bool topDownRows = false, DWORD kind = BI_RGB, std::vector<DWORD> fields = {})
      : width(w), height(h), bitCount(bpp), topDown(topDownRows), compression(kind), masks(std::move(fields)) {}
  int width;
  int height;
  int bitCount;
  bool topDown;
  DWORD compression;
  std::vector<DWORD> masks;       // written after the header when given
  std::vector<RGBQUAD> palette;   // biClrUsed = its size
};

RGBQUAD Rgb(BYTE r, BYTE g, BYTE b) { return RGBQUAD{b, g, r, 0}; }

std::vector<RGBQUAD> GreyRamp() {
  std::vector<RGBQUAD> p(256);
  for (int i = 0; i < 256; ++i) p[i] = Rgb(BYTE(i), BYTE(i), BYTE(i));
  return p;
}

DWORD StrideOf(int width, int bitCount) { return DWORD((width * bitCount + 31) / 32 * 4); }

size_t BitsOffset(const Layout& l) {
  return sizeof(BITMAPINFOHEADER) + l.masks.size() * 4 + l.palette.size() * 4;
}

Dib MakeDib(const Layout& l) {
  size_t size = BitsOffset(l) + size_t(StrideOf(l.width, l.bitCount)) * l.height;
  Dib dib(ToviMemAlloc(TOVI_MOVABLE_ZERO, DWORD(size)));
  auto* bytes = static_cast<BYTE*>(ToviMemLock(dib.get()));
  BITMAPINFOHEADER h = {};
  h.biSize = sizeof h;
  h.biWidth = l.width;
  h.biHeight = l.topDown ? -l.height : l.height;
  h.biPlanes = 1;
  h.biBitCount = WORD(l.bitCount);
  h.biCompression = l.compression;
  h.biClrUsed = DWORD(l.palette.size());
  h.biXPelsPerMeter = 2835;
  h.biYPelsPerMeter = 2835;
  std::memcpy(bytes, &h, sizeof h);
  std::memcpy(bytes + sizeof h, l.masks.data(), l.masks.size() * 4);
  std::memcpy(bytes + sizeof h + l.masks.size() * 4, l.palette.data(), l.palette.size() * 4);
  ToviMemUnlock(dib.get());
  return dib;
}

BITMAPINFOHEADER HeaderOf(void* dib) {
  BITMAPINFOHEADER h = {};
  if (auto* bytes = static_cast<BYTE*>(ToviMemLock(dib))) {
    std::memcpy(&h, bytes, sizeof h);
    ToviMemUnlock(dib);
  }
  return h;
}

// Writes a raw pixel value (palette index or packed pixel; 0xRRGGBB for 24
// bits) at x, y counted from the top.
void Put(void* dib, const Layout& l, int x, int y, DWORD value) {
  auto* bytes = static_cast<BYTE*>(ToviMemLock(dib));
  int stored = l.topDown ? y : l.height - 1 - y;
  BYTE* row = bytes + BitsOffset(l) + size_t(StrideOf(l.width, l.bitCount)) * stored;
  switch (l.bitCount) {
    case 1: row[x / 8] = BYTE((row[x / 8] & ~(0x80 >> (x % 8))) | ((value & 1) << (7 - x % 8))); break;
    case 4: row[x / 2] = BYTE(x % 2 ? (row[x / 2] & 0xF0) | value : (row[x / 2] & 0x0F) | (value << 4)); break;
    case 8: row[x] = BYTE(value); break;
    case 16: std::memcpy(row + 2 * x, &value, 2); break;
    case 24: std::memcpy(row + 3 * x, &value, 3); break;
    case 32: std::memcpy(row + 4 * x, &value, 4); break;
  }
  ToviMemUnlock(dib);
}

void Fill(void* dib, const Layout& l, DWORD value) {
  for (int y = 0; y < l.height; ++y)
    for (int x = 0; x < l.width; ++x) Put(dib, l, x, y, value);
}

// The colour at x, y (from the top) of a 24-bit or 8-bit palette result,
// as 0xRRGGBB.
DWORD ColourAt(void* dib, int x, int y) {
  BITMAPINFOHEADER h = HeaderOf(dib);
  auto* bytes = static_cast<BYTE*>(ToviMemLock(dib));
  int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  int stored = h.biHeight < 0 ? y : height - 1 - y;
  DWORD colours = h.biBitCount <= 8 ? (h.biClrUsed ? h.biClrUsed : 1u << h.biBitCount) : 0;
  const BYTE* row = bytes + h.biSize + colours * 4 + size_t(StrideOf(h.biWidth, h.biBitCount)) * stored;
  DWORD c = 0;
  if (h.biBitCount == 24) {
    c = row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
  } else if (h.biBitCount == 8) {
    const RGBQUAD& q = reinterpret_cast<const RGBQUAD*>(bytes + h.biSize)[row[x]];
    c = q.rgbBlue | (q.rgbGreen << 8) | (q.rgbRed << 16);
  }
  ToviMemUnlock(dib);
  return c;
}

int GreyAt(void* dib, int x, int y) { return int(ColourAt(dib, x, y) & 0xFF); }

std::string Hex(DWORD v) {
  char text[16];
  snprintf(text, sizeof text, "%06lX", static_cast<unsigned long>(v));
  return text;
}

// Every test checks that it leaves no picture handle alive.
class ImageProcessing : public ::testing::Test {
 protected:
  void SetUp() override { live_ = ToviMemLiveCount(); }
  void TearDown() override {
    EXPECT_EQ(ToviMemLiveCount(), live_) << "expected no live handle left, got "
                                         << ToviMemLiveCount() - live_;
  }

 private:
  LONG live_ = 0;
};

// ---------------------------------------------------------------------------
// Resampling

TEST_F(ImageProcessing, ResampleFlatColourStaysExactlyFlatFromEveryDepth) {
  struct Case {
    const char* name;
    Layout layout;
    DWORD pixel;
    DWORD colour;  // expected 0xRRGGBB
    int bitCount;  // expected result depth
  };
  Layout pal1{37, 23, 1};
  pal1.palette = {Rgb(0, 0, 0), Rgb(200, 100, 50)};
  Layout pal4{37, 23, 4};
  pal4.palette = std::vector<RGBQUAD>(16, Rgb(0, 0, 0));
  pal4.palette[9] = Rgb(10, 220, 130);
  Layout pal8{37, 23, 8};
  pal8.palette = std::vector<RGBQUAD>(256, Rgb(0, 0, 0));
  pal8.palette[200] = Rgb(1, 2, 3);
  Layout grey8{37, 23, 8};
  grey8.palette = GreyRamp();
  Layout rgb555{37, 23, 16};
  Layout rgb565{37, 23, 16, false, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}};
  Layout rgb24{37, 23, 24};
  Layout rgb32{37, 23, 32};
  Layout bgr32{37, 23, 32, false, BI_BITFIELDS, {0x000000FF, 0x0000FF00, 0x00FF0000}};
  const Case cases[] = {
      {"1-bit palette", pal1, 1, 0xC86432, 24},
      {"4-bit palette", pal4, 9, 0x0ADC82, 24},
      {"8-bit palette", pal8, 200, 0x010203, 24},
      {"8-bit grey", grey8, 77, 0x4D4D4D, 8},
      {"16-bit 555", rgb555, 0x7C1F, 0xFF00FF, 24},
      {"16-bit 565 fields", rgb565, 0x07E0, 0x00FF00, 24},
      {"24-bit", rgb24, 0x123456, 0x123456, 24},
      {"32-bit", rgb32, 0xEE654321, 0x654321, 24},
      {"32-bit fields", bgr32, 0x00332211, 0x112233, 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Dib src = MakeDib(c.layout);
    Fill(src.get(), c.layout, c.pixel);
    for (auto size : {std::pair<int, int>{5, 4}, {37, 23}, {90, 61}}) {
      Dib out(ProcessResample(src.get(), size.first, size.second, 3000));
      ASSERT_NE(out, nullptr);
      BITMAPINFOHEADER h = HeaderOf(out.get());
      EXPECT_EQ(h.biWidth, size.first) << "expected width " << size.first << ", got " << h.biWidth;
      EXPECT_EQ(h.biHeight, size.second) << "expected height " << size.second << ", got " << h.biHeight;
      EXPECT_EQ(h.biBitCount, c.bitCount) << "expected depth " << c.bitCount << ", got " << h.biBitCount;
      EXPECT_EQ(h.biXPelsPerMeter, 3000) << "expected the resolution argument, got " << h.biXPelsPerMeter;
      for (int y = 0; y < size.second; ++y)
        for (int x = 0; x < size.first; ++x)
          ASSERT_EQ(ColourAt(out.get(), x, y), c.colour)
              << "at " << x << "," << y << " of " << size.first << "x" << size.second
              << ": expected " << Hex(c.colour) << ", got " << Hex(ColourAt(out.get(), x, y));
    }
  }
}

TEST_F(ImageProcessing, ResampleGreySourceStaysGreyWithItsPaletteApplied) {
  // A palette that runs from white to black: the result must show tones,
  // not indices.
  Layout l{40, 30, 8};
  l.palette = GreyRamp();
  for (int i = 0; i < 256; ++i) l.palette[i] = Rgb(BYTE(255 - i), BYTE(255 - i), BYTE(255 - i));
  Dib src = MakeDib(l);
  Fill(src.get(), l, 200);
  Dib out(ProcessResample(src.get(), 6, 5, 2835));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(HeaderOf(out.get()).biBitCount, 8);
  EXPECT_NE(IsDibGray(out.get()), 0) << "expected a grey result";
  EXPECT_EQ(GreyAt(out.get(), 3, 2), 55) << "expected index 200 shown as 55, got " << GreyAt(out.get(), 3, 2);
}

TEST_F(ImageProcessing, ResampleReductionAveragesAndSuppressesFinePatterns) {
  Layout l{2, 2, 24};
  Dib src = MakeDib(l);
  Put(src.get(), l, 0, 0, 0x0A0A0A);
  Put(src.get(), l, 1, 0, 0x141414);
  Put(src.get(), l, 0, 1, 0x1E1E1E);
  Put(src.get(), l, 1, 1, 0x282828);
  Dib one(ProcessResample(src.get(), 1, 1, 0));
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(ColourAt(one.get(), 0, 0), 0x191919u)
      << "expected the mean 25 of 10, 20, 30, 40, got " << Hex(ColourAt(one.get(), 0, 0));

  // Bars 37 pixels apart reduced fiftyfold repeat faster than the result can
  // show: they must blend to an even tone, not beat into coarse stripes.
  Layout bars{2000, 4, 8};
  bars.palette = GreyRamp();
  Dib striped = MakeDib(bars);
  for (int y = 0; y < bars.height; ++y)
    for (int x = 0; x < bars.width; ++x) Put(striped.get(), bars, x, y, x % 37 < 18 ? 255 : 0);
  Dib blended(ProcessResample(striped.get(), 40, 1, 0));
  ASSERT_NE(blended, nullptr);
  int lo = 255, hi = 0;
  for (int x = 2; x < 38; ++x) {
    lo = std::min(lo, GreyAt(blended.get(), x, 0));
    hi = std::max(hi, GreyAt(blended.get(), x, 0));
  }
  EXPECT_LE(hi - lo, 12) << "expected an even tone near 124, got values from " << lo << " to " << hi;
  EXPECT_NEAR((lo + hi) / 2, 124, 8) << "expected the bars' mean brightness";
}

TEST_F(ImageProcessing, ResampleKeepsAnEdgeWhereItWas) {
  // Black up to column 37 of 100, white after: reduced tenfold, the black
  // area must still measure 3.7 output pixels, and the edge stays narrow.
  Layout l{100, 20, 24};
  Dib src = MakeDib(l);
  for (int y = 0; y < l.height; ++y)
    for (int x = 0; x < l.width; ++x) Put(src.get(), l, x, y, x < 37 ? 0 : 0xFFFFFF);
  Dib out(ProcessResample(src.get(), 10, 2, 0));
  ASSERT_NE(out, nullptr);
  double black = 0;
  for (int x = 0; x < 10; ++x) {
    int v = GreyAt(out.get(), x, 1);
    if (x <= 1) {
      EXPECT_EQ(v, 0) << "column " << x << ": expected black, got " << v;
    } else if (x >= 6) {
      EXPECT_EQ(v, 255) << "column " << x << ": expected white, got " << v;
    }
    if (x > 0) {
      EXPECT_GE(v, GreyAt(out.get(), x - 1, 1)) << "column " << x << ": expected no dip";
    }
    black += (255 - v) / 255.0;
  }
  EXPECT_NEAR(black, 3.7, 0.1) << "expected the edge at 3.7 output pixels, got " << black;
}

TEST_F(ImageProcessing, ResampleEnlargementInterpolatesInsteadOfRepeating) {
  Layout l{2, 2, 24};
  Dib src = MakeDib(l);
  Put(src.get(), l, 1, 0, 0xFFFFFF);
  Put(src.get(), l, 1, 1, 0xFFFFFF);
  Dib out(ProcessResample(src.get(), 8, 8, 0));
  ASSERT_NE(out, nullptr);
  std::vector<int> row;
  for (int x = 0; x < 8; ++x) row.push_back(GreyAt(out.get(), x, 4));
  EXPECT_EQ(row.front(), 0) << "expected black at the left border";
  EXPECT_EQ(row.back(), 255) << "expected white at the right border";
  for (int x = 2; x <= 5; ++x) {
    EXPECT_GT(row[x], 0) << "column " << x << ": expected a blend, got black";
    EXPECT_LT(row[x], 255) << "column " << x << ": expected a blend, got white";
    EXPECT_GT(row[x], row[x - 1]) << "column " << x << ": expected a rising ramp, got " << row[x - 1]
                                  << " then " << row[x];
  }
  EXPECT_EQ(row[3] + row[4], 255) << "expected a ramp symmetric about the centre, got " << row[3]
                                  << " and " << row[4];
}

TEST_F(ImageProcessing, ResampleReadsTopDownAndBottomUpAlike) {
  std::vector<DWORD> seen[2];
  for (bool topDown : {false, true}) {
    SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
    Layout l{60, 60, 24, topDown};
    Dib src = MakeDib(l);
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 60; ++x) Put(src.get(), l, x, y, y < 30 ? 0xFF0000 : 0x0000FF);
    Dib out(ProcessResample(src.get(), 3, 4, 0));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(ColourAt(out.get(), 1, 0), 0xFF0000u) << "expected red on top, got " << Hex(ColourAt(out.get(), 1, 0));
    EXPECT_EQ(ColourAt(out.get(), 1, 3), 0x0000FFu) << "expected blue below, got " << Hex(ColourAt(out.get(), 1, 3));
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 3; ++x) seen[topDown].push_back(ColourAt(out.get(), x, y));
  }
  EXPECT_EQ(seen[0], seen[1]) << "expected the same result from both row orders";
}

TEST_F(ImageProcessing, ResampleKeepsTheRatioOfTheTwoResolutions) {
  Layout l{4, 4, 24};
  Dib src = MakeDib(l);
  auto* bytes = static_cast<BYTE*>(ToviMemLock(src.get()));
  reinterpret_cast<BITMAPINFOHEADER*>(bytes)->biYPelsPerMeter = 2835 * 2;
  ToviMemUnlock(src.get());
  Dib out(ProcessResample(src.get(), 2, 2, 72));
  ASSERT_NE(out, nullptr);
  BITMAPINFOHEADER h = HeaderOf(out.get());
  EXPECT_EQ(h.biXPelsPerMeter, 72);
  EXPECT_EQ(h.biYPelsPerMeter, 144) << "expected twice the horizontal resolution, got " << h.biYPelsPerMeter;
}

TEST_F(ImageProcessing, ResampleRefusesSizesOutsideOneTo65535) {
  Layout l{4, 4, 24};
  Dib src = MakeDib(l);
  for (auto size : {std::pair<int, int>{0, 4}, {4, 0}, {-3, 4}, {65536, 1}, {1, 65536}})
    EXPECT_EQ(ProcessResample(src.get(), size.first, size.second, 0), nullptr)
        << "expected null for " << size.first << "x" << size.second;
  EXPECT_EQ(ProcessResample(nullptr, 4, 4, 0), nullptr) << "expected null for a null picture";
}

// Headers that lie about the block must be refused by every picture export.
TEST_F(ImageProcessing, HostileHeadersAreRefusedWithoutReadingPastTheBlock) {
  struct Case {
    const char* name;
    void (*spoil)(BITMAPINFOHEADER*);
    DWORD trim;  // bytes cut from the end of the block
  };
  const Case cases[] = {
      {"header size 12", [](BITMAPINFOHEADER* h) { h->biSize = 12; }, 0},
      {"header size 1000", [](BITMAPINFOHEADER* h) { h->biSize = 1000; }, 0},
      {"huge width", [](BITMAPINFOHEADER* h) { h->biWidth = 0x7FFFFFFF; }, 0},
      {"width times depth overflows", [](BITMAPINFOHEADER* h) { h->biWidth = 0x08000001; h->biBitCount = 32; }, 0},
      {"huge height", [](BITMAPINFOHEADER* h) { h->biHeight = -0x7FFFFFFF; }, 0},
      {"zero width", [](BITMAPINFOHEADER* h) { h->biWidth = 0; }, 0},
      {"zero height", [](BITMAPINFOHEADER* h) { h->biHeight = 0; }, 0},
      {"colour count past the block", [](BITMAPINFOHEADER* h) { h->biClrUsed = 0x40000001; }, 0},
      {"more colours than indices", [](BITMAPINFOHEADER* h) { h->biClrUsed = 257; }, 0},
      {"2 bits per pixel", [](BITMAPINFOHEADER* h) { h->biBitCount = 2; }, 0},
      {"run-length compressed", [](BITMAPINFOHEADER* h) { h->biCompression = BI_RLE8; }, 0},
      {"one byte short", [](BITMAPINFOHEADER*) {}, 1},
  };
  Layout l{16, 16, 8};
  l.palette = GreyRamp();
  const DWORD full = DWORD(BitsOffset(l) + StrideOf(16, 8) * 16);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Dib dib(ToviMemAlloc(TOVI_MOVABLE_ZERO, full - c.trim));
    ASSERT_EQ(ToviMemSize(dib.get()), full - c.trim) << "the block must be exactly as large as asked";
    Dib good = MakeDib(l);
    auto* to = static_cast<BYTE*>(ToviMemLock(dib.get()));
    auto* from = static_cast<BYTE*>(ToviMemLock(good.get()));
    std::memcpy(to, from, full - c.trim);
    c.spoil(reinterpret_cast<BITMAPINFOHEADER*>(to));
    ToviMemUnlock(good.get());
    ToviMemUnlock(dib.get());

    EXPECT_EQ(ProcessResample(dib.get(), 8, 8, 0), nullptr);
    EXPECT_EQ(ProcessConvertTo24BitColor(dib.get()), nullptr);
    EXPECT_EQ(ProcessConvertToGrayScale(dib.get()), nullptr);
    EXPECT_EQ(ProcessNegative(dib.get()), nullptr);
    EXPECT_EQ(ProcessBrightnessScale(dib.get(), -192), nullptr);
    EXPECT_EQ(IsDibGray(dib.get()), 0);
    int w = -1, h = -1;
    GetDibSize(dib.get(), &w, &h);
    EXPECT_TRUE(w == 0 && h == 0) << "expected 0x0, got " << w << "x" << h;
  }
  // A deep picture's optional colour table still has to fit.
  Layout deep{4, 4, 24};
  Dib dib = MakeDib(deep);
  auto* bytes = static_cast<BYTE*>(ToviMemLock(dib.get()));
  reinterpret_cast<BITMAPINFOHEADER*>(bytes)->biClrUsed = 0x3FFFFFFF;
  ToviMemUnlock(dib.get());
  EXPECT_EQ(ProcessConvertTo24BitColor(dib.get()), nullptr) << "expected a colour table past the block refused";
  // Bit fields must be single runs of bits.
  Layout gaps{4, 4, 16, false, BI_BITFIELDS, {0xF00F, 0x0F00, 0x00F0}};
  Dib gapped = MakeDib(gaps);
  EXPECT_EQ(ProcessConvertTo24BitColor(gapped.get()), nullptr) << "expected a split mask refused";
}

// ---------------------------------------------------------------------------
// Conversions and tone changes

TEST_F(ImageProcessing, ConvertTo24BitDecodesEachDepth) {
  Layout pal4{3, 2, 4, true};
  pal4.palette = {Rgb(1, 2, 3), Rgb(4, 5, 6), Rgb(250, 128, 7)};
  Dib four = MakeDib(pal4);
  Put(four.get(), pal4, 0, 0, 2);
  Put(four.get(), pal4, 1, 0, 1);
  Put(four.get(), pal4, 2, 1, 2);
  Dib out(ProcessConvertTo24BitColor(four.get()));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(HeaderOf(out.get()).biBitCount, 24);
  EXPECT_EQ(ColourAt(out.get(), 0, 0), 0xFA8007u) << "got " << Hex(ColourAt(out.get(), 0, 0));
  EXPECT_EQ(ColourAt(out.get(), 1, 0), 0x040506u) << "got " << Hex(ColourAt(out.get(), 1, 0));
  EXPECT_EQ(ColourAt(out.get(), 0, 1), 0x010203u) << "got " << Hex(ColourAt(out.get(), 0, 1));
  EXPECT_EQ(ColourAt(out.get(), 2, 1), 0xFA8007u) << "got " << Hex(ColourAt(out.get(), 2, 1));

  Layout fields{2, 1, 16, false, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}};
  Dib sixteen = MakeDib(fields);
  Put(sixteen.get(), fields, 0, 0, 0xF800);
  Put(sixteen.get(), fields, 1, 0, 0x001F);
  Dib wide(ProcessConvertTo24BitColor(sixteen.get()));
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(ColourAt(wide.get(), 0, 0), 0xFF0000u) << "got " << Hex(ColourAt(wide.get(), 0, 0));
  EXPECT_EQ(ColourAt(wide.get(), 1, 0), 0x0000FFu) << "got " << Hex(ColourAt(wide.get(), 1, 0));
}

TEST_F(ImageProcessing, GreyScaleUsesLumaWeights) {
  Layout l{5, 1, 32};
  Dib src = MakeDib(l);
  const DWORD colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x808080};
  const int expected[] = {76, 150, 29, 255, 128};
  for (int x = 0; x < 5; ++x) Put(src.get(), l, x, 0, colours[x]);
  Dib grey(ProcessConvertToGrayScale(src.get()));
  ASSERT_NE(grey, nullptr);
  EXPECT_EQ(HeaderOf(grey.get()).biBitCount, 8);
  EXPECT_NE(IsDibGray(grey.get()), 0) << "expected a grey palette";
  for (int x = 0; x < 5; ++x)
    EXPECT_EQ(GreyAt(grey.get(), x, 0), expected[x])
        << Hex(colours[x]) << ": expected " << expected[x] << ", got " << GreyAt(grey.get(), x, 0);
}

TEST_F(ImageProcessing, NegativeKeepsTheDepthAndLeavesTheSourceAlone) {
  Layout rgb{2, 1, 24};
  Dib src = MakeDib(rgb);
  Put(src.get(), rgb, 0, 0, 0x0A141E);
  Dib neg(ProcessNegative(src.get()));
  ASSERT_NE(neg, nullptr);
  EXPECT_EQ(ColourAt(neg.get(), 0, 0), 0xF5EBE1u) << "got " << Hex(ColourAt(neg.get(), 0, 0));
  EXPECT_EQ(ColourAt(neg.get(), 1, 0), 0xFFFFFFu) << "got " << Hex(ColourAt(neg.get(), 1, 0));
  EXPECT_EQ(ColourAt(src.get(), 0, 0), 0x0A141Eu) << "expected the source unchanged";

  // A grey ramp picture inverts its indices and keeps the ramp, so the
  // indices still read as tones.
  Layout ramp{2, 1, 8};
  ramp.palette = GreyRamp();
  Dib grey = MakeDib(ramp);
  Put(grey.get(), ramp, 0, 0, 40);
  Dib greyNeg(ProcessNegative(grey.get()));
  ASSERT_NE(greyNeg, nullptr);
  EXPECT_EQ(HeaderOf(greyNeg.get()).biBitCount, 8);
  EXPECT_NE(IsDibGray(greyNeg.get()), 0) << "expected grey to stay grey";
  EXPECT_EQ(GreyAt(greyNeg.get(), 0, 0), 215) << "got " << GreyAt(greyNeg.get(), 0, 0);
  auto* negBytes = static_cast<BYTE*>(ToviMemLock(greyNeg.get()));
  const BYTE index = negBytes[BitsOffset(ramp)];
  const RGBQUAD entry = reinterpret_cast<const RGBQUAD*>(negBytes + sizeof(BITMAPINFOHEADER))[77];
  ToviMemUnlock(greyNeg.get());
  EXPECT_EQ(index, 215) << "expected the index inverted, got " << int(index);
  EXPECT_EQ(entry.rgbRed, 77) << "expected the ramp kept, got entry 77 = " << int(entry.rgbRed);

  // Any other palette picture inverts its palette; the indices stay.
  Layout pal{2, 1, 4};
  pal.palette = {Rgb(0, 0, 0), Rgb(10, 100, 200)};
  Dib four = MakeDib(pal);
  Put(four.get(), pal, 1, 0, 1);
  Dib fourNeg(ProcessNegative(four.get()));
  ASSERT_NE(fourNeg, nullptr);
  EXPECT_EQ(HeaderOf(fourNeg.get()).biBitCount, 4);
  EXPECT_EQ(HeaderOf(fourNeg.get()).biClrUsed, 2u) << "expected the palette size kept";
  auto* fourBytes = static_cast<BYTE*>(ToviMemLock(fourNeg.get()));
  const RGBQUAD second = reinterpret_cast<const RGBQUAD*>(fourBytes + sizeof(BITMAPINFOHEADER))[1];
  const BYTE pixels = fourBytes[BitsOffset(pal)];
  ToviMemUnlock(fourNeg.get());
  EXPECT_TRUE(second.rgbRed == 245 && second.rgbGreen == 155 && second.rgbBlue == 55)
      << "expected entry 1 = 245,155,55, got " << int(second.rgbRed) << "," << int(second.rgbGreen) << ","
      << int(second.rgbBlue);
  EXPECT_EQ(pixels, 0x01) << "expected the indices unchanged";

  // 16 and 32 bits: colour bits invert, the unused bits are kept.
  Layout s16{1, 1, 16};
  Dib p16 = MakeDib(s16);
  Put(p16.get(), s16, 0, 0, 0x8000 | 0x7C00);
  Dib n16(ProcessNegative(p16.get()));
  ASSERT_NE(n16, nullptr);
  auto* b16 = static_cast<BYTE*>(ToviMemLock(n16.get()));
  WORD v16;
  std::memcpy(&v16, b16 + sizeof(BITMAPINFOHEADER), 2);
  ToviMemUnlock(n16.get());
  EXPECT_EQ(v16, 0x8000 | 0x03FF) << "expected 0x83FF, got 0x" << Hex(v16);

  Layout s32{1, 1, 32};
  Dib p32 = MakeDib(s32);
  Put(p32.get(), s32, 0, 0, 0x7F102030);
  Dib n32(ProcessNegative(p32.get()));
  ASSERT_NE(n32, nullptr);
  auto* b32 = static_cast<BYTE*>(ToviMemLock(n32.get()));
  DWORD v32;
  std::memcpy(&v32, b32 + sizeof(BITMAPINFOHEADER), 4);
  ToviMemUnlock(n32.get());
  EXPECT_EQ(v32, 0x7FEFDFCFu) << "expected 7FEFDFCF, got " << Hex(v32);
}

TEST_F(ImageProcessing, BrightnessScaleMovesTonesTowardsBlackOrWhite) {
  Layout l{3, 1, 8};
  l.palette = GreyRamp();
  Dib src = MakeDib(l);
  Put(src.get(), l, 0, 0, 255);
  Put(src.get(), l, 1, 0, 128);
  Put(src.get(), l, 2, 0, 0);
  struct Case {
    int amount;
    int expected[3];
  };
  const Case cases[] = {
      {-192, {63, 32, 0}}, {0, {255, 128, 0}}, {-255, {0, 0, 0}}, {255, {255, 255, 255}}, {128, {255, 192, 128}}};
  for (const Case& c : cases) {
    Dib out(ProcessBrightnessScale(src.get(), c.amount));
    ASSERT_NE(out, nullptr) << "amount " << c.amount;
    EXPECT_EQ(HeaderOf(out.get()).biBitCount, 8) << "expected the depth kept";
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(GreyAt(out.get(), x, 0), c.expected[x]) << "amount " << c.amount << ", pixel " << x
                                                         << ": expected " << c.expected[x] << ", got "
                                                         << GreyAt(out.get(), x, 0);
  }
  EXPECT_EQ(ProcessBrightnessScale(src.get(), 256), nullptr) << "expected an amount past 255 refused";
  EXPECT_EQ(ProcessBrightnessScale(src.get(), -256), nullptr) << "expected an amount below -255 refused";
}

// The order in which brush pictures are prepared: grey, reduce, invert,
// soften. Every step must keep a plain grey ramp with the tone in the index.
TEST_F(ImageProcessing, BrushPreparationChainKeepsToneInTheIndices) {
  Layout l{1000, 500, 24};
  Dib src = MakeDib(l);
  Fill(src.get(), l, 0xC86432);  // luma 124
  ASSERT_EQ(IsDibGray(src.get()), 0);
  Dib grey(ProcessConvertToGrayScale(src.get()));
  ASSERT_NE(grey, nullptr);
  Dib small(ProcessResample(grey.get(), 128, 64, 2835));
  ASSERT_NE(small, nullptr);
  Dib inverted(ProcessNegative(small.get()));
  ASSERT_NE(inverted, nullptr);
  Dib soft(ProcessBrightnessScale(inverted.get(), -192));
  ASSERT_NE(soft, nullptr);

  int w = 0, h = 0;
  GetDibSize(soft.get(), &w, &h);
  EXPECT_TRUE(w == 128 && h == 64) << "expected 128x64, got " << w << "x" << h;
  EXPECT_NE(IsDibGray(soft.get()), 0);
  auto* bytes = static_cast<BYTE*>(ToviMemLock(soft.get()));
  const auto* palette = reinterpret_cast<const RGBQUAD*>(bytes + sizeof(BITMAPINFOHEADER));
  const BYTE* bits = bytes + sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);
  int ramp = 0, wrong = 0;
  for (int i = 0; i < 256; ++i) ramp += palette[i].rgbRed == i && palette[i].rgbBlue == i;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 128; ++x) wrong += bits[y * 128 + x] != 32;
  ToviMemUnlock(soft.get());
  EXPECT_EQ(ramp, 256) << "expected a plain grey ramp";
  EXPECT_EQ(wrong, 0) << "expected every index 32 (124 inverted to 131, times 63/255), got " << wrong
                      << " others";
}

TEST_F(ImageProcessing, IsDibGrayAndGetDibSize) {
  Layout grey{7, 5, 8, true};
  grey.palette = GreyRamp();
  Dib g = MakeDib(grey);
  EXPECT_NE(IsDibGray(g.get()), 0) << "expected a grey palette to count as grey";
  int w = 0, h = 0;
  GetDibSize(g.get(), &w, &h);
  EXPECT_TRUE(w == 7 && h == 5) << "expected 7x5 for a top-down picture, got " << w << "x" << h;
  GetDibSize(g.get(), nullptr, &h);  // either out may be left out

  Layout tinted = grey;
  tinted.palette[17] = Rgb(17, 17, 18);
  Dib t = MakeDib(tinted);
  EXPECT_EQ(IsDibGray(t.get()), 0) << "expected one coloured entry to break grey";
  Layout small{2, 2, 8};
  small.palette = {Rgb(0, 0, 0), Rgb(90, 90, 90)};
  Dib s = MakeDib(small);
  EXPECT_NE(IsDibGray(s.get()), 0) << "expected a short grey palette to count as grey";
  Layout bw{8, 1, 1};
  bw.palette = {Rgb(0, 0, 0), Rgb(255, 255, 255)};
  Dib b = MakeDib(bw);
  EXPECT_EQ(IsDibGray(b.get()), 0) << "expected only 8-bit pictures to count";
  Layout rgb{2, 2, 24};
  Dib c = MakeDib(rgb);
  EXPECT_EQ(IsDibGray(c.get()), 0) << "expected 24 bits not to count";
  EXPECT_EQ(IsDibGray(nullptr), 0);
  GetDibSize(nullptr, &w, &h);
  EXPECT_TRUE(w == 0 && h == 0) << "expected 0x0 for no picture, got " << w << "x" << h;
}

// ---------------------------------------------------------------------------
// Brush and stamp marks

class TempFolder {
 public:
  TempFolder() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    for (int n = 0; n < 1000 && path_.empty(); ++n) {
      std::string candidate = std::string(base) + "pixamo-test-" + std::to_string(GetCurrentProcessId()) +
                              "-" + std::to_string(n);
      if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
    }
  }
  ~TempFolder() {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA(File(found.cFileName).c_str());
      } while (FindNextFileA(find, &found));
      FindClose(find);
    }
    RemoveDirectoryA(path_.c_str());
  }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::vector<BYTE> ReadAll(const std::string& path) {
  std::vector<BYTE> bytes;
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(f, nullptr));
  DWORD done = 0;
  if (!bytes.empty()) ReadFile(f, bytes.data(), DWORD(bytes.size()), &done, nullptr);
  CloseHandle(f);
  bytes.resize(done);
  return bytes;
}

void WriteAll(const std::string& path, const std::vector<BYTE>& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE) << "could not write " << path;
  DWORD done = 0;
  WriteFile(f, bytes.data(), DWORD(bytes.size()), &done, nullptr);
  CloseHandle(f);
  ASSERT_EQ(done, bytes.size());
}

// A 24-bit bitmap file of 5x3 pixels with distinct colours.
std::vector<BYTE> BitmapFile() {
  Layout l{5, 3, 24};
  Dib dib = MakeDib(l);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) Put(dib.get(), l, x, y, DWORD(0x102030 * (1 + x + 5 * y)) & 0xFFFFFF);
  DWORD size = ToviMemSize(dib.get());
  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;
  fh.bfSize = DWORD(sizeof fh + size);
  fh.bfOffBits = DWORD(sizeof fh + sizeof(BITMAPINFOHEADER));
  std::vector<BYTE> file(sizeof fh + size);
  std::memcpy(file.data(), &fh, sizeof fh);
  std::memcpy(file.data() + sizeof fh, ToviMemLock(dib.get()), size);
  ToviMemUnlock(dib.get());
  return file;
}

const std::vector<BYTE> kPng = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x08, 0x02, 0x00, 0x00, 0x00, 0xFD, 0xD4, 0x9A,
    0x73, 0x00, 0x00, 0x00, 0x12, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0xF8, 0xCF, 0xC0, 0xC0,
    0x00, 0xC2, 0x0C, 0xFF, 0x81, 0x00, 0x00, 0x1F, 0xEE, 0x05, 0xFB, 0xF1, 0xAB, 0xBA, 0x77, 0x00,
    0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

// Width and height as the platform's PNG decoder reads the file; 0x0 when it
// cannot.
std::pair<UINT, UINT> DecodedSize(const std::string& path) {
  UINT w = 0, h = 0;
  HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IWICImagingFactory* factory = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)))) {
    std::wstring wide(path.begin(), path.end());
    IWICBitmapDecoder* decoder = nullptr;
    if (SUCCEEDED(factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand, &decoder))) {
      IWICBitmapFrameDecode* frame = nullptr;
      if (SUCCEEDED(decoder->GetFrame(0, &frame))) {
        frame->GetSize(&w, &h);
        frame->Release();
      }
      decoder->Release();
    }
    factory->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return {w, h};
}

TEST(PictureMarks, BitmapKeepsBrushAndStampMarksInItsHeader) {
  TempFolder folder;
  const std::string path = folder.File("brush.bmp");
  const std::vector<BYTE> original = BitmapFile();
  WriteAll(path, original);

  BYTE first = 1, second = 1;
  EXPECT_EQ(IsTaggedBrushFile(path.c_str(), &first, &second), 0) << "expected a fresh bitmap unmarked";
  EXPECT_TRUE(first == 0 && second == 0) << "expected the outs cleared, got " << int(first) << "," << int(second);
  EXPECT_EQ(IsTaggedStampFile(path.c_str()), 0);

  ASSERT_EQ(TagBrushFile(path.c_str(), 12, 200), 1);
  EXPECT_EQ(IsTaggedBrushFile(path.c_str(), &first, &second), 1);
  EXPECT_TRUE(first == 12 && second == 200) << "expected 12,200, got " << int(first) << "," << int(second);
  EXPECT_EQ(IsTaggedStampFile(path.c_str()), 0) << "expected a brush not to read as a stamp";
  EXPECT_EQ(IsTaggedBrushFile(path.c_str(), nullptr, nullptr), 1) << "expected both outs optional";

  std::vector<BYTE> marked = ReadAll(path);
  ASSERT_EQ(marked.size(), original.size()) << "expected the size kept";
  for (size_t i = 0; i < marked.size(); ++i) {
    if (i < 6 || i > 9) {
      ASSERT_EQ(marked[i], original[i]) << "byte " << i << " changed";
    }
  }

  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  ASSERT_NE(bitmap, nullptr) << "expected the marked file to load as a bitmap";
  BITMAP info = {};
  GetObjectA(bitmap, sizeof info, &info);
  DeleteObject(bitmap);
  EXPECT_TRUE(info.bmWidth == 5 && info.bmHeight == 3) << "expected 5x3, got " << info.bmWidth << "x" << info.bmHeight;

  // One mark a file: a stamp replaces the brush and the other way round.
  ASSERT_EQ(TagStampFile(path.c_str()), 1);
  EXPECT_EQ(IsTaggedStampFile(path.c_str()), 1);
  EXPECT_EQ(IsTaggedBrushFile(path.c_str(), &first, &second), 0) << "expected the stamp to replace the brush";
  ASSERT_EQ(TagBrushFile(path.c_str(), 3, 4), 1);
  EXPECT_EQ(IsTaggedStampFile(path.c_str()), 0) << "expected the brush to replace the stamp";
  EXPECT_EQ(IsTaggedBrushFile(path.c_str(), &first, &second), 1);
  EXPECT_TRUE(first == 3 && second == 4) << "expected 3,4, got " << int(first) << "," << int(second);
}

TEST(PictureMarks, OtherFormatsCarryOneTrailerAfterThePicture) {
  TempFolder folder;
  const std::string path = folder.File("stamp.png");
  WriteAll(path, kPng);
  EXPECT_EQ(IsTaggedStampFile(path.c_str()), 0);

  ASSERT_EQ(TagStampFile(path.c_str()), 1);
  EXPECT_EQ(IsTaggedStampFile(path.c_str()), 1);
  EXPECT_EQ(IsTaggedBrushFile(path.c_str(), nullptr, nullptr), 0);
  ASSERT_EQ(TagBrushFile(path.c_str(), 64, 32), 1);
  ASSERT_EQ(TagBrushFile(path.c_str(), 65, 33), 1);
  BYTE first = 0, second = 0;
  EXPECT_EQ(IsTaggedBrushFile(path.c_str(), &first, &second), 1);
  EXPECT_TRUE(first == 65 && second == 33) << "expected 65,33, got " << int(first) << "," << int(second);
  EXPECT_EQ(IsTaggedStampFile(path.c_str()), 0) << "expected the brush to replace the stamp";

  std::vector<BYTE> marked = ReadAll(path);
  EXPECT_EQ(marked.size(), kPng.size() + 16) << "expected one trailer after three marks";
  EXPECT_TRUE(std::equal(kPng.begin(), kPng.end(), marked.begin())) << "expected the picture bytes unchanged";
  auto size = DecodedSize(path);
  EXPECT_TRUE(size.first == 2 && size.second == 2)
      << "expected the marked PNG to decode as 2x2, got " << size.first << "x" << size.second;

  // A text that starts like a bitmap is not written into.
  const std::string text = folder.File("notes.txt");
  std::vector<BYTE> words(40, 'x');
  words[0] = 'B';
  words[1] = 'M';
  WriteAll(text, words);
  ASSERT_EQ(TagStampFile(text.c_str()), 1);
  std::vector<BYTE> after = ReadAll(text);
  EXPECT_TRUE(after.size() == words.size() + 16 && std::equal(words.begin(), words.end(), after.begin()))
      << "expected the text untouched and a trailer added";
}

TEST(PictureMarks, MissingEmptyAndEndReadFilesAreNotMarked) {
  TempFolder folder;
  const std::string missing = folder.File("missing.bmp");
  EXPECT_EQ(TagBrushFile(missing.c_str(), 1, 2), 0);
  EXPECT_EQ(TagStampFile(missing.c_str()), 0);
  EXPECT_EQ(IsTaggedBrushFile(missing.c_str(), nullptr, nullptr), 0);
  EXPECT_EQ(IsTaggedStampFile(missing.c_str()), 0);
  EXPECT_EQ(GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES) << "expected no file created";
  EXPECT_EQ(TagStampFile(nullptr), 0);
  EXPECT_EQ(IsTaggedStampFile(nullptr), 0);

  const std::string empty = folder.File("empty.png");
  WriteAll(empty, {});
  EXPECT_EQ(TagStampFile(empty.c_str()), 0);
  EXPECT_EQ(ReadAll(empty).size(), 0u) << "expected the empty file left empty";

  // A PCX keeps its palette in the last 769 bytes.
  const std::string pcx = folder.File("art.pcx");
  std::vector<BYTE> bytes(900, 0);
  bytes[0] = 0x0A;
  bytes[1] = 5;
  bytes[2] = 1;
  bytes[3] = 8;
  WriteAll(pcx, bytes);
  EXPECT_EQ(TagBrushFile(pcx.c_str(), 1, 1), 0);
  EXPECT_EQ(ReadAll(pcx).size(), bytes.size()) << "expected the PCX file unchanged";
}

// ---------------------------------------------------------------------------
// Stop query

using SetAbortFuncProc = QILABORTFUNC (*)(QILABORTFUNC);

int StopNow() { return 1; }
int GoOn() { return 0; }

void DrainKeys() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
}

TEST(StopQuery, EscapeWaitingInTheQueueStopsOnceAndOtherKeysStay) {
  DrainKeys();
  EXPECT_EQ(AbortPictureProcessing(), 0) << "expected no stop with nothing waiting";
  ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_KEYDOWN, VK_ESCAPE, 0));
  EXPECT_NE(AbortPictureProcessing(), 0) << "expected Escape to stop";
  EXPECT_EQ(AbortPictureProcessing(), 0) << "expected the Escape press taken from the queue";

  ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_KEYDOWN, 'A', 0));
  EXPECT_EQ(AbortPictureProcessing(), 0) << "expected another key not to stop";
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE)) << "expected the key left waiting";
  EXPECT_EQ(msg.wParam, WPARAM('A'));
}

TEST(StopQuery, InstalledTestDecides) {
  auto setAbortFunc = reinterpret_cast<SetAbortFuncProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("QILDLL.dll"), "SetAbortFunc")));
  if (!setAbortFunc) GTEST_SKIP() << "this image services build installs no stop test";
  DrainKeys();
  QILABORTFUNC previous = setAbortFunc(StopNow);
  EXPECT_NE(AbortPictureProcessing(), 0) << "expected a test answering 1 to stop";
  setAbortFunc(GoOn);
  EXPECT_EQ(AbortPictureProcessing(), 0) << "expected a test answering 0 not to stop";
  setAbortFunc(previous);
}

TEST(StopQuery, PerItemFormAsksTheTestEveryTimeAndTheKeyboardOncePerInterval) {
  auto setAbortFunc = reinterpret_cast<SetAbortFuncProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("QILDLL.dll"), "SetAbortFunc")));
  DrainKeys();
  EXPECT_EQ(AbortPictureProcessingEvery(0), 0) << "expected no stop with nothing waiting";
  ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_KEYDOWN, VK_ESCAPE, 0));
  EXPECT_EQ(AbortPictureProcessingEvery(60000), 0) << "expected the keyboard not looked at again within the interval";
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE)) << "expected the Escape press kept";
  if (setAbortFunc) {
    QILABORTFUNC previous = setAbortFunc(StopNow);
    EXPECT_NE(AbortPictureProcessingEvery(60000), 0) << "expected the installed test asked on every call";
    setAbortFunc(previous);
  }
  EXPECT_NE(AbortPictureProcessingEvery(0), 0) << "expected Escape to stop once the keyboard is looked at";
  EXPECT_EQ(AbortPictureProcessingEvery(0), 0) << "expected the Escape press taken from the queue";

  // A loop asking once per item sees an Escape press within the interval.
  const DWORD interval = 30;
  ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_KEYDOWN, VK_ESCAPE, 0));
  DWORD posted = GetTickCount();
  int answer = 0;
  while (!answer && GetTickCount() - posted < 5000) answer = AbortPictureProcessingEvery(interval);
  EXPECT_NE(answer, 0) << "expected Escape seen by a loop asking per item";
  EXPECT_LE(GetTickCount() - posted, 10 * interval) << "expected Escape seen within a few intervals of its coming";
}

// A plain top-level window on the calling thread. It stays hidden: under
// Wine a shown window that takes the foreground gets the X focus a moment
// later, and the X11 driver then sets the key state to the X server's
// keyboard, where no Escape is held.
HWND MakePlainWindow(const char* title) {
  return CreateWindowExA(0, "STATIC", title, WS_OVERLAPPEDWINDOW, 40, 40, 200, 120, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

// A top-level window on a thread of its own that makes itself the
// foreground window and keeps its queue moving until it is closed.
class WindowOnAnotherThread {
public:
  WindowOnAnotherThread() {
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
    if (thread_) WaitForSingleObject(ready_, 10000);
  }
  ~WindowOnAnotherThread() {
    if (thread_) {
      PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
      WaitForSingleObject(thread_, 10000);
      CloseHandle(thread_);
    }
    CloseHandle(ready_);
  }
  WindowOnAnotherThread(const WindowOnAnotherThread&) = delete;
  WindowOnAnotherThread& operator=(const WindowOnAnotherThread&) = delete;

  HWND window() const { return window_; }
  bool foreground() const { return foreground_; }

private:
  static DWORD WINAPI Run(void* parameter) {
    auto* self = static_cast<WindowOnAnotherThread*>(parameter);
    HWND window = MakePlainWindow("another thread");
    self->window_ = window;
    self->foreground_ = window && msgseq::MakeForeground(window);
    SetEvent(self->ready_);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    if (window) DestroyWindow(window);
    return 0;
  }

  HANDLE ready_ = nullptr;
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  HWND window_ = nullptr;
  bool foreground_ = false;
};

// Escape held by the user's keyboard, released at the end of the scope.
class HeldEscape {
public:
  HeldEscape() { msgseq::KeyDown(VK_ESCAPE); }
  ~HeldEscape() {
    msgseq::KeyUp(VK_ESCAPE);
    DrainKeys();
  }
  HeldEscape(const HeldEscape&) = delete;
  HeldEscape& operator=(const HeldEscape&) = delete;
  bool held() const { return (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0; }
};

TEST(StopQuery, HeldEscapeStopsOnlyWhileTheCallersWindowIsActive) {
  HWND own = MakePlainWindow("own");
  ASSERT_NE(own, nullptr);
  ASSERT_TRUE(msgseq::MakeForeground(own));
  {
    HeldEscape escape;
    ASSERT_TRUE(escape.held());
    EXPECT_NE(AbortPictureProcessing(), 0) << "expected Escape held over our own window to stop";
  }
  EXPECT_EQ(AbortPictureProcessing(), 0) << "expected no stop once Escape is released";

  {
    WindowOnAnotherThread other;
    ASSERT_TRUE(other.foreground()) << "expected the other thread's window in front";
    HeldEscape escape;
    ASSERT_TRUE(escape.held());
    EXPECT_EQ(AbortPictureProcessing(), 0) << "expected Escape meant for another thread's window not to stop";
  }
  DestroyWindow(own);
}

// ---------------------------------------------------------------------------
// Long path names

TEST(LongPathNames, ShortNamesExpandAndOthersAreCopiedWithinTheBuffer) {
  TempFolder folder;
  char longFolder[MAX_PATH];
  ASSERT_GT(GetLongPathNameA(folder.path().c_str(), longFolder, MAX_PATH), 0u);
  const std::string longPath = std::string(longFolder) + "\\A rather long picture name.jpeg";
  WriteAll(longPath, {1, 2, 3});
  char shortPath[MAX_PATH];
  ASSERT_GT(GetShortPathNameA(longPath.c_str(), shortPath, MAX_PATH), 0u);
  ASSERT_STRCASENE(shortPath, longPath.c_str()) << "the platform gave no short name to expand";

  struct Guarded {
    char out[MAX_PATH];
    char guard[16];
  } buffer;
  std::memset(&buffer, '#', sizeof buffer);
  ExpandLongPathName(shortPath, buffer.out);
  EXPECT_STRCASEEQ(buffer.out, longPath.c_str()) << "expected the long name back from " << shortPath;

  const std::string missing = folder.path() + "\\NOSUCH~1.JPG";
  ExpandLongPathName(missing.c_str(), buffer.out);
  EXPECT_STREQ(buffer.out, missing.c_str()) << "expected a missing file's path copied";

  const std::string tooLong(MAX_PATH + 40, 'a');
  ExpandLongPathName(tooLong.c_str(), buffer.out);
  EXPECT_STREQ(buffer.out, "") << "expected an empty result for a path longer than the buffer";
  EXPECT_EQ(std::string(buffer.guard, sizeof buffer.guard), std::string(sizeof buffer.guard, '#'))
      << "expected nothing written past the buffer";
}

// ---------------------------------------------------------------------------
// Modal levels

TEST(ModalLevels, LevelsNestAndStaleTokensAreIgnored) {
  const int base = IsLockedForModal();
  void* outer = LockupForModal();
  void* inner = LockupForModal();
  ASSERT_NE(outer, nullptr);
  ASSERT_NE(inner, nullptr);
  EXPECT_NE(outer, inner) << "expected each level its own token";
  EXPECT_EQ(IsLockedForModal(), base + 2);

  UnlockForModal(inner);
  EXPECT_EQ(IsLockedForModal(), base + 1);
  UnlockForModal(inner);
  UnlockForModal(nullptr);
  EXPECT_EQ(IsLockedForModal(), base + 1) << "expected a stale or null token ignored";
  UnlockForModal(outer);
  EXPECT_EQ(IsLockedForModal(), base);
  UnlockForModal(outer);
  EXPECT_EQ(IsLockedForModal(), base) << "expected no underflow";

  void* again = LockupForModal();
  EXPECT_NE(again, outer) << "expected a new level not to reuse a closed token";
  UnlockForModal(outer);
  EXPECT_EQ(IsLockedForModal(), base + 1) << "expected the old token not to close the new level";
  UnlockForModal(again);
  EXPECT_EQ(IsLockedForModal(), base);
}

TEST(ModalLevels, ClosingAnOuterLevelFirstKeepsTheInnerOnesOpen) {
  const int base = IsLockedForModal();
  void* a = LockupForModal();
  void* b = LockupForModal();
  void* c = LockupForModal();
  UnlockForModal(a);
  EXPECT_EQ(IsLockedForModal(), base + 2) << "expected only the outer level closed";
  UnlockForModal(c);
  EXPECT_EQ(IsLockedForModal(), base + 1);
  UnlockForModal(b);
  EXPECT_EQ(IsLockedForModal(), base) << "expected every level closed";
}

}  // namespace
