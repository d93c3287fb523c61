// Resampling in two separable passes with integer weights.
//
// Along an axis that shrinks, every output pixel is the exact area average
// of the source pixels under it: a source pixel that straddles two outputs
// gives each the fraction it covers. Each source pixel is read once (twice at
// a boundary), which keeps the 4000 x 3000 -> 80 x 60 thumbnail path cheap.
// Along an axis that grows, outputs interpolate linearly between the two
// nearest source centres, so enlarged pictures are smooth rather than blocky.
//
// Weights of one output sum to exactly 1 << kWeightBits, so a flat area stays
// exactly flat. The horizontal pass keeps 8 fractional bits per sample (8.8
// fixed point) for the vertical pass, which accumulates in 64 bits.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "Dib.h"
#include "pixamo.h"

namespace pixamo {
namespace {

constexpr int kWeightBits = 22;
constexpr uint32_t kWeightOne = 1u << kWeightBits;
// Horizontal sums carry kWeightBits; keep 8 of them for the vertical pass.
constexpr int kHorizontalShift = kWeightBits - 8;
constexpr int kVerticalShift = kWeightBits + 8;

struct AxisWeights {
  std::vector<int> first;       // first source index of each output
  std::vector<int> count;       // number of source indices
  std::vector<int> offset;      // into weights
  std::vector<uint32_t> weights;
  int maxCount = 0;
};

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// Gives the rounding remainder to the heaviest weight so the sum is exact.
void Normalise(uint32_t* w, int n) {
  uint64_t sum = 0;
  int heaviest = 0;
  for (int i = 0; i < n; ++i) {
    sum += w[i];
    if (w[i] > w[heaviest]) heaviest = i;
  }
  w[heaviest] = static_cast<uint32_t>(w[heaviest] + (static_cast<int64_t>(kWeightOne) - static_cast<int64_t>(sum)));
}

void BuildAxis(int src, int out, AxisWeights* axis) {
  axis->first.resize(out);
  axis->count.resize(out);
  axis->offset.resize(out);
  axis->weights.clear();
  axis->weights.reserve(out < src ? static_cast<size_t>(src) + out : static_cast<size_t>(out) * 2);
  for (int o = 0; o < out; ++o) {
    axis->offset[o] = static_cast<int>(axis->weights.size());
    if (out < src) {
      // In units of 1/out of a source pixel, output o covers
      // [o*src, (o+1)*src) and source pixel i covers [i*out, (i+1)*out).
      int64_t lo = static_cast<int64_t>(o) * src;
      int64_t hi = lo + src;
      int i0 = static_cast<int>(lo / out);
      int i1 = static_cast<int>((hi - 1) / out);
      for (int i = i0; i <= i1; ++i) {
        int64_t a = std::max<int64_t>(lo, static_cast<int64_t>(i) * out);
        int64_t b = std::min<int64_t>(hi, static_cast<int64_t>(i + 1) * out);
        uint64_t w = ((static_cast<uint64_t>(b - a) << kWeightBits) + src / 2) / src;
        axis->weights.push_back(static_cast<uint32_t>(w));
      }
      axis->first[o] = i0;
      axis->count[o] = i1 - i0 + 1;
    } else {
      // Output centre (o + 0.5) * src / out - 0.5, as a fraction over 2*out.
      int64_t num = (2 * static_cast<int64_t>(o) + 1) * src - out;
      int64_t den = 2 * static_cast<int64_t>(out);
      int64_t i0 = FloorDiv(num, den);
      int64_t rem = num - i0 * den;
      uint32_t w1 = static_cast<uint32_t>(((static_cast<uint64_t>(rem) << kWeightBits) + den / 2) / den);
      if (i0 < 0) {
        i0 = 0;
        w1 = 0;
      } else if (i0 >= src - 1) {
        i0 = src - 1;
        w1 = 0;
      }
      axis->first[o] = static_cast<int>(i0);
      if (w1 == 0 || w1 >= kWeightOne) {
        if (w1 >= kWeightOne) axis->first[o] = static_cast<int>(i0 + 1);
        axis->count[o] = 1;
        axis->weights.push_back(kWeightOne);
      } else {
        axis->count[o] = 2;
        axis->weights.push_back(kWeightOne - w1);
        axis->weights.push_back(w1);
      }
    }
    Normalise(&axis->weights[axis->offset[o]], axis->count[o]);
    axis->maxCount = std::max(axis->maxCount, axis->count[o]);
  }
}

template <int Channels>
void ResampleRow(const BYTE* src, const AxisWeights& axis, int outWidth, uint16_t* out) {
  const uint32_t* weights = axis.weights.data();
  for (int o = 0; o < outWidth; ++o) {
    const BYTE* p = src + static_cast<size_t>(axis.first[o]) * Channels;
    const uint32_t* w = weights + axis.offset[o];
    const int n = axis.count[o];
    uint32_t acc[Channels] = {};
    for (int k = 0; k < n; ++k, p += Channels) {
      for (int c = 0; c < Channels; ++c) acc[c] += w[k] * p[c];
    }
    for (int c = 0; c < Channels; ++c)
      out[o * Channels + c] =
          static_cast<uint16_t>((acc[c] + (1u << (kHorizontalShift - 1))) >> kHorizontalShift);
  }
}

HTOVIMEM Resample(const DibInfo& info, int width, int height, LONG xPelsPerMeter) {
  const bool grey = info.IsGrey();
  const int channels = grey ? 1 : 3;

  // Keep the source's ratio of vertical to horizontal resolution.
  LONG yPelsPerMeter = xPelsPerMeter;
  if (info.xPelsPerMeter > 0 && info.yPelsPerMeter > 0) {
    int64_t y = (static_cast<int64_t>(xPelsPerMeter) * info.yPelsPerMeter + info.xPelsPerMeter / 2) /
                info.xPelsPerMeter;
    yPelsPerMeter = static_cast<LONG>(std::clamp<int64_t>(y, INT32_MIN, INT32_MAX));
  }

  DibWriter out(width, height, grey ? 8 : 24, xPelsPerMeter, yPelsPerMeter);
  if (!out) return nullptr;

  AxisWeights across, down;
  BuildAxis(info.width, width, &across);
  BuildAxis(info.height, height, &down);

  // Horizontally resampled source rows, in a ring large enough for the
  // rows of one output row; each source row is resampled at most once
  // because the windows only move down.
  const size_t rowValues = static_cast<size_t>(width) * channels;
  const int ring = down.maxCount;
  std::vector<uint16_t> cache(rowValues * ring);
  std::vector<int> cachedRow(ring, -1);
  std::vector<BYTE> scratch(static_cast<size_t>(info.width) * 3);
  std::vector<uint64_t> acc(rowValues);

  for (int y = 0; y < height; ++y) {
    std::fill(acc.begin(), acc.end(), 0);
    const uint32_t* w = down.weights.data() + down.offset[y];
    for (int k = 0; k < down.count[y]; ++k) {
      const int row = down.first[y] + k;
      uint16_t* line = cache.data() + rowValues * (row % ring);
      if (cachedRow[row % ring] != row) {
        if (grey) {
          ReadRowGrey(info, row, scratch.data(), nullptr);
          ResampleRow<1>(scratch.data(), across, width, line);
        } else {
          ResampleRow<3>(RowBgr(info, row, scratch.data()), across, width, line);
        }
        cachedRow[row % ring] = row;
      }
      const uint64_t wk = w[k];
      for (size_t i = 0; i < rowValues; ++i) acc[i] += wk * line[i];
    }
    BYTE* dst = out.Row(y);
    for (size_t i = 0; i < rowValues; ++i) {
      uint64_t v = (acc[i] + (1ull << (kVerticalShift - 1))) >> kVerticalShift;
      dst[i] = static_cast<BYTE>(v > 255 ? 255 : v);
    }
  }
  return out.Release();
}

}  // namespace
}  // namespace pixamo

PIXAMO_API HTOVIMEM ProcessResample(HTOVIMEM dib, int width, int height, int xPelsPerMeter) {
  if (!dib || width < 1 || width > 65535 || height < 1 || height > 65535) return nullptr;
  try {
    pixamo::MemLock lock(dib);
    if (!lock) return nullptr;
    pixamo::DibInfo info;
    if (!pixamo::ParseDib(lock.bytes(), ToviMemSize(dib), &info)) return nullptr;
    return pixamo::Resample(info, width, height, xPelsPerMeter);
  } catch (...) {
    return nullptr;
  }
}
