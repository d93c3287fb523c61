// Writes a few small, valid album files with the encoder: the seed corpus of
// the ".abm" fuzz target.   make_abm_seeds OUTPUT_FOLDER
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "AbmCodec.h"

namespace {

void PutU16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A packed DIB of the given shape, pixel bytes counting up.
std::vector<uint8_t> MakeDib(int32_t width, int32_t height, uint16_t bits, uint32_t compression) {
  uint32_t colors = bits <= 8 ? (1u << bits) : 0;
  uint32_t masks = compression == 3 ? 12 : 0;
  uint32_t stride = ((static_cast<uint32_t>(width) * bits + 31) / 32) * 4;
  uint32_t rows = static_cast<uint32_t>(height < 0 ? -height : height);
  std::vector<uint8_t> dib(40 + masks + colors * 4 + stride * rows);
  PutU32(dib, 0, 40);
  PutU32(dib, 4, static_cast<uint32_t>(width));
  PutU32(dib, 8, static_cast<uint32_t>(height));
  PutU16(dib, 12, 1);
  PutU16(dib, 14, bits);
  PutU32(dib, 16, compression);
  for (size_t i = 40; i < dib.size(); ++i) dib[i] = static_cast<uint8_t>(i * 7);
  return dib;
}

abm::Item MakeItem(const char* path, const char* description, std::vector<uint8_t> dib) {
  abm::Item item;
  item.record.assign(abm::kRecordSize, 0);
  memcpy(&item.record[abm::kRecordPathOffset], path, strlen(path));
  memcpy(&item.record[abm::kRecordDescriptionOffset], description, strlen(description));
  PutU32(item.record, 0, 12345);                     // source file size
  PutU32(item.record, abm::kRecordThumbSizeOffset, static_cast<uint32_t>(dib.size()));
  item.picture = std::move(dib);
  return item;
}

bool WriteSeed(const std::string& folder, const char* name, const abm::Album& album) {
  std::vector<uint8_t> bytes;
  abm::Status status = abm::EncodeBytes(album, &bytes);
  if (!status) {
    fprintf(stderr, "%s: %s (%s)\n", name, abm::ErrorName(status.error), status.detail);
    return false;
  }
  std::string path = folder + "/" + name;
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_abm_seeds OUTPUT_FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  bool ok = true;

  abm::Album empty;
  ok &= WriteSeed(folder, "empty.abm", empty);

  abm::Album one;
  memcpy(one.description, "Holiday", 7);
  one.items.push_back(MakeItem("C:\\Pictures\\beach.jpg", "Sand", MakeDib(2, 2, 24, 0)));
  ok &= WriteSeed(folder, "one.abm", one);

  abm::Album mixed;
  memcpy(mixed.description, "Every picture shape", 19);
  mixed.items.push_back(MakeItem("a.bmp", "", MakeDib(3, -2, 24, 0)));
  mixed.items.push_back(MakeItem("\\\\server\\share\\b.gif", "palette", MakeDib(2, 2, 8, 0)));
  mixed.items.push_back(MakeItem("c.png", "", MakeDib(1, 1, 32, 3)));
  mixed.items.push_back(MakeItem("d.tif", "mono", MakeDib(9, 1, 1, 0)));
  ok &= WriteSeed(folder, "mixed.abm", mixed);
  return ok ? 0 : 1;
}
