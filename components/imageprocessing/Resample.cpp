// Resampling in separable passes with integer weights.
//
// Reduction by more than kShrinkStep along an axis first averages areas down
// to kShrinkStep times the target size: every output of that stage is the
// exact area average of the source pixels under it (a pixel straddling two
// outputs gives each the fraction it covers), and each source pixel is read
// once, which keeps the 4000 x 3000 -> 80 x 60 thumbnail path cheap. The rest
// of a reduction uses a Catmull-Rom filter widened by the reduction factor:
// area averaging alone lets fine regular patterns (fabric, fences, print)
// through as coarse stripes, the windowed filter removes them. Enlargement
// interpolates linearly between the nearest source centres.
//
// Weights of one output sum to exactly 1 << bits, so a flat area stays
// exactly flat. Samples between passes are kept in 8.8 fixed point.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "Dib.h"
#include "pixamo.h"

namespace pixamo {
namespace {

constexpr int kShrinkStep = 3;
// Area weights need many bits for extreme reductions (one output may cover a
// million pixels); the windowed and linear filters have few taps, and their
// narrower weights keep every sum inside 32 bits.
constexpr int kAreaBits = 22;
constexpr int kFilterBits = 14;
constexpr int32_t kMaxSample = 255 << 8;  // white in 8.8

struct AxisWeights {
  int bits = 0;
  std::vector<int> first;   // first source index of each output
  std::vector<int> count;   // number of source indices
  std::vector<int> offset;  // into weights
  std::vector<int32_t> weights;
  int maxCount = 0;

