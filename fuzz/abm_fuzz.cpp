// libFuzzer target: the ".abm" decoder over arbitrary bytes.
//
// Each input is decoded twice: as it is, and with every checksum that the
// loose structure allows recomputed, so that mutations reach the checks behind
// the CRCs. A decoded album must encode back to exactly the input bytes (the
// format has one encoding per album), a refused one must leave no items, and
// the checking-only decoder must agree with the full one.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "AbmCodec.h"

namespace {

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void FixChecksums(std::vector<uint8_t>& bytes) {
  const size_t crcAt = abm::kHeaderSize - 4;
  if (bytes.size() < abm::kHeaderSize) return;
  PutU32(bytes.data() + crcAt, abm::Crc32(bytes.data(), crcAt));
  size_t position = abm::kHeaderSize;
  while (bytes.size() - position >= abm::kItemHeaderSize) {
    uint8_t* item = bytes.data() + position;
    uint64_t body = static_cast<uint64_t>(GetU32(item)) + GetU32(item + 4);
    if (body > bytes.size() - position - abm::kItemHeaderSize) return;
    uint32_t crc = abm::Crc32(item, 8);
    crc = abm::Crc32(item + abm::kItemHeaderSize, static_cast<size_t>(body), crc);
    PutU32(item + 8, crc);
    position += abm::kItemHeaderSize + static_cast<size_t>(body);
  }
}

void Check(const uint8_t* data, size_t size) {
  abm::Album album;
  abm::Status status = abm::DecodeBytes(data, size, &album);
  if (status) {
    std::vector<uint8_t> again;
    abm::Status encoded = abm::EncodeBytes(album, &again);
    if (!encoded) abort();
    if (again.size() != size || (size && memcmp(again.data(), data, size) != 0)) abort();
  } else if (!album.items.empty()) {
    abort();
  }
  abm::SpanSource source(data, size);
  if (abm::Verify(source).error != status.error) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Check(data, size);
  std::vector<uint8_t> fixed(data, data + size);
  FixChecksums(fixed);
  Check(fixed.data(), fixed.size());
  return 0;
}
