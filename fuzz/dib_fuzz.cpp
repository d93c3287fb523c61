// libFuzzer target: the packed-bitmap layout check over arbitrary bytes,
// under each set of rules the components use. Whatever it accepts must lie
// within the input: every byte it describes is read back (AddressSanitizer
// sees the input's exact end), rows are addressed the way GDI and the
// resampler address them, and the described sizes must add up.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "platform/DibLayout.h"

namespace {

void Check(const uint8_t* data, size_t size, const dib::Rules& rules) {
  dib::Layout layout;
  if (dib::CheckLayout(data, size, rules, &layout)) return;
  if (layout.headerSize < dib::kInfoHeaderSize || layout.headerSize > rules.maxHeaderSize) abort();
  if (layout.width == 0 || layout.height == 0) abort();
  if (layout.width > rules.maxSide || layout.height > rules.maxSide) abort();
  if (layout.compressed && !rules.allowRle) abort();
  if (static_cast<uint64_t>(layout.headerAndColours) + layout.imageBytes > size) abort();
  if (layout.headerAndColours != layout.headerSize + layout.maskBytes + layout.colours * 4ull) abort();
  uint32_t sum = 0;
  for (uint32_t i = 0; i < layout.headerAndColours; ++i) sum += data[i];
  const uint8_t* bits = data + layout.headerAndColours;
  if (layout.compressed) {
    for (uint32_t i = 0; i < layout.imageBytes; ++i) sum += bits[i];
  } else {
    if (layout.stride * 8 < static_cast<uint64_t>(layout.width) * layout.bitCount) abort();
    if (layout.stride * layout.height != layout.imageBytes) abort();
    // The last byte of every row, first and last pixel.
    for (uint64_t row = 0; row < layout.height; ++row) {
      const uint8_t* line = bits + row * layout.stride;
      sum += line[0] + line[layout.stride - 1];
    }
  }
  volatile uint32_t sink = sum;
  (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so that a read one byte too far is caught.
  std::vector<uint8_t> bytes(data, data + size);
  const uint8_t* p = bytes.empty() ? nullptr : bytes.data();
  dib::Rules stored;  // album thumbnails
  stored.maxHeaderSize = dib::kInfoHeaderSize;
  Check(p, size, stored);
  dib::Rules shown;  // pictures handed to GDI
  shown.allowRle = true;
  Check(p, size, shown);
  dib::Rules resampled;  // the resampler's limit
  resampled.maxHeaderSize = dib::kInfoHeaderSize;
  resampled.maxSide = 1u << 20;
  Check(p, size, resampled);
  return 0;
}