  void Reset(int out, int weightBits) {
    bits = weightBits;
    first.assign(out, 0);
    count.assign(out, 0);
    offset.assign(out, 0);
    weights.clear();
    maxCount = 0;
  }
  // Appends output o's taps, rounded so that they sum to exactly 1 << bits.
  void Add(int o, int firstIndex, const double* w, int n) {
    offset[o] = static_cast<int>(weights.size());
    first[o] = firstIndex;
    count[o] = n;
    double total = 0;
    for (int i = 0; i < n; ++i) total += w[i];
    int64_t sum = 0;
    int heaviest = 0;
    for (int i = 0; i < n; ++i) {
      int32_t v = static_cast<int32_t>(std::lround(w[i] / total * (1 << bits)));
      weights.push_back(v);
      sum += v;
      if (v > weights[offset[o] + heaviest]) heaviest = i;
    }
    weights[offset[o] + heaviest] += static_cast<int32_t>((int64_t{1} << bits) - sum);
    maxCount = std::max(maxCount, n);
  }
};

// Exact area coverage. In units of 1/out of a source pixel, output o covers
// [o*src, (o+1)*src) and source pixel i covers [i*out, (i+1)*out).
void BuildArea(int src, int out, AxisWeights* axis) {
  axis->Reset(out, kAreaBits);
  std::vector<double> w;
  for (int o = 0; o < out; ++o) {
    int64_t lo = static_cast<int64_t>(o) * src;
    int64_t hi = lo + src;
    int i0 = static_cast<int>(lo / out);
    int i1 = static_cast<int>((hi - 1) / out);
    w.clear();
    for (int i = i0; i <= i1; ++i) {
      int64_t a = std::max<int64_t>(lo, static_cast<int64_t>(i) * out);
      int64_t b = std::min<int64_t>(hi, static_cast<int64_t>(i + 1) * out);
      w.push_back(static_cast<double>(b - a));
    }
    axis->Add(o, i0, w.data(), static_cast<int>(w.size()));
  }
}

double CatmullRom(double x) {
  x = std::fabs(x);
  if (x < 1) return (1.5 * x - 2.5) * x * x + 1;
  if (x < 2) return ((-0.5 * x + 2.5) * x - 4) * x + 2;
  return 0;
}

// Catmull-Rom widened by the reduction factor (src > out), or linear
// interpolation (src <= out). Taps past an edge repeat the edge pixel.
void BuildFilter(int src, int out, AxisWeights* axis) {
  axis->Reset(out, kFilterBits);
  const double scale = static_cast<double>(src) / out;
  const bool reduce = src > out;
  const double support = reduce ? 2 * scale : 1;
  std::vector<double> w;
  for (int o = 0; o < out; ++o) {
    double centre = (o + 0.5) * scale - 0.5;
    int lo = static_cast<int>(std::ceil(centre - support));
    int hi = static_cast<int>(std::floor(centre + support));
    int first = std::clamp(lo, 0, src - 1);
    int last = std::clamp(hi, 0, src - 1);
    w.assign(last - first + 1, 0.0);
    for (int i = lo; i <= hi; ++i) {
      double d = i - centre;
      double k = reduce ? CatmullRom(d / scale) : std::max(0.0, 1 - std::fabs(d));
      w[std::clamp(i, 0, src - 1) - first] += k;
    }
    // Drop zero taps at both ends so every source row read is needed.
    int a = 0, b = static_cast<int>(w.size()) - 1;
    while (a < b && w[a] == 0) ++a;
    while (b > a && w[b] == 0) --b;
    axis->Add(o, first + a, w.data() + a, b - a + 1);
  }
}

// One axis reduced by at most kShrinkStep after an optional area stage.
struct AxisPlan {
  int areaOut = 0;  // size after the area stage; the source size when none
  AxisWeights area;
  AxisWeights filter;
};

void PlanAxis(int src, int out, AxisPlan* plan) {
  plan->areaOut = src > kShrinkStep * out ? kShrinkStep * out : src;
  BuildArea(src, plan->areaOut, &plan->area);
  BuildFilter(plan->areaOut, out, &plan->filter);
}

// Samples come in as bytes (0..255) or 8.8 values; the horizontal sums are
// brought to 8.8 either way.
template <int Channels, typename Sample>
void FilterRow(const Sample* src, const AxisWeights& axis, int32_t* out) {
  const int shift = axis.bits - (sizeof(Sample) == 1 ? 8 : 0);
  const int32_t half = 1 << (shift - 1);
  const int32_t* weights = axis.weights.data();
  const int n = static_cast<int>(axis.first.size());
  for (int o = 0; o < n; ++o) {
    const Sample* p = src + static_cast<size_t>(axis.first[o]) * Channels;
    const int32_t* w = weights + axis.offset[o];
    int32_t acc[Channels] = {};
    for (int k = 0; k < axis.count[o]; ++k, p += Channels) {
      for (int c = 0; c < Channels; ++c) acc[c] += w[k] * static_cast<int32_t>(p[c]);
    }
    // Arithmetic shift: ringing makes some sums negative.
    for (int c = 0; c < Channels; ++c) out[o * Channels + c] = (acc[c] + half) >> shift;
  }
}

// One separable pass: source rows through `across`, then down through
// `down`; sink(y, values) receives each output row in 8.8. Horizontally
// filtered rows are kept in a ring as large as the taps of one output row,
// so each source row is filtered once: the windows only move down.
template <int Channels, typename Sample, typename Source, typename Sink>
void RunPass(Source source, const AxisWeights& across, const AxisWeights& down, Sink sink) {
  const size_t rowValues = across.first.size() * Channels;
  const int ring = down.maxCount;
  std::vector<int32_t> cache(rowValues * ring);
  std::vector<int> cachedRow(ring, -1);
  std::vector<int64_t> acc(rowValues);
  std::vector<int32_t> values(rowValues);
  const int64_t half = int64_t{1} << (down.bits - 1);

  const int outHeight = static_cast<int>(down.first.size());
  for (int y = 0; y < outHeight; ++y) {
    std::fill(acc.begin(), acc.end(), 0);
    const int32_t* w = down.weights.data() + down.offset[y];
    for (int k = 0; k < down.count[y]; ++k) {
      const int row = down.first[y] + k;
      int32_t* line = cache.data() + rowValues * (row % ring);
      if (cachedRow[row % ring] != row) {
        FilterRow<Channels, Sample>(source(row), across, line);
        cachedRow[row % ring] = row;
      }
      const int64_t wk = w[k];
      for (size_t i = 0; i < rowValues; ++i) acc[i] += wk * line[i];
    }
    for (size_t i = 0; i < rowValues; ++i) {
      int64_t v = (acc[i] + half) >> down.bits;
      values[i] = static_cast<int32_t>(std::clamp<int64_t>(v, 0, kMaxSample));
    }
    sink(y, values.data());
  }
}

template <int Channels>
HTOVIMEM ResampleChannels(const DibInfo& info, const AxisPlan& px, const AxisPlan& py, DibWriter* out) {
  std::vector<BYTE> scratch(static_cast<size_t>(info.width) * 3);
  auto readSource = [&](int row) -> const BYTE* {
    if (Channels == 1) {
      ReadRowGrey(info, row, scratch.data(), nullptr);
      return scratch.data();
    }
    return RowBgr(info, row, scratch.data());
  };
  const size_t outValues = px.filter.first.size() * Channels;
  auto writeOut = [&](int y, const int32_t* values) {
    BYTE* dst = out->Row(y);
    for (size_t i = 0; i < outValues; ++i) dst[i] = static_cast<BYTE>((values[i] + 128) >> 8);
  };

  if (px.areaOut == info.width && py.areaOut == info.height) {
    RunPass<Channels, BYTE>(readSource, px.filter, py.filter, writeOut);
  } else {
    // Area stage into a small 8.8 picture, then the filter stage from it.
    const size_t stageValues = static_cast<size_t>(px.areaOut) * Channels;
    std::vector<uint16_t> stage(stageValues * py.areaOut);
    RunPass<Channels, BYTE>(readSource, px.area, py.area, [&](int y, const int32_t* values) {
      std::copy(values, values + stageValues, stage.begin() + stageValues * y);
    });
    auto readStage = [&](int row) -> const uint16_t* { return stage.data() + stageValues * row; };
    RunPass<Channels, uint16_t>(readStage, px.filter, py.filter, writeOut);
  }
  return out->Release();
}

HTOVIMEM Resample(const DibInfo& info, int width, int height, LONG xPelsPerMeter) {
  const bool grey = info.IsGrey();

  // Keep the source's ratio of vertical to horizontal resolution.
  LONG yPelsPerMeter = xPelsPerMeter;
  if (info.xPelsPerMeter > 0 && info.yPelsPerMeter > 0) {
    int64_t y = (static_cast<int64_t>(xPelsPerMeter) * info.yPelsPerMeter + info.xPelsPerMeter / 2) /
                info.xPelsPerMeter;
    yPelsPerMeter = static_cast<LONG>(std::clamp<int64_t>(y, INT32_MIN, INT32_MAX));
  }

  DibWriter out(width, height, grey ? 8 : 24, xPelsPerMeter, yPelsPerMeter);
  if (!out) return nullptr;
  AxisPlan px, py;
  PlanAxis(info.width, width, &px);
  PlanAxis(info.height, height, &py);
  return grey ? ResampleChannels<1>(info, px, py, &out) : ResampleChannels<3>(info, px, py, &out);
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
