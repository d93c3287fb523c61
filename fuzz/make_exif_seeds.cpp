// Writes the Exif fuzzer's seed corpus: small JPEG files with Exif blocks in
// both byte orders, from a camera's usual tags to a few broken structures.
// Usage: make_exif_seeds <folder>
#include <stdio.h>

#include <string>
#include <vector>

#include "tests/ExifBuilder.h"

using exiftest::ExifBuilder;
using exiftest::kExifIfd;
using exiftest::kIfd0;

namespace {

ExifBuilder Camera(bool bigEndian) {
  ExifBuilder b(bigEndian);
  b.Ascii(kIfd0, 0x010F, "Seed Camera")
      .Ascii(kIfd0, 0x0110, "S-1")
      .Rational(kExifIfd, 0x829A, 1, 250)
      .Rational(kExifIfd, 0x829D, 56, 10)
      .Short(kExifIfd, 0x8822, 3)
      .Ascii(kExifIfd, 0x8824, "none")
      .Shorts(kExifIfd, 0x8827, {100, 200})
      .Bytes(kExifIfd, 0x8828, 7, {1, 2, 3, 4, 5, 6})
      .Bytes(kExifIfd, 0x9000, 7, {'0', '2', '1', '0'})
      .Ascii(kExifIfd, 0x9003, "2003:01:02 03:04:05")
      .Ascii(kExifIfd, 0x9004, "2003:01:02 03:04:06")
      .Bytes(kExifIfd, 0x9101, 7, {1, 2, 3, 0})
      .Rational(kExifIfd, 0x9102, 4, 1)
      .Rational(kExifIfd, 0x9201, 8, 1, 10)
      .Rational(kExifIfd, 0x9202, 5, 1)
      .Rational(kExifIfd, 0x9203, uint32_t(-1), 2, 10)
      .Rational(kExifIfd, 0x9204, 0, 1, 10)
      .Rational(kExifIfd, 0x9205, 3, 1)
      .Rational(kExifIfd, 0x9206, 15, 10)
      .Short(kExifIfd, 0x9207, 5)
      .Short(kExifIfd, 0x9208, 10)
      .Short(kExifIfd, 0x9209, 1)
      .Rational(kExifIfd, 0x920A, 50, 1)
      .Bytes(kExifIfd, 0x927C, 7, {'N', 'O', 'T', 'E', 0, 1, 2, 3})
      .Bytes(kExifIfd, 0x9286, 7, {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'x'})
      .Ascii(kExifIfd, 0x9290, "12")
      .Ascii(kExifIfd, 0x9291, "34")
      .Ascii(kExifIfd, 0x9292, "56")
      .Bytes(kExifIfd, 0xA000, 7, {'0', '1', '0', '0'})
      .Short(kExifIfd, 0xA001, 1)
      .Short(kExifIfd, 0xA002, 1600)
      .Long(kExifIfd, 0xA003, 1200)
      .Ascii(kExifIfd, 0xA004, "SND00001.WAV")
      .Rational(kExifIfd, 0xA20B, 7, 2)
      .Bytes(kExifIfd, 0xA20C, 7, {0, 2, 0, 1, 'a', 0, 'b', 0})
      .Rational(kExifIfd, 0xA20E, 2000, 1)
      .Rational(kExifIfd, 0xA20F, 2000, 1)
      .Short(kExifIfd, 0xA210, 2)
      .Shorts(kExifIfd, 0xA214, {800, 600})
      .Rational(kExifIfd, 0xA215, 100, 1)
      .Short(kExifIfd, 0xA217, 2)
      .Bytes(kExifIfd, 0xA300, 7, {3})
      .Bytes(kExifIfd, 0xA301, 7, {1})
      .Bytes(kExifIfd, 0xA302, 7, {0, 2, 0, 2, 0, 1, 1, 2});
  return b;
}

bool WriteSeed(const std::string& folder, const char* name, const std::vector<uint8_t>& bytes) {
  std::string path = folder + "/" + name;
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  std::string folder = argv[1];
  ExifBuilder minimal(true);
  minimal.Short(kExifIfd, 0x9209, 0);
  ExifBuilder loop = Camera(false);
  loop.ExifPointer(8);
  ExifBuilder hostile(true);
  hostile.Rational(kExifIfd, 0x829D, 28, 10)
      .RawEntry(kExifIfd, 0x9286, 7, 0xFFFFFFFF, 8)
      .RawEntry(kExifIfd, 0x920A, 5, 1, 0xFFFFFFF0)
      .RawEntry(kIfd0, 0x010F, 2, 0x10005, 0);
  bool ok = WriteSeed(folder, "camera_ii.jpg", Camera(false).Jpeg()) &&
            WriteSeed(folder, "camera_mm.jpg", Camera(true).Jpeg()) &&
            WriteSeed(folder, "minimal_mm.jpg", minimal.Jpeg()) &&
            WriteSeed(folder, "exif_ifd_loop_ii.jpg", loop.Jpeg()) &&
            WriteSeed(folder, "hostile_mm.jpg", hostile.Jpeg());
  if (!ok) {
    fprintf(stderr, "make_exif_seeds: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
